// TGA. One reader serves two callers, which differ only in the rules of TgaRules: the engine's
// loader (uncompressed true-colour and grey files of 8, 24 or 32 bits, read as it was written:
// pixel data at offset 18, the first stored row at the bottom, 24-bit red and blue exchanged,
// every pixel opaque) and the texture decoder, which reads the file as the format defines it
// (the identification field and colour map skipped, the descriptor's origin honoured, 15/16/24/
// 32-bit true colour, grey, colour-mapped and run-length images, alpha as stored).
//
// Header, 18 bytes, little-endian: 0 identification length, 1 colour map type, 2 image type,
// 3 first map entry, 5 map length, 7 map entry bits, 12 width, 14 height, 16 pixel depth,
// 17 descriptor (bits 0-3 alpha bits per pixel, bit 4 right to left, bit 5 top row first).
//
// Input is hostile: the header is checked, the size is bounded before allocating, and no read
// passes the end of the data.
#include "image/image.h"
#include "image/image_bytes.h"

using namespace image_detail;

namespace {

constexpr size_t kHeaderSize = 18;
constexpr uint8_t kRightToLeft = 0x10;
constexpr uint8_t kTopRowFirst = 0x20;
constexpr uint32_t kMaxRunPixels = 128;  // one run packet repeats its pixel up to 128 times

// The engine's loader: pixel data at 18, first stored row at the bottom, 24-bit red and blue
// exchanged, opaque, data cut short leave black pixels.
constexpr TgaRules kEngineTgaRules{.allImageTypes = false,
                                   .skipIdentificationAndMap = false,
                                   .honourOrigin = false,
                                   .exchangeRedBlue24 = true,
                                   .keepAlpha = false,
                                   .requireEveryPixel = false};

enum class Kind { kColourMapped, kTrueColour, kGrey };

struct Layout {
  Kind kind;
  bool runLength;
  uint32_t depth;            // bits per stored pixel (or index)
  uint32_t bytesPerPixel;
  bool alpha;                // the stored pixels carry alpha (descriptor alpha bits > 0)
  const uint8_t* map = nullptr;  // colour map entries, or null
  uint32_t mapFirst = 0, mapLength = 0, mapEntryBytes = 0;
};

// A 15/16-bit A1R5G5B5 value; the top bit is alpha only when the file says it carries alpha.
uint32_t FromA1R5G5B5(uint32_t v, bool alpha) {
  const uint32_t a = !alpha || (v & 0x8000u) ? 0xFF000000u : 0u;
  return a | MaskedChannel(v, 0x7C00) << 16 | MaskedChannel(v, 0x03E0) << 8 | MaskedChannel(v, 0x001F);
}

// A true-colour value of 2, 3 or 4 stored bytes (blue, green, red, alpha).
uint32_t FromTrueColour(const uint8_t* p, uint32_t bytes, bool alpha, bool exchangeRedBlue24) {
  if (bytes == 2) return FromA1R5G5B5(Le16(p), alpha);
  if (bytes == 3) {
    return exchangeRedBlue24 ? 0xFF000000u | static_cast<uint32_t>(p[0] << 16 | p[1] << 8 | p[2])
                             : 0xFF000000u | static_cast<uint32_t>(p[2] << 16 | p[1] << 8 | p[0]);
  }
  const uint32_t a = alpha ? static_cast<uint32_t>(p[3]) << 24 : 0xFF000000u;
  return a | static_cast<uint32_t>(p[2] << 16 | p[1] << 8 | p[0]);
}

uint32_t PixelAt(const Layout& l, const uint8_t* p, const TgaRules& rules) {
  switch (l.kind) {
    case Kind::kGrey:
      return 0xFF000000u | p[0] * 0x010101u;
    case Kind::kTrueColour:
      if (l.depth == 8) return 0xFF000000u | p[0] * 0x010101u;  // the engine's grey in type 2
      return FromTrueColour(p, l.bytesPerPixel, l.alpha, rules.exchangeRedBlue24);
    case Kind::kColourMapped: {
      const uint32_t index = l.bytesPerPixel == 1 ? p[0] : Le16(p);
      if (index < l.mapFirst || index - l.mapFirst >= l.mapLength) return 0xFF000000u;
      const uint8_t* entry = l.map + static_cast<size_t>(index - l.mapFirst) * l.mapEntryBytes;
      return FromTrueColour(entry, l.mapEntryBytes, l.alpha, false);
    }
  }
  return 0;
}

// The image type and depths the rules accept, or false.
bool ReadLayout(const uint8_t* data, const TgaRules& rules, Layout* l) {
  const uint8_t mapType = data[1];
  const uint8_t imageType = data[2];
  const uint32_t depth = data[16];
  l->depth = depth;
  l->bytesPerPixel = (depth + 7) / 8;
  l->alpha = rules.keepAlpha && (data[17] & 0x0F) != 0;
  if (!rules.allImageTypes) {
    if (mapType != 0 || (imageType != 2 && imageType != 3)) return false;
    if (depth != 8 && depth != 24 && depth != 32) return false;
    l->kind = imageType == 2 ? Kind::kTrueColour : Kind::kGrey;
    l->runLength = false;
    return true;
  }
  if (mapType > 1) return false;
  l->runLength = imageType >= 9;
  switch (imageType & 7) {
    case 1:
      l->kind = Kind::kColourMapped;
      return mapType == 1 && (depth == 8 || depth == 16);
    case 2:
      l->kind = Kind::kTrueColour;
      return depth == 15 || depth == 16 || depth == 24 || depth == 32;
    case 3:
      l->kind = Kind::kGrey;
      return depth == 8;
    default:
      return false;
  }
}

}  // namespace

