#include "support/picture.h"

#include <cstdio>
#include <cstdlib>

#include "kit/image_writers.h"
#include "support/corpus.h"

namespace zelk4::test {

bool WritePng(const std::filesystem::path& path, const Picture& picture) {
  std::string error;
  return kit::WritePngFile(path.string(), picture.width, picture.height, picture.pixels.data(),
                           /*withAlpha=*/true, &error);
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
