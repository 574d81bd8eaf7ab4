// RAR 2.0 encryption: a 16-byte block cipher of 32 rounds over four 32-bit key words and a
// 256-byte substitution table. The key words change after every block through the CRC-32 table,
// so blocks must be processed in order, from a fresh setup per entry.
#pragma once

#include <cstdint>

struct Rar20Cipher {
  uint32_t key[4];
  uint8_t subst[256];
};

// Sets the cipher up from a password of `length` bytes (cut at 254) with the CRC-32 table built by
// Crc32BuildTable.
void Rar20SetPassword(Rar20Cipher* cipher, const uint32_t crcTable[256], const char* password,
                      uint32_t length);

// Encrypts or decrypts one 16-byte block in place and moves the key words on.
void Rar20EncryptBlock(Rar20Cipher* cipher, const uint32_t crcTable[256], uint8_t block[16]);
void Rar20DecryptBlock(Rar20Cipher* cipher, const uint32_t crcTable[256], uint8_t block[16]);
