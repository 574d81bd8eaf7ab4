// Private helpers shared by the image decoders: little-endian getters, the size rule every
// decoder applies before it allocates, and the pixel array allocation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

namespace image_detail {

inline uint32_t Le16(const uint8_t* p) { return static_cast<uint32_t>(p[0] | p[1] << 8); }

// A header may claim any size. A picture is accepted only when its 4-byte pixel array fits
// in 32 bits and it is not far larger than the file could describe: up to four times the
// describable pixel count plus 64K pixels, so a file cut short still decodes (the rest
// filled) while a small file can never make us allocate gigabytes.
inline bool PictureSizeIsPlausible(uint64_t width, uint64_t height, uint64_t describablePixels) {
  if (width > 0xFFFFFFFFull || height > 0xFFFFFFFFull) return false;
  const uint64_t count = width * height;  // both below 2^32, so no 64-bit overflow
  if (count > 0xFFFFFFFFull / 4) return false;
  const uint64_t kSlackPixels = 65536;
  if (describablePixels > (0xFFFFFFFFull)) describablePixels = 0xFFFFFFFFull;
  return count <= describablePixels * 4 + kSlackPixels;
}

// width * height words, all zero, or null when memory is short. Released with delete[].
inline uint32_t* AllocatePixels(uint64_t count) {
  return new (std::nothrow) uint32_t[static_cast<size_t>(count)]();
}

}  // namespace image_detail
