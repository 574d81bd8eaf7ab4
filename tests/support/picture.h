// Pictures in tests: 0xAARRGGBB images, PNG output, and a comparison that, when it fails,
// writes the expected, actual and difference images into the test output folder so a person
// can look at them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace zelk4::test {

struct Picture {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint32_t> pixels;  // 0xAARRGGBB, top row first

  Picture() = default;
  Picture(uint32_t w, uint32_t h, uint32_t fill = 0)
      : width(w), height(h), pixels(static_cast<size_t>(w) * h, fill) {}
  uint32_t& at(uint32_t x, uint32_t y) { return pixels[static_cast<size_t>(y) * width + x]; }
  uint32_t at(uint32_t x, uint32_t y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Writes an RGBA PNG; false on failure.
bool WritePng(const std::filesystem::path& path, const Picture& picture);

// Equal sizes, and every channel of every pixel within `tolerance`, except at most
// `allowedMismatches` pixels. On failure writes NAME-expected.png, NAME-actual.png and
// NAME-diff.png (mismatching pixels red on grey) to TestOutputDir() and says where.
::testing::AssertionResult PicturesMatch(const std::string& name, const Picture& expected,
                                         const Picture& actual, int tolerance = 0,
                                         size_t allowedMismatches = 0);

}  // namespace zelk4::test
