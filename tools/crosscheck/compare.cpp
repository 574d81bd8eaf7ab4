#include "crosscheck/compare.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

#include "kit/image_writers.h"

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

bool WritePng(const std::filesystem::path& path, const Image& image, std::string* error) {
  if (image.width == 0 || image.height == 0 ||
      image.pixels.size() != static_cast<size_t>(image.width) * image.height) {
    *error = "no picture to write to " + path.string();
    return false;
  }
  return zelk4::kit::WritePngFile(path.string(), image.width, image.height, image.pixels.data(),
                                  /*withAlpha=*/false, error);
}

}  // namespace zelk4::crosscheck
