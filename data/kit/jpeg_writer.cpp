#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include <jpeglib.h>

#include "kit/image_writers.h"

namespace zelk4::kit {
namespace {

[[noreturn]] void OnJpegError(j_common_ptr info) {
  char text[JMSG_LENGTH_MAX] = {};
  (*info->err->format_message)(info, text);
  throw std::runtime_error(std::string("JPEG writer: ") + text);
}

}  // namespace

Bytes WriteJpeg(const Picture& picture, int quality) {
  if (picture.width <= 0 || picture.height <= 0) throw std::invalid_argument("empty picture");
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr jerr{};
  cinfo.err = jpeg_std_error(&jerr);
  jerr.error_exit = OnJpegError;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  std::vector<JSAMPLE> row(size_t(picture.width) * 3);
  Bytes out;
  try {
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(picture.width);
    cinfo.image_height = static_cast<JDIMENSION>(picture.height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
      const int y = static_cast<int>(cinfo.next_scanline);
      for (int x = 0; x < picture.width; ++x) {
        const uint32_t p = picture.At(x, y);
        row[size_t(x) * 3 + 0] = static_cast<JSAMPLE>(p >> 16);
        row[size_t(x) * 3 + 1] = static_cast<JSAMPLE>(p >> 8);
        row[size_t(x) * 3 + 2] = static_cast<JSAMPLE>(p);
      }
      JSAMPROW rows[1] = {row.data()};
      jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    out.assign(buffer, buffer + size);
  } catch (...) {
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    throw;
  }
  jpeg_destroy_compress(&cinfo);
  std::free(buffer);
  return out;
}

}  // namespace zelk4::kit
