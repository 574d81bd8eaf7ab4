#include <png.h>

#include <stdexcept>

#include "kit/image_writers.h"

namespace zelk4::kit {
namespace {

void AppendToBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

void NoFlush(png_structp) {}

[[noreturn]] void OnPngError(png_structp, png_const_charp message) {
  throw std::runtime_error(std::string("PNG writer: ") + message);
}

void OnPngWarning(png_structp, png_const_charp) {}

}  // namespace

Bytes WritePng(const Picture& picture, bool withAlpha) {
  if (picture.width <= 0 || picture.height <= 0) throw std::invalid_argument("empty picture");
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
  if (!png) throw std::runtime_error("PNG writer: out of memory");
  png_infop info = png_create_info_struct(png);
  const int channels = withAlpha ? 4 : 3;
  std::vector<png_byte> row(size_t(picture.width) * channels);
  try {
    if (!info) throw std::runtime_error("PNG writer: out of memory");
    png_set_write_fn(png, &out, AppendToBytes, NoFlush);
    png_set_IHDR(png, info, picture.width, picture.height, 8,
                 withAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 6);
    png_write_info(png, info);
    for (int y = 0; y < picture.height; ++y) {
      for (int x = 0; x < picture.width; ++x) {
        const uint32_t p = picture.At(x, y);
        png_byte* px = &row[size_t(x) * channels];
        px[0] = static_cast<png_byte>(p >> 16);
        px[1] = static_cast<png_byte>(p >> 8);
        px[2] = static_cast<png_byte>(p);
        if (withAlpha) px[3] = static_cast<png_byte>(p >> 24);
      }
      png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
  } catch (...) {
    png_destroy_write_struct(&png, &info);
    throw;
  }
  png_destroy_write_struct(&png, &info);
  return out;
}

}  // namespace zelk4::kit
