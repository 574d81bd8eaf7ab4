// The reflected CRC-32 (polynomial 0xEDB88320) that RAR uses for file data and, cut to its low
// 16 bits, for block headers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zelk4::kit {

// CRC-32 of n bytes; `crc` continues an earlier value (start with 0).
uint32_t Crc32(const void* data, size_t n, uint32_t crc = 0);

}  // namespace zelk4::kit
