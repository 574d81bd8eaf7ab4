// DDS (DirectDraw surface), read for the texture decoder only: the top level of the first
// surface, uncompressed or DXT1-DXT5 compressed, as 0xAARRGGBB pixels. Lower mip levels stored
// in the file are not read; the texture decoder builds its own.
//
// Layout, little-endian: "DDS ", then a 124-byte header: size (124), flags, height, width, pitch
// or linear size, depth, mip count, 11 reserved words, the 32-byte pixel format (size 32, flags,
// four-character code, bits per pixel, red, green, blue and alpha masks), four capability words
// and a reserved word. The pixels start at offset 128.
//
// Pixel format flags: 0x1 alpha mask valid, 0x2 alpha only, 0x4 four-character code (DXT1 to
// DXT5), 0x40 RGB masks valid, 0x20000 luminance (the red mask holds it).
//
// DXT blocks hold 4x4 pixels: two 5-6-5 colours and 2-bit indices (8 bytes); DXT2/3 put 4-bit
// alphas in front (8 bytes), DXT4/5 two alphas and 3-bit indices (8 bytes). DXT2 and DXT4 hold
// premultiplied colours; they are read as stored, like DXT3 and DXT5.
//
// Input is hostile: the header is checked and a file whose top level is not all there is refused.
#include "image/image.h"
#include "image/image_bytes.h"

using namespace image_detail;

namespace {

constexpr size_t kHeaderEnd = 128;
constexpr uint32_t kAlphaPixels = 0x1, kAlphaOnly = 0x2, kFourCc = 0x4, kRgb = 0x40,
                   kLuminance = 0x20000;

constexpr uint32_t FourCc(const char (&code)[5]) {
  return static_cast<uint32_t>(code[0]) | static_cast<uint32_t>(code[1]) << 8 |
         static_cast<uint32_t>(code[2]) << 16 | static_cast<uint32_t>(code[3]) << 24;
}

uint32_t From565(uint32_t c) {
  return MaskedChannel(c, 0xF800) << 16 | MaskedChannel(c, 0x07E0) << 8 | MaskedChannel(c, 0x001F);
}

// (a * (parts - weightB) + b * weightB) / parts per channel of two 0x00RRGGBB colours.
uint32_t Mix(uint32_t a, uint32_t b, uint32_t weightB, uint32_t parts) {
  uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const uint32_t ca = (a >> shift) & 255, cb = (b >> shift) & 255;
    out |= ((ca * (parts - weightB) + cb * weightB) / parts) << shift;
  }
  return out;
}

// The 16 colours of a DXT colour block. In DXT1 a first colour not above the second makes a
// three-colour block whose fourth entry is transparent black; the other formats always use four.
void ColourBlock(const uint8_t* block, bool dxt1, uint32_t out[16]) {
  const uint32_t c0 = Le16(block), c1 = Le16(block + 2);
  uint32_t colours[4] = {0xFF000000u | From565(c0), 0xFF000000u | From565(c1), 0, 0};
  if (!dxt1 || c0 > c1) {
    colours[2] = 0xFF000000u | Mix(From565(c0), From565(c1), 1, 3);
    colours[3] = 0xFF000000u | Mix(From565(c0), From565(c1), 2, 3);
  } else {
    colours[2] = 0xFF000000u | Mix(From565(c0), From565(c1), 1, 2);
    colours[3] = 0;
  }
  const uint32_t indices = Le32(block + 4);
  for (int i = 0; i < 16; ++i) out[i] = colours[(indices >> (2 * i)) & 3];
}

// DXT2/3: sixteen explicit 4-bit alphas.
void ExplicitAlpha(const uint8_t* block, uint32_t out[16]) {
  for (int i = 0; i < 16; ++i) {
    const uint32_t a = (block[i / 2] >> (4 * (i % 2))) & 15;
    out[i] = (out[i] & 0x00FFFFFFu) | (a * 17) << 24;
  }
}

// DXT4/5: two alphas and 3-bit indices; above the second, the first spans six steps between
// them, otherwise four steps and the extra values 0 and 255.
void InterpolatedAlpha(const uint8_t* block, uint32_t out[16]) {
  const uint32_t a0 = block[0], a1 = block[1];
  uint32_t alphas[8] = {a0, a1};
  if (a0 > a1) {
    for (uint32_t k = 1; k <= 6; ++k) alphas[k + 1] = (a0 * (7 - k) + a1 * k) / 7;
  } else {
    for (uint32_t k = 1; k <= 4; ++k) alphas[k + 1] = (a0 * (5 - k) + a1 * k) / 5;
    alphas[6] = 0;
    alphas[7] = 255;
  }
  uint64_t indices = 0;
  for (int b = 0; b < 6; ++b) indices |= static_cast<uint64_t>(block[2 + b]) << (8 * b);
  for (int i = 0; i < 16; ++i) {
    out[i] = (out[i] & 0x00FFFFFFu) | alphas[(indices >> (3 * i)) & 7] << 24;
  }
}

