// Private helpers shared by the image decoders: little-endian getters, the size rule every
// decoder applies before it allocates, and the pixel array allocation.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <new>

namespace image_detail {

inline uint32_t Le16(const uint8_t* p) { return static_cast<uint32_t>(p[0] | p[1] << 8); }
inline uint32_t Le32(const uint8_t* p) { return Le16(p) | Le16(p + 2) << 16; }

// The channel of a packed pixel under a (contiguous) mask, widened to 8 bits by repeating its bit
// pattern: 5 bits abcde become abcdeabc, 1 bit gives 0 or 255. An empty mask gives 0; a channel
// wider than 8 bits keeps its top 8.
inline uint32_t MaskedChannel(uint32_t pixel, uint32_t mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const int bits = std::popcount(mask >> shift);
  const uint32_t value = (pixel & mask) >> shift;
  if (bits >= 8) return (value >> (bits - 8)) & 255;
  uint32_t widened = 0;
  int filled = 0;
  while (filled < 8) {
    widened = widened << bits | value;
    filled += bits;
  }
  return (widened >> (filled - 8)) & 255;
}

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
