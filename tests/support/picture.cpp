#include "support/picture.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>

#include "support/corpus.h"

namespace zelk4::test {

bool WritePng(const std::filesystem::path& path, const Picture& picture) {
  FILE* file = std::fopen(path.string().c_str(), "wb");
  if (file == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (png == nullptr || info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, picture.width, picture.height, 8, PNG_COLOR_TYPE_RGB_ALPHA,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<uint8_t> row(static_cast<size_t>(picture.width) * 4);
  for (uint32_t y = 0; y < picture.height; ++y) {
    for (uint32_t x = 0; x < picture.width; ++x) {
      uint32_t p = picture.at(x, y);
      row[4 * x + 0] = static_cast<uint8_t>(p >> 16);
      row[4 * x + 1] = static_cast<uint8_t>(p >> 8);
      row[4 * x + 2] = static_cast<uint8_t>(p);
      row[4 * x + 3] = static_cast<uint8_t>(p >> 24);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fclose(file) == 0;
}

::testing::AssertionResult PicturesMatch(const std::string& name, const Picture& expected,
                                         const Picture& actual, int tolerance,
                                         size_t allowedMismatches) {
  if (expected.width != actual.width || expected.height != actual.height) {
    return ::testing::AssertionFailure()
           << name << ": size " << actual.width << "x" << actual.height << ", expected "
           << expected.width << "x" << expected.height;
  }
  Picture diff(expected.width, expected.height, 0xFF808080u);
  size_t mismatches = 0;
  uint32_t firstX = 0, firstY = 0;
  for (uint32_t y = 0; y < expected.height; ++y) {
    for (uint32_t x = 0; x < expected.width; ++x) {
      uint32_t e = expected.at(x, y), a = actual.at(x, y);
      bool bad = false;
      for (int shift = 0; shift < 32; shift += 8) {
        int de = static_cast<int>((e >> shift) & 255), da = static_cast<int>((a >> shift) & 255);
        if (std::abs(de - da) > tolerance) bad = true;
      }
      if (bad) {
        if (mismatches == 0) {
          firstX = x;
          firstY = y;
        }
        ++mismatches;
        diff.at(x, y) = 0xFFFF0000u;
      }
    }
  }
  if (mismatches <= allowedMismatches) return ::testing::AssertionSuccess();
  std::filesystem::path dir = TestOutputDir();
  WritePng(dir / (name + "-expected.png"), expected);
  WritePng(dir / (name + "-actual.png"), actual);
  WritePng(dir / (name + "-diff.png"), diff);
  char first[64];
  std::snprintf(first, sizeof first, "0x%08X, expected 0x%08X", actual.at(firstX, firstY),
                expected.at(firstX, firstY));
  return ::testing::AssertionFailure()
         << name << ": " << mismatches << " pixels differ (first at " << firstX << "," << firstY
         << ": " << first << "); pictures written to " << (dir / name).string() << "-*.png";
}

}  // namespace zelk4::test
