// A picture put on a canvas of another size: scaled to fit with its shape kept (libswscale,
// bicubic, bit-exact so every run gives the same pixels) and centred on opaque black.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/d3d8/device_control.h"

struct SwsContext;

namespace zelk4::capture {

class Canvas {
 public:
  Canvas(uint32_t pictureWidth, uint32_t pictureHeight, uint32_t width, uint32_t height);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  // The canvas with the picture (pictureWidth x pictureHeight 0xAARRGGBB words) on it.
  const std::vector<uint32_t>& Place(const std::vector<uint32_t>& picture);

  uint32_t Width() const { return width_; }
  uint32_t Height() const { return height_; }
  // Where the picture lands.
  d3d8::ScreenRect PictureRect() const { return rect_; }

 private:
  uint32_t pictureWidth_, pictureHeight_, width_, height_;
  d3d8::ScreenRect rect_;
  SwsContext* scaler_ = nullptr;  // null when the picture lands at its own size
  std::vector<uint32_t> scaled_;
  std::vector<uint32_t> canvas_;
};

}  // namespace zelk4::capture
