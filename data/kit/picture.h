// In-memory pictures the kit draws into before writing them as image files.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace zelk4::kit {

// True-colour picture, top row first, pixels 0xAARRGGBB.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;

  Picture() = default;
  Picture(int w, int h, uint32_t fill = 0) : width(w), height(h), pixels(size_t(w) * h, fill) {}
  uint32_t& At(int x, int y) { return pixels[size_t(y) * width + x]; }
  uint32_t At(int x, int y) const { return pixels[size_t(y) * width + x]; }
};

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
};

// Palette picture (256 colours), top row first.
struct IndexedPicture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> indices;
  std::array<Rgb, 256> palette{};

  IndexedPicture() = default;
  IndexedPicture(int w, int h) : width(w), height(h), indices(size_t(w) * h, 0) {}
  uint8_t& At(int x, int y) { return indices[size_t(y) * width + x]; }
};

// Rounds a colour component into 0..255.
inline uint8_t ClampByte(double v) { return static_cast<uint8_t>(std::clamp(v, 0.0, 255.0) + 0.5); }

inline uint32_t Argb(double a, double r, double g, double b) {
  return uint32_t(ClampByte(a)) << 24 | uint32_t(ClampByte(r)) << 16 | uint32_t(ClampByte(g)) << 8 |
         ClampByte(b);
}

}  // namespace zelk4::kit
