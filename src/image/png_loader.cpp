// PNG through libpng, reading from memory through a callback. Every colour type is reduced to
// 8 bits per channel and turned into 0xAARRGGBB words. Input is hostile: the read callback
// never passes the end of the data, libpng checks the chunks, and the picture size is bounded
// by what the compressed data could hold before anything is allocated.
//
// Two sets of rules (PngRules): the engine's loader drops transparency (grey+alpha loses its
// alpha, tRNS is not used) and ends the process on a damaged file with its own messages; the
// texture decoder keeps transparency as alpha and returns false on a damaged file. Colours are
// the same under both.
//
// Before each fatal box the load releases what it holds, so a fatal-error hook that returns
// control to its caller (tests, fuzzing) leaks nothing. Under OnDamage::kFail a failure jumps
// back to the decode (setjmp/longjmp, as libpng's own error handling does), which releases the
// same way and returns false.
#include <png.h>

#include <csetjmp>
#include <cstring>

#include "base/fatal_error.h"
#include "image/image.h"
#include "image/image_bytes.h"

using namespace image_detail;

namespace {

// The one PNG load in progress: the memory reader's state and the blocks the load holds.
struct PngLoad {
  const uint8_t* bytes = nullptr;
  size_t size = 0;
  size_t position = 0;  // next byte to hand to libpng

  png_structp png = nullptr;
  png_infop info = nullptr;
  png_bytep* rows = nullptr;
  uint8_t* samples = nullptr;
  uint32_t* pixels = nullptr;

