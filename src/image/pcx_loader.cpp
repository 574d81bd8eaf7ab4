// 256-colour run-length PCX (version 5, 8 bits, one plane, palette in the last 768 bytes).
// Input is hostile: the run decoder never reads past the data nor writes past the picture;
// indices the stream does not supply come out opaque black.
#include "image/image.h"
#include "image/image_bytes.h"

using namespace image_detail;

namespace {
constexpr size_t kHeaderSize = 128;
constexpr size_t kPaletteSize = 768;  // 256 entries of red, green, blue at the end of the file
constexpr uint32_t kMaxRun = 63;
}  // namespace

bool DecodePcxImage(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height,
                    uint32_t** pixels) {
  if (size < kHeaderSize + kPaletteSize) return false;
  if (data[0] != 10 || data[1] != 5 || data[2] != 1 || data[3] != 8 || data[65] != 1) return false;
  const int64_t w = static_cast<int64_t>(Le16(data + 8)) - Le16(data + 4) + 1;
  const int64_t h = static_cast<int64_t>(Le16(data + 10)) - Le16(data + 6) + 1;
  if (w < 0 || h < 0) return false;  // a window whose maximum lies before its minimum

  // Two stream bytes give at most 63 pixels.
  const uint64_t describable = (size - kHeaderSize) / 2 * kMaxRun + 1;
  if (!PictureSizeIsPlausible(w, h, describable)) return false;
  const uint64_t count = static_cast<uint64_t>(w) * static_cast<uint64_t>(h);
  uint32_t* out = AllocatePixels(count);
  if (!out) return false;

  // Stored red, green, blue land red-low: red and blue come out exchanged.
  uint32_t colours[256];
  const uint8_t* palette = data + size - kPaletteSize;
  for (int k = 0; k < 256; ++k) {
    const uint8_t* e = palette + 3 * k;
    colours[k] = 0xFF000000u | static_cast<uint32_t>(e[2] << 16 | e[1] << 8 | e[0]);
  }

  // One continuous stream for the whole picture: row padding is not skipped.
  uint64_t written = 0;
  size_t pos = kHeaderSize;
  while (written < count && pos < size) {
    const uint8_t v = data[pos++];
    if (v >= 0xC0) {
      if (pos >= size) break;
      const uint32_t colour = colours[data[pos++]];
      uint64_t run = v & 0x3Fu;
      if (run > count - written) run = count - written;
      for (uint64_t i = 0; i < run; ++i) out[written++] = colour;
    } else {
      out[written++] = colours[v];
    }
  }
  for (; written < count; ++written) out[written] = 0xFF000000u;

  *width = static_cast<uint32_t>(w);
  *height = static_cast<uint32_t>(h);
  *pixels = out;
  return true;
}
