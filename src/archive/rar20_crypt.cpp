#include "archive/rar20_crypt.h"

#include <cstring>

namespace {

constexpr int kRounds = 32;

// The substitution table every setup starts from, as the format defines it.
constexpr uint8_t kInitialSubst[256] = {
    215, 19,  149, 35,  73,  197, 192, 205, 249, 28,  16,  119, 48,  221, 2,   42,
    232, 1,   177, 233, 14,  88,  219, 25,  223, 195, 244, 90,  87,  239, 153, 137,
    255, 199, 147, 70,  92,  66,  246, 13,  216, 40,  62,  29,  217, 230, 86,  6,
    71,  24,  171, 196, 101, 113, 218, 123, 93,  91,  163, 178, 202, 67,  44,  235,
    107, 250, 75,  234, 49,  167, 125, 211, 83,  114, 157, 144, 32,  193, 143, 36,
    158, 124, 247, 187, 89,  214, 141, 47,  121, 228, 61,  130, 213, 194, 174, 251,
    97,  110, 54,  229, 115, 57,  152, 94,  105, 243, 212, 55,  209, 245, 63,  11,
    164, 200, 31,  156, 81,  176, 227, 21,  76,  99,  139, 188, 127, 17,  248, 51,
    207, 120, 189, 210, 8,   226, 41,  72,  183, 203, 135, 165, 166, 60,  98,  7,
    122, 38,  155, 170, 69,  172, 252, 238, 39,  134, 59,  128, 236, 27,  240, 80,
    131, 3,   85,  206, 145, 79,  154, 142, 159, 220, 201, 133, 74,  64,  20,  129,
    224, 185, 138, 103, 173, 182, 43,  34,  254, 82,  198, 151, 231, 180, 58,  10,
    118, 26,  102, 12,  50,  132, 22,  191, 136, 111, 162, 179, 45,  4,   148, 108,
    161, 56,  78,  126, 242, 222, 15,  175, 146, 23,  33,  241, 181, 190, 77,  225,
    0,   46,  169, 186, 68,  95,  237, 65,  53,  208, 253, 168, 9,   18,  100, 52,
    116, 184, 160, 96,  109, 37,  30,  106, 140, 104, 150, 5,   204, 117, 112, 84};

constexpr uint32_t kInitialKey[4] = {0xD3A3B879u, 0x3F6D12F7u, 0x7515A235u, 0xA4E7F123u};

uint32_t Get32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void Put32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

uint32_t Rotl(uint32_t v, int n) { return (v << n) | (v >> (32 - n)); }

uint32_t Substitute(const Rar20Cipher& c, uint32_t t) {
  return uint32_t(c.subst[t & 255]) | uint32_t(c.subst[(t >> 8) & 255]) << 8 |
         uint32_t(c.subst[(t >> 16) & 255]) << 16 | uint32_t(c.subst[t >> 24]) << 24;
}

// The key words move on from the block's ciphertext (the input when decrypting, the output when
// encrypting), so both directions stay in step.
void UpdateKeys(Rar20Cipher& c, const uint32_t crcTable[256], const uint8_t cipherText[16]) {
  for (int i = 0; i < 16; i += 4)
    for (int j = 0; j < 4; ++j) c.key[j] ^= crcTable[cipherText[i + j]];
}

void CryptBlock(Rar20Cipher& c, const uint32_t crcTable[256], uint8_t block[16], bool encrypt) {
  uint8_t cipherText[16];
  std::memcpy(cipherText, block, 16);
  uint32_t a = Get32(block) ^ c.key[0];
  uint32_t b = Get32(block + 4) ^ c.key[1];
  uint32_t cc = Get32(block + 8) ^ c.key[2];
  uint32_t d = Get32(block + 12) ^ c.key[3];
  for (int round = 0; round < kRounds; ++round) {
    const uint32_t key = c.key[(encrypt ? round : kRounds - 1 - round) & 3];
    const uint32_t ta = a ^ Substitute(c, (cc + Rotl(d, 11)) ^ key);
    const uint32_t tb = b ^ Substitute(c, (d ^ Rotl(cc, 17)) + key);
    a = cc;
    b = d;
    cc = ta;
    d = tb;
  }
  Put32(block, cc ^ c.key[0]);
  Put32(block + 4, d ^ c.key[1]);
  Put32(block + 8, a ^ c.key[2]);
  Put32(block + 12, b ^ c.key[3]);
  UpdateKeys(c, crcTable, encrypt ? block : cipherText);
}

}  // namespace

void Rar20SetPassword(Rar20Cipher* cipher, const uint32_t crcTable[256], const char* password,
                      uint32_t length) {
  Rar20Cipher& c = *cipher;
  std::memcpy(c.key, kInitialKey, sizeof c.key);
  std::memcpy(c.subst, kInitialSubst, sizeof c.subst);
  // The password sits in a zero-filled 256-byte buffer, so reading the byte after an odd-length
  // password and encrypting whole blocks up to its length both stay inside.
  uint8_t psw[256] = {};
  if (length > 254) length = 254;
  if (length > 0) std::memcpy(psw, password, length);
  for (uint32_t j = 0; j < 256; ++j) {
    for (uint32_t i = 0; i < length; i += 2) {
      uint32_t n1 = uint8_t(crcTable[(psw[i] - j) & 0xFF]);
      const uint32_t n2 = uint8_t(crcTable[(psw[i + 1] + j) & 0xFF]);
      for (uint32_t k = 1; n1 != n2; n1 = (n1 + 1) & 0xFF, ++k) {
        const uint32_t other = (n1 + i + k) & 0xFF;
        const uint8_t t = c.subst[n1];
        c.subst[n1] = c.subst[other];
        c.subst[other] = t;
      }
    }
  }
  for (uint32_t i = 0; i < length; i += 16) CryptBlock(c, crcTable, psw + i, true);
  std::memset(psw, 0, sizeof psw);
}

void Rar20EncryptBlock(Rar20Cipher* cipher, const uint32_t crcTable[256], uint8_t block[16]) {
  CryptBlock(*cipher, crcTable, block, true);
}

void Rar20DecryptBlock(Rar20Cipher* cipher, const uint32_t crcTable[256], uint8_t block[16]) {
  CryptBlock(*cipher, crcTable, block, false);
}