bool DecodeTga(const uint8_t* data, size_t size, const TgaRules& rules, uint32_t* width,
               uint32_t* height, uint32_t** pixels) {
  if (size < kHeaderSize) return false;
  Layout l{};
  if (!ReadLayout(data, rules, &l)) return false;
  const uint32_t w = Le16(data + 12);
  const uint32_t h = Le16(data + 14);
  const uint8_t descriptor = data[17];

  size_t offset = kHeaderSize;
  if (rules.skipIdentificationAndMap) {
    offset += data[0];
    if (data[1] == 1) {
      l.mapFirst = Le16(data + 3);
      l.mapLength = Le16(data + 5);
      const uint32_t entryBits = data[7];
      if (entryBits != 15 && entryBits != 16 && entryBits != 24 && entryBits != 32) return false;
      l.mapEntryBytes = (entryBits + 7) / 8;
      const size_t mapBytes = static_cast<size_t>(l.mapLength) * l.mapEntryBytes;
      if (offset > size || size - offset < mapBytes) return false;
      l.map = data + offset;
      offset += mapBytes;
    }
  }
  if (offset > size) return false;

  const size_t available = size - offset;
  const uint64_t describable = l.runLength ? static_cast<uint64_t>(available) * kMaxRunPixels
                                           : available / l.bytesPerPixel;
  if (!PictureSizeIsPlausible(w, h, describable)) return false;
  const uint64_t count = static_cast<uint64_t>(w) * h;
  uint32_t* out = AllocatePixels(count);
  if (!out) return false;

  const bool bottomFirst = rules.honourOrigin ? (descriptor & kTopRowFirst) == 0 : true;
  const bool rightToLeft = rules.honourOrigin && (descriptor & kRightToLeft) != 0;
  // Stored pixel i goes to row i / w (counted from the first stored row) and column i % w.
  uint64_t stored = 0;
  auto put = [&](uint32_t value) {
    const uint32_t row = static_cast<uint32_t>(stored / w), column = static_cast<uint32_t>(stored % w);
    const uint32_t y = bottomFirst ? h - 1 - row : row;
    const uint32_t x = rightToLeft ? w - 1 - column : column;
    out[static_cast<size_t>(y) * w + x] = value;
    ++stored;
  };

  const uint8_t* p = data + offset;
  const uint8_t* const end = data + size;
  const size_t bpp = l.bytesPerPixel;
  while (stored < count) {
    if (!l.runLength) {
      if (static_cast<size_t>(end - p) < bpp) break;
      put(PixelAt(l, p, rules));
      p += bpp;
      continue;
    }
    if (p >= end) break;
    const uint8_t packet = *p++;
    const uint32_t n = (packet & 0x7Fu) + 1;
    if (packet & 0x80u) {
      if (static_cast<size_t>(end - p) < bpp) break;
      const uint32_t value = PixelAt(l, p, rules);
      p += bpp;
      for (uint32_t k = 0; k < n && stored < count; ++k) put(value);
    } else {
      for (uint32_t k = 0; k < n && stored < count; ++k) {
        if (static_cast<size_t>(end - p) < bpp) break;
        put(PixelAt(l, p, rules));
        p += bpp;
      }
    }
  }
  if (stored < count) {
    if (rules.requireEveryPixel) {
      delete[] out;
      return false;
    }
    // The engine's loader leaves what the data do not reach black; alpha is made opaque below.
  }
  if (!rules.keepAlpha) SetOpaqueAlpha(out, w, h);
  *width = w;
  *height = h;
  *pixels = out;
  return true;
}

bool DecodeTgaImage(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height,
                    uint32_t** pixels) {
  return DecodeTga(data, size, kEngineTgaRules, width, height, pixels);
}
