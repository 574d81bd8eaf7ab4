#include "archive/crc32.h"

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

uint32_t Crc32UpdateFast(uint32_t crc, const uint8_t* data, size_t size) {
  const auto& t = Slices().slice;
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
