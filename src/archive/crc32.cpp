#include "archive/crc32.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

// slice[k][b]: the CRC register contribution of byte b followed by k zero bytes.
struct SliceTables {
  uint32_t slice[8][256];
  SliceTables() {
    Crc32BuildTable(slice[0]);
    for (uint32_t b = 0; b < 256; ++b)
      for (int k = 1; k < 8; ++k) slice[k][b] = (slice[k - 1][b] >> 8) ^ slice[0][slice[k - 1][b] & 0xFF];
  }
};

const SliceTables& Slices() {
  static const SliceTables tables;
  return tables;
}

}  // namespace

void Crc32BuildTable(uint32_t table[256]) {
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : (c >> 1);
    table[i] = c;
  }
}

uint32_t Crc32Update(const uint32_t table[256], uint32_t crc, const uint8_t* data, size_t size) {
  for (size_t i = 0; i < size; ++i) crc = (crc >> 8) ^ table[(crc ^ data[i]) & 0xFF];
  return crc;
}

namespace {

#if defined(__x86_64__)

// Carry-less multiplication (PCLMULQDQ), for processors that have it: the data are folded 64
// bytes at a time into four 128-bit remainders with constants x^k mod P for the reflected
// polynomial, those are folded into one, and a Barrett reduction gives the 32-bit register
// (Intel, "Fast CRC Computation for Generic Polynomials Using PCLMULQDQ Instruction", 2009).
// Takes the whole 16-byte blocks of at least 64 bytes; returns the register after them and
// leaves the rest (under 16 bytes) to the caller through *done.
// x's two halves multiplied by k's, added to the next 16 bytes.
__attribute__((target("pclmul,sse2"))) inline __m128i Fold(__m128i x, __m128i k, __m128i next) {
  return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11)), next);
}

__attribute__((target("pclmul,sse2"))) uint32_t Crc32Folded(uint32_t crc, const uint8_t* data, size_t size,
                                                               size_t* done) {
  const __m128i k1k2 = _mm_set_epi64x(0x01c6e41596, 0x0154442bd4);
  const __m128i k3k4 = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
  const __m128i k5 = _mm_set_epi64x(0, 0x0163cd6124);
  const __m128i poly = _mm_set_epi64x(0x01f7011641, 0x01db710641);
  const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);
  auto load = [](const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };

  __m128i x1 = _mm_xor_si128(load(data), _mm_cvtsi32_si128(static_cast<int>(crc)));
  __m128i x2 = load(data + 16), x3 = load(data + 32), x4 = load(data + 48);
  size_t at = 64;
  for (; at + 64 <= size; at += 64) {
    x1 = Fold(x1, k1k2, load(data + at));
    x2 = Fold(x2, k1k2, load(data + at + 16));
    x3 = Fold(x3, k1k2, load(data + at + 32));
    x4 = Fold(x4, k1k2, load(data + at + 48));
  }
  x1 = Fold(x1, k3k4, x2);
  x1 = Fold(x1, k3k4, x3);
  x1 = Fold(x1, k3k4, x4);
  for (; at + 16 <= size; at += 16) x1 = Fold(x1, k3k4, load(data + at));

  // 128 bits to 64, then 64 to 32 (Barrett).
  __m128i x = _mm_xor_si128(_mm_srli_si128(x1, 8), _mm_clmulepi64_si128(x1, k3k4, 0x10));
  x = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x, low32), k5, 0x00), _mm_srli_si128(x, 4));
  __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x, low32), poly, 0x10);
  t = _mm_clmulepi64_si128(_mm_and_si128(t, low32), poly, 0x00);
  x = _mm_xor_si128(x, t);
  *done = at;
  return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(x, 4)));
}

bool HasCarrylessMultiply() {
  static const bool has = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2");
  return has;
}

#endif

}  // namespace

uint32_t Crc32UpdateFast(uint32_t crc, const uint8_t* data, size_t size) {
  const auto& t = Slices().slice;
#if defined(__x86_64__)
  if (size >= 64 && HasCarrylessMultiply()) {
    size_t done = 0;
    crc = Crc32Folded(crc, data, size, &done);
    data += done;
    size -= done;
  }
#endif
  size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    const uint32_t lo = crc ^ (uint32_t(data[i]) | uint32_t(data[i + 1]) << 8 | uint32_t(data[i + 2]) << 16 |
                               uint32_t(data[i + 3]) << 24);
    const uint32_t hi = uint32_t(data[i + 4]) | uint32_t(data[i + 5]) << 8 | uint32_t(data[i + 6]) << 16 |
                        uint32_t(data[i + 7]) << 24;
    crc = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
          t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
  }
  for (; i < size; ++i) crc = (crc >> 8) ^ t[0][(crc ^ data[i]) & 0xFF];
  return crc;
}

uint32_t Crc32(const uint8_t* data, size_t size) { return ~Crc32UpdateFast(0xFFFFFFFFu, data, size); }
