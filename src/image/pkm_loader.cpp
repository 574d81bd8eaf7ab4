// PKM: a 256-colour run-length format with a 6-bit palette and an optional transparent
// index. Input is hostile: extension fields and runs are bounded by the data, runs are cut at
// the end of the picture, and pixels the stream does not supply stay 0.
#include "image/image.h"
#include "image/image_bytes.h"

using namespace image_detail;

namespace {
constexpr size_t kPaletteOffset = 10;
constexpr size_t kExtensionSizeOffset = 778;
constexpr size_t kExtensionsOffset = 780;
constexpr uint8_t kTransparentIndexField = 2;
constexpr uint64_t kMaxPixelsPerByte = 65535 / 4 + 1;  // a 4-byte long run of 65535
}  // namespace

bool DecodePkmImage(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height,
                    uint32_t** pixels) {
  if (size < kExtensionsOffset) return false;
  if (data[0] != 'P' || data[1] != 'K' || data[2] != 'M' || data[3] != 0) return false;
  const uint8_t shortMarker = data[4];
  const uint8_t longMarker = data[5];
  const uint32_t w = Le16(data + 6);
  const uint32_t h = Le16(data + 8);

  // Extension fields: type, size, data; the last transparent-index field counts.
  const size_t extensionEnd = kExtensionsOffset + Le16(data + kExtensionSizeOffset);
  int transparent = -1;
  for (size_t pos = kExtensionsOffset; pos < extensionEnd && pos + 2 <= size;) {
    const uint8_t type = data[pos];
    const uint8_t length = data[pos + 1];
    if (type == kTransparentIndexField && length == 1 && pos + 2 < size) transparent = data[pos + 2];
    pos += 2 + static_cast<size_t>(length);
  }
  const size_t streamStart = extensionEnd < size ? extensionEnd : size;

  if (!PictureSizeIsPlausible(w, h, (size - streamStart) * kMaxPixelsPerByte)) return false;
  const uint64_t count = static_cast<uint64_t>(w) * h;
  uint32_t* out = AllocatePixels(count);
  if (!out) return false;

  // Palette values are 0..63; each is masked to 6 bits so a bad one cannot spill into the
  // neighbouring channel.
  uint32_t colours[256];
  for (int k = 0; k < 256; ++k) {
    const uint8_t* e = data + kPaletteOffset + 3 * k;
    const uint32_t alpha = k == transparent ? 0u : 0xFFu;
    colours[k] = alpha << 24 | (e[0] & 0x3Fu) * 4 << 16 | (e[1] & 0x3Fu) * 4 << 8 | (e[2] & 0x3Fu) * 4;
  }

  // A byte equal to a marker always starts a run; with equal markers the short form wins.
  // Long-run counts are stored high byte first.
  uint64_t written = 0;
  size_t pos = streamStart;
  while (written < count && pos < size) {
    const uint8_t b = data[pos];
    uint32_t colour;
    uint64_t run;
    if (b == shortMarker) {
      if (size - pos < 3) break;
      colour = colours[data[pos + 1]];
      run = data[pos + 2];
      pos += 3;
    } else if (b == longMarker) {
      if (size - pos < 4) break;
      colour = colours[data[pos + 1]];
      run = static_cast<uint32_t>(data[pos + 2] << 8 | data[pos + 3]);
      pos += 4;
    } else {
      colour = colours[b];
      run = 1;
      pos += 1;
    }
    if (run > count - written) run = count - written;
    for (uint64_t i = 0; i < run; ++i) out[written++] = colour;
  }

  *width = w;
  *height = h;
  *pixels = out;
  return true;
}
