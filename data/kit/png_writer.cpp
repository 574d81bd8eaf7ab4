// The project's one PNG writer, over libpng: the kit's pictures, and the frames, sheets and
// comparison pictures the tools and tests write.
#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
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

Bytes EncodePng(uint32_t width, uint32_t height, const uint32_t* pixels, bool withAlpha,
                int compressionLevel) {
  if (width == 0 || height == 0) throw std::invalid_argument("empty picture");
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
  if (!png) throw std::runtime_error("PNG writer: out of memory");
  png_infop info = png_create_info_struct(png);
  const int channels = withAlpha ? 4 : 3;
  std::vector<png_byte> row(size_t(width) * channels);
  try {
    if (!info) throw std::runtime_error("PNG writer: out of memory");
    png_set_write_fn(png, &out, AppendToBytes, NoFlush);
    png_set_IHDR(png, info, width, height, 8, withAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, compressionLevel);
    png_write_info(png, info);
    for (uint32_t y = 0; y < height; ++y) {
      const uint32_t* line = pixels + size_t(y) * width;
      for (uint32_t x = 0; x < width; ++x) {
        const uint32_t p = line[x];
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

Bytes WritePng(const Picture& picture, bool withAlpha) {
  if (picture.width <= 0 || picture.height <= 0) throw std::invalid_argument("empty picture");
  return EncodePng(static_cast<uint32_t>(picture.width), static_cast<uint32_t>(picture.height),
                   picture.pixels.data(), withAlpha);
}

bool WritePngFile(const std::string& path, uint32_t width, uint32_t height, const uint32_t* pixels,
                  bool withAlpha, std::string* error, int compressionLevel) {
  Bytes png;
  try {
    png = EncodePng(width, height, pixels, withAlpha, compressionLevel);
  } catch (const std::exception& e) {
    *error = "cannot encode '" + path + "': " + e.what();
    return false;
  }
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    *error = "cannot write '" + path + "': " + std::strerror(errno);
    return false;
  }
  const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
  if (std::fclose(file) != 0 || !written) {
    *error = "writing '" + path + "' failed";
    return false;
  }
  return true;
}

}  // namespace zelk4::kit
