// Uncompressed TGA (image types 2 and 3; 8, 24 or 32 bits per pixel). Input is hostile: the
// header is checked, the size is bounded before allocating, and pixel reads stop at the end
// of the data (missing pixels stay opaque black).
#include "image/image.h"
#include "image/image_bytes.h"

using namespace image_detail;

namespace {
constexpr size_t kHeaderSize = 18;  // pixel data always start here; the id field is not skipped
}

bool DecodeTgaImage(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height,
                    uint32_t** pixels) {
  if (size < kHeaderSize) return false;
  const uint8_t colourMapType = data[1];
  const uint8_t imageType = data[2];
  if (colourMapType != 0 || (imageType != 2 && imageType != 3)) return false;
  const uint32_t w = Le16(data + 12);
  const uint32_t h = Le16(data + 14);
  const uint32_t depth = data[16];
  if (depth != 8 && depth != 24 && depth != 32) return false;

  const size_t bytesPerPixel = depth / 8;
  const size_t storedPixels = (size - kHeaderSize) / bytesPerPixel;
  if (!PictureSizeIsPlausible(w, h, storedPixels)) return false;
  uint32_t* out = AllocatePixels(static_cast<uint64_t>(w) * h);
  if (!out) return false;

  // The first stored row is the bottom row, whatever the image descriptor says.
  const uint8_t* src = data + kHeaderSize;
  size_t stored = 0;
  for (uint32_t y = 0; y < h && stored < storedPixels; ++y) {
    uint32_t* row = out + static_cast<size_t>(h - 1 - y) * w;
    for (uint32_t x = 0; x < w && stored < storedPixels; ++x, ++stored) {
      const uint8_t* p = src + stored * bytesPerPixel;
      if (depth == 32) {
        row[x] = static_cast<uint32_t>(p[0] | p[1] << 8 | p[2] << 16) | static_cast<uint32_t>(p[3]) << 24;
      } else if (depth == 24) {
        // File order blue, green, red lands blue-high: red and blue come out exchanged.
        row[x] = static_cast<uint32_t>(p[0] << 16 | p[1] << 8 | p[2]);
      } else {
        row[x] = p[0] * 0x010101u;
      }
    }
  }
  SetOpaqueAlpha(out, w, h);
  *width = w;
  *height = h;
  *pixels = out;
  return true;
}