  OnDamage damage = OnDamage::kFatal;
  std::jmp_buf failed;  // under OnDamage::kFail, where a failure goes
};
PngLoad load;

void ReleaseLoad() {
  if (load.png) png_destroy_read_struct(&load.png, load.info ? &load.info : nullptr, nullptr);
  delete[] load.rows;
  delete[] load.samples;
  delete[] load.pixels;
  load = PngLoad{};
}

[[noreturn]] void Fail(const char* text, const char* caption) {
  if (load.damage == OnDamage::kFail) std::longjmp(load.failed, 1);
  ReleaseLoad();
  FatalError(text, caption);
}

[[noreturn]] void FailReader() { Fail("PNG-reader failed", "Image Error"); }

void ReadFromMemory(png_structp, png_bytep destination, png_size_t length) {
  if (length > load.size - load.position) Fail("Fejl i png reader", "ImageLoad fejl");
  std::memcpy(destination, load.bytes + load.position, length);
  load.position += length;
}

// The library's message is not shown; every libpng error ends the same way.
[[noreturn]] void OnPngError(png_structp, png_const_charp) { Fail("Error loading png file", "Image loader"); }

void OnPngWarning(png_structp, png_const_charp) {}

// Compressed data inflate at most about 1032:1; a 1-bit picture packs 8 pixels per byte.
uint64_t DescribablePixels(size_t fileSize, int bitDepth, int colourType) {
  const int channels = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
  const uint64_t bitsPerPixel = static_cast<uint64_t>(channels) * bitDepth;
  return static_cast<uint64_t>(fileSize) * 1032 * 8 / bitsPerPixel;
}

uint8_t* NewSamples(size_t count) {
  uint8_t* samples = new (std::nothrow) uint8_t[count];
  if (!samples) FailReader();
  return samples;
}

// Row pointers into a block of height rows of rowBytes bytes each.
void PointRows(uint8_t* base, uint32_t height, size_t rowBytes) {
  load.rows = new (std::nothrow) png_bytep[height ? height : 1];
  if (!load.rows) FailReader();
  for (uint32_t r = 0; r < height; ++r) load.rows[r] = base + static_cast<size_t>(r) * rowBytes;
}

// The decode proper; a failure under OnDamage::kFail jumps back into DecodePng.
bool DecodeBody(const uint8_t* data, size_t size, const PngRules& rules, uint32_t* width,
                uint32_t* height, uint32_t** pixels) {
  load.bytes = data;
  load.size = size;

  png_byte signature[4];
  ReadFromMemory(nullptr, signature, sizeof signature);
  if (png_sig_cmp(signature, 0, sizeof signature) != 0) {
    ReleaseLoad();
    return false;
  }

  load.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
  if (!load.png) FailReader();
  load.info = png_create_info_struct(load.png);
  if (!load.info) FailReader();
  png_set_read_fn(load.png, nullptr, ReadFromMemory);
  png_set_sig_bytes(load.png, sizeof signature);
  png_read_info(load.png, load.info);

  png_uint_32 w = 0, h = 0;
  int bitDepth = 0, colourType = 0;
  png_get_IHDR(load.png, load.info, &w, &h, &bitDepth, &colourType, nullptr, nullptr, nullptr);
  *width = w;
  *height = h;
  if (!PictureSizeIsPlausible(w, h, DescribablePixels(size, bitDepth, colourType))) FailReader();

  // The layout of the rows libpng hands out: the colour type, or with alpha where transparency
  // is kept (a tRNS chunk of a grey or RGB file becomes an alpha sample; palettes look theirs up).
  const bool keepTransparency = rules.keepTransparency;
  const bool hasTransparency = png_get_valid(load.png, load.info, PNG_INFO_tRNS) != 0;
  int layout = colourType;
  if (bitDepth == 16) {
    png_set_strip_16(load.png);
    bitDepth = 8;
  }
  switch (colourType) {
    case PNG_COLOR_TYPE_GRAY:
      // Only the bit-depth expansion: a tRNS chunk must not widen the rows with alpha unless
      // transparency is kept.
      if (bitDepth < 8) png_set_expand_gray_1_2_4_to_8(load.png);
      if (keepTransparency && hasTransparency) {
        png_set_tRNS_to_alpha(load.png);
        layout = PNG_COLOR_TYPE_GRAY_ALPHA;
      }
      break;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      if (!keepTransparency) {
        png_set_strip_alpha(load.png);
        layout = PNG_COLOR_TYPE_GRAY;
      }
      break;
    case PNG_COLOR_TYPE_RGB:
      png_set_bgr(load.png);
      if (keepTransparency && hasTransparency) {
        png_set_tRNS_to_alpha(load.png);
        layout = PNG_COLOR_TYPE_RGB_ALPHA;
      }
      break;
    case PNG_COLOR_TYPE_RGB_ALPHA:
      png_set_bgr(load.png);
      break;
    case PNG_COLOR_TYPE_PALETTE:
      if (bitDepth < 8) png_set_packing(load.png);
      break;
    default:
      FailReader();
  }
  double fileGamma = 0;
  if (png_get_gAMA(load.png, load.info, &fileGamma)) png_set_gamma(load.png, 2.2, fileGamma);
  png_read_update_info(load.png, load.info);

  // Every case below reads rows of a fixed width; make sure libpng agrees before it writes.
  const size_t bytesPerPixel = layout == PNG_COLOR_TYPE_RGB         ? 3
                               : layout == PNG_COLOR_TYPE_RGB_ALPHA  ? 4
                               : layout == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                                                                     : 1;
  const size_t rowBytes = static_cast<size_t>(w) * bytesPerPixel;
  if (png_get_rowbytes(load.png, load.info) != rowBytes) FailReader();

  const size_t count = static_cast<size_t>(w) * h;
  load.pixels = new (std::nothrow) uint32_t[count ? count : 1];
  if (!load.pixels) FailReader();

  if (layout == PNG_COLOR_TYPE_RGB_ALPHA) {
    // Blue, green, red, alpha bytes are exactly the little-endian 0xAARRGGBB word.
    PointRows(reinterpret_cast<uint8_t*>(load.pixels), h, rowBytes);
    png_read_image(load.png, load.rows);
  } else {
    load.samples = NewSamples(count * bytesPerPixel + 1);
    PointRows(load.samples, h, rowBytes);
    png_read_image(load.png, load.rows);
    if (layout == PNG_COLOR_TYPE_RGB) {
      for (size_t i = 0; i < count; ++i) {
        const uint8_t* s = load.samples + 3 * i;  // blue, green, red
        load.pixels[i] = 0xFF000000u | static_cast<uint32_t>(s[0] | s[1] << 8 | s[2] << 16);
      }
    } else if (layout == PNG_COLOR_TYPE_PALETTE) {
      // An index past the palette's end is opaque black. The tRNS chunk, when transparency is
      // kept, gives the first entries their alpha.
      uint32_t colours[256];
      for (uint32_t& c : colours) c = 0xFF000000u;
      png_colorp palette = nullptr;
      int entries = 0;
      png_get_PLTE(load.png, load.info, &palette, &entries);
      for (int k = 0; k < entries && k < 256; ++k) {
        colours[k] |= static_cast<uint32_t>(palette[k].red << 16 | palette[k].green << 8 | palette[k].blue);
      }
      png_bytep alphas = nullptr;
      int alphaCount = 0;
      if (keepTransparency && hasTransparency) {
        png_get_tRNS(load.png, load.info, &alphas, &alphaCount, nullptr);
        for (int k = 0; k < alphaCount && k < 256; ++k) {
          colours[k] = (colours[k] & 0x00FFFFFFu) | static_cast<uint32_t>(alphas[k]) << 24;
        }
      }
      for (size_t i = 0; i < count; ++i) load.pixels[i] = colours[load.samples[i]];
    } else if (layout == PNG_COLOR_TYPE_GRAY_ALPHA) {
      for (size_t i = 0; i < count; ++i) {
        const uint8_t* s = load.samples + 2 * i;  // grey, alpha
        load.pixels[i] = static_cast<uint32_t>(s[1]) << 24 | s[0] * 0x010101u;
      }
    } else {
      // Grey at 8 bits: the ramp maps each sample to itself.
      for (size_t i = 0; i < count; ++i) load.pixels[i] = 0xFF000000u | load.samples[i] * 0x010101u;
    }
  }

  png_read_end(load.png, nullptr);
  *pixels = load.pixels;
  load.pixels = nullptr;  // now the caller's
  ReleaseLoad();
  return true;
}

constexpr PngRules kEnginePngRules{OnDamage::kFatal, false};

}  // namespace

bool DecodePng(const uint8_t* data, size_t size, const PngRules& rules, uint32_t* width,
               uint32_t* height, uint32_t** pixels) {
  ReleaseLoad();
  load.damage = rules.damage;
  if (setjmp(load.failed) != 0) {
    ReleaseLoad();
    return false;
  }
  return DecodeBody(data, size, rules, width, height, pixels);
}

bool DecodePngImage(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height,
                    uint32_t** pixels) {
  return DecodePng(data, size, kEnginePngRules, width, height, pixels);
}
