#include "crosscheck/compare.h"

#include <png.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

namespace zelk4::crosscheck {

Comparison Compare(const Image& a, const Image& b, int levels) {
  Comparison c;
  c.sameSize = a.width == b.width && a.height == b.height && a.pixels.size() == b.pixels.size() &&
               !a.pixels.empty();
  if (!c.sameSize) return c;
  double squares = 0.0;
  size_t off = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i) {
    bool pixelOff = false;
    for (int shift = 0; shift <= 16; shift += 8) {
      int d = std::abs(static_cast<int>((a.pixels[i] >> shift) & 255) -
                       static_cast<int>((b.pixels[i] >> shift) & 255));
      squares += static_cast<double>(d) * d;
      if (d > levels) pixelOff = true;
      if (d > c.largest) c.largest = d;
    }
    if (pixelOff) ++off;
  }
  double mse = squares / (3.0 * static_cast<double>(a.pixels.size()));
  c.psnr = mse == 0.0 ? std::numeric_limits<double>::infinity()
                      : 10.0 * std::log10(255.0 * 255.0 / mse);
  c.shareOff = static_cast<double>(off) / static_cast<double>(a.pixels.size());
  return c;
}

Image Difference(const Image& a, const Image& b) {
  Image d;
  if (a.width != b.width || a.height != b.height) return d;
  d.width = a.width;
  d.height = a.height;
  d.pixels.resize(a.pixels.size());
  for (size_t i = 0; i < a.pixels.size(); ++i) {
    uint32_t out = 0xFF000000u;
    for (int shift = 0; shift <= 16; shift += 8) {
      int v = 4 * std::abs(static_cast<int>((a.pixels[i] >> shift) & 255) -
                           static_cast<int>((b.pixels[i] >> shift) & 255));
      out |= static_cast<uint32_t>(v > 255 ? 255 : v) << shift;
    }
    d.pixels[i] = out;
  }
  return d;
}

namespace {

// The libpng part, kept apart so that nothing with a destructor lives across its setjmp.
bool EncodePng(FILE* file, uint32_t width, uint32_t height, const uint32_t* pixels, png_byte* row) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      uint32_t p = pixels[static_cast<size_t>(y) * width + x];
      row[3 * x] = static_cast<png_byte>(p >> 16);
      row[3 * x + 1] = static_cast<png_byte>(p >> 8);
      row[3 * x + 2] = static_cast<png_byte>(p);
    }
    png_write_row(png, row);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool WritePng(const std::filesystem::path& path, const Image& image, std::string* error) {
  if (image.width == 0 || image.height == 0 ||
      image.pixels.size() != static_cast<size_t>(image.width) * image.height) {
    *error = "no picture to write to " + path.string();
    return false;
  }
  FILE* file = std::fopen(path.string().c_str(), "wb");
  if (file == nullptr) {
    *error = "cannot write " + path.string();
    return false;
  }
  std::vector<png_byte> row(static_cast<size_t>(image.width) * 3);
  bool encoded = EncodePng(file, image.width, image.height, image.pixels.data(), row.data());
  bool closed = std::fclose(file) == 0;
  if (!encoded || !closed) {
    *error = "PNG encoding failed for " + path.string();
    return false;
  }
  return true;
}

}  // namespace zelk4::crosscheck
