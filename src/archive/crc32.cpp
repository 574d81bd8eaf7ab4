#include "archive/crc32.h"

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

uint32_t Crc32(const uint8_t* data, size_t size) {
  static uint32_t table[256];
  static bool built = false;
  if (!built) {
    Crc32BuildTable(table);
    built = true;
  }
  return ~Crc32Update(table, 0xFFFFFFFFu, data, size);
}