bool DecodeBlocks(const uint8_t* p, size_t available, uint32_t fourCc, uint32_t w, uint32_t h,
                  uint32_t* out) {
  const bool dxt1 = fourCc == FourCc("DXT1");
  const bool explicitAlpha = fourCc == FourCc("DXT2") || fourCc == FourCc("DXT3");
  const size_t blockBytes = dxt1 ? 8 : 16;
  const uint64_t across = (w + 3) / 4, down = (h + 3) / 4;
  if (available / blockBytes < across * down) return false;
  for (uint64_t by = 0; by < down; ++by) {
    for (uint64_t bx = 0; bx < across; ++bx, p += blockBytes) {
      uint32_t texels[16];
      ColourBlock(dxt1 ? p : p + 8, dxt1, texels);
      if (explicitAlpha) {
        ExplicitAlpha(p, texels);
      } else if (!dxt1) {
        InterpolatedAlpha(p, texels);
      }
      for (uint32_t i = 0; i < 16; ++i) {
        const uint64_t x = bx * 4 + i % 4, y = by * 4 + i / 4;
        if (x < w && y < h) out[y * w + x] = texels[i];
      }
    }
  }
  return true;
}

}  // namespace

bool DecodeDdsImage(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height,
                    uint32_t** pixels) {
  if (size < kHeaderEnd || Le32(data) != FourCc("DDS ") || Le32(data + 4) != 124) return false;
  const uint32_t h = Le32(data + 12);
  const uint32_t w = Le32(data + 16);
  const uint8_t* format = data + 76;
  if (Le32(format) != 32) return false;
  const uint32_t flags = Le32(format + 4), fourCc = Le32(format + 8), bits = Le32(format + 12);
  const uint32_t red = Le32(format + 16), green = Le32(format + 20), blue = Le32(format + 24);
  const uint32_t alpha = Le32(format + 28);
  const size_t available = size - kHeaderEnd;
  const uint8_t* p = data + kHeaderEnd;

  const bool compressed = (flags & kFourCc) != 0;
  if (compressed) {
    if (fourCc != FourCc("DXT1") && fourCc != FourCc("DXT2") && fourCc != FourCc("DXT3") &&
        fourCc != FourCc("DXT4") && fourCc != FourCc("DXT5")) {
      return false;
    }
  } else if ((flags & (kRgb | kLuminance | kAlphaOnly)) == 0 ||
             (bits != 8 && bits != 16 && bits != 24 && bits != 32)) {
    return false;
  }
  // A DXT block of 8 bytes holds 16 pixels; an uncompressed pixel takes at least a byte.
  const uint64_t describable = compressed ? static_cast<uint64_t>(available) * 2 : available / (bits / 8);
  if (w == 0 || h == 0 || !PictureSizeIsPlausible(w, h, describable)) return false;
  uint32_t* out = AllocatePixels(static_cast<uint64_t>(w) * h);
  if (!out) return false;

  bool ok = true;
  if (compressed) {
    ok = DecodeBlocks(p, available, fourCc, w, h, out);
  } else {
    // Rows are packed at the pixel size (the pitch field is not trusted).
    const size_t bytes = bits / 8;
    if (available / bytes < static_cast<uint64_t>(w) * h) {
      ok = false;
    } else {
      const bool luminance = (flags & kLuminance) != 0;
      const bool alphaOnly = (flags & (kRgb | kLuminance)) == 0;
      const uint32_t alphaMask = (flags & (kAlphaPixels | kAlphaOnly)) != 0 ? alpha : 0;
      for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i, p += bytes) {
        uint32_t v = 0;
        for (size_t b = 0; b < bytes; ++b) v |= static_cast<uint32_t>(p[b]) << (8 * b);
        const uint32_t a = alphaMask != 0 ? MaskedChannel(v, alphaMask) : 255;
        uint32_t rgb = 0;
        if (luminance) {
          rgb = MaskedChannel(v, red) * 0x010101u;
        } else if (!alphaOnly) {
          rgb = MaskedChannel(v, red) << 16 | MaskedChannel(v, green) << 8 | MaskedChannel(v, blue);
        }
        out[i] = a << 24 | rgb;
      }
    }
  }
  if (!ok) {
    delete[] out;
    return false;
  }
  *width = w;
  *height = h;
  *pixels = out;
  return true;
}
