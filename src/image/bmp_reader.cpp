// BMP, read for the texture decoder only (the engine's own dispatcher does not know it).
//
// File header, 14 bytes: "BM", file size, two reserved words, offset of the pixel rows. Then an
// information header: 12 bytes (OS/2: 16-bit width and height, planes, bits per pixel; palette
// entries of 3 bytes) or 40 bytes and more (32-bit width, height, negative for a top-down
// picture, planes, bits per pixel, compression, image size, two resolutions, colours used,
// colours important; palette entries of 4 bytes). With bit-field compression the red, green and
// blue masks follow the 40 bytes (they are the next fields of the longer headers), and headers of
// 56 bytes and more hold an alpha mask after them. Rows are padded to 4 bytes.
//
// Read: 1, 4 and 8-bit palette pictures, 16-bit (5-5-5, or bit fields such as 5-6-5), 24-bit and
// 32-bit (8-8-8 with a fourth byte, or bit fields). Alpha comes from an alpha mask, or, in a
// 32-bit file without masks, from the fourth bytes when any of them is not zero (D3DX reads such
// a file as A8R8G8B8, and one whose fourth bytes are all zero as X8R8G8B8); otherwise every pixel
// is opaque. Run-length compressed files are not read.
//
// Input is hostile: every field is checked, and a file whose rows are not all there is refused.
#include "image/image.h"
#include "image/image_bytes.h"

using namespace image_detail;

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kAlphaMaskHeaderSize = 56;
constexpr uint32_t kRgb = 0;
constexpr uint32_t kBitFields = 3;

// Bit-field masks of the four channels; alpha without a mask is opaque.
struct Masks {
  uint32_t red, green, blue, alpha;
  uint32_t Pixel(uint32_t v) const {
    const uint32_t a = alpha != 0 ? MaskedChannel(v, alpha) : 255;
    return a << 24 | MaskedChannel(v, red) << 16 | MaskedChannel(v, green) << 8 | MaskedChannel(v, blue);
  }
};

}  // namespace

bool DecodeBmpImage(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height,
                    uint32_t** pixels) {
  if (size < kFileHeaderSize + kCoreHeaderSize || data[0] != 'B' || data[1] != 'M') return false;
  const uint32_t rowsOffset = Le32(data + 10);
  const uint32_t headerSize = Le32(data + 14);
  const uint8_t* h = data + kFileHeaderSize;
  if (headerSize < kCoreHeaderSize || headerSize > size - kFileHeaderSize) return false;
  const bool core = headerSize < kInfoHeaderSize;
  if (core && headerSize != kCoreHeaderSize) return false;

  int64_t w = 0, signedHeight = 0;
  uint32_t planes = 0, bpp = 0, compression = kRgb, coloursUsed = 0;
  if (core) {
    w = Le16(h + 4);
    signedHeight = Le16(h + 6);
    planes = Le16(h + 8);
    bpp = Le16(h + 10);
  } else {
    w = static_cast<int32_t>(Le32(h + 4));
    signedHeight = static_cast<int32_t>(Le32(h + 8));
    planes = Le16(h + 12);
    bpp = Le16(h + 14);
    compression = Le32(h + 16);
    coloursUsed = Le32(h + 32);
  }
  const bool topDown = signedHeight < 0;
  const int64_t rows = topDown ? -signedHeight : signedHeight;
  if (planes != 1 || w <= 0 || rows <= 0) return false;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;
  if (compression != kRgb && !(compression == kBitFields && (bpp == 16 || bpp == 32))) return false;

  Masks masks{0, 0, 0, 0};
  if (compression == kBitFields) {
    // The masks follow the 40-byte header, where the longer headers keep them too.
    if (kFileHeaderSize + kInfoHeaderSize + 12 > size) return false;
    masks = Masks{Le32(h + 40), Le32(h + 44), Le32(h + 48),
                  headerSize >= kAlphaMaskHeaderSize ? Le32(h + 52) : 0u};
  } else if (bpp == 16) {
    masks = Masks{0x7C00, 0x03E0, 0x001F, 0};
  } else if (bpp == 32) {
    masks = Masks{0xFF0000, 0x00FF00, 0x0000FF, 0};
  }
  const bool unusedBytesMayBeAlpha = bpp == 32 && compression == kRgb;

  // The palette follows the headers (and the masks of a 40-byte bit-field header).
  uint32_t palette[256];
  for (uint32_t& colour : palette) colour = 0xFF000000u;  // indices past the palette: black
  if (bpp <= 8) {
    const size_t entryBytes = core ? 3 : 4;
    const size_t paletteStart = kFileHeaderSize + headerSize;
    uint32_t entries = coloursUsed != 0 ? coloursUsed : 1u << bpp;
    if (entries > (1u << bpp)) entries = 1u << bpp;
    if (paletteStart > size || (size - paletteStart) / entryBytes < entries) return false;
    for (uint32_t k = 0; k < entries; ++k) {
      const uint8_t* e = data + paletteStart + k * entryBytes;  // blue, green, red
      palette[k] = 0xFF000000u | static_cast<uint32_t>(e[2] << 16 | e[1] << 8 | e[0]);
    }
  }

  const uint64_t stride = (static_cast<uint64_t>(w) * bpp + 31) / 32 * 4;
  if (rowsOffset > size || (size - rowsOffset) / stride < static_cast<uint64_t>(rows)) return false;
  if (!PictureSizeIsPlausible(w, rows, static_cast<uint64_t>(w) * rows)) return false;
  uint32_t* out = AllocatePixels(static_cast<uint64_t>(w) * rows);
  if (!out) return false;

  // A 32-bit file without masks whose fourth bytes are not all zero holds alpha in them.
  if (unusedBytesMayBeAlpha) {
    for (uint64_t r = 0; r < static_cast<uint64_t>(rows) && masks.alpha == 0; ++r) {
      const uint8_t* src = data + rowsOffset + r * stride;
      for (int64_t x = 0; x < w; ++x) {
        if (src[4 * x + 3] != 0) {
          masks.alpha = 0xFF000000u;
          break;
        }
      }
    }
  }

  const uint32_t width32 = static_cast<uint32_t>(w), rows32 = static_cast<uint32_t>(rows);
  for (uint32_t r = 0; r < rows32; ++r) {
    const uint8_t* src = data + rowsOffset + r * stride;
    uint32_t* row = out + static_cast<size_t>(topDown ? r : rows32 - 1 - r) * width32;
    for (uint32_t x = 0; x < width32; ++x) {
      switch (bpp) {
        case 1:
        case 4:
        case 8: {
          // Indices fill each byte from its top bits down.
          const uint64_t bit = static_cast<uint64_t>(x) * bpp;
          const uint32_t index = (src[bit / 8] >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
          row[x] = palette[index];
          break;
        }
        case 16:
          row[x] = masks.Pixel(Le16(src + 2 * x));
          break;
        case 24:
          row[x] = 0xFF000000u | static_cast<uint32_t>(src[3 * x + 2] << 16 | src[3 * x + 1] << 8 | src[3 * x]);
          break;
        default:
          row[x] = masks.Pixel(Le32(src + 4 * x));
          break;
      }
    }
  }
  *width = width32;
  *height = rows32;
  *pixels = out;
  return true;
}
