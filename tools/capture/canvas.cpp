#include "canvas.h"

#include <algorithm>

extern "C" {
#include <libswscale/swscale.h>
}

namespace zelk4::capture {

Canvas::Canvas(uint32_t pictureWidth, uint32_t pictureHeight, uint32_t width, uint32_t height)
    : pictureWidth_(pictureWidth),
      pictureHeight_(pictureHeight),
      width_(width),
      height_(height),
      rect_(d3d8::LetterboxRect(static_cast<int>(width), static_cast<int>(height), pictureWidth,
                                pictureHeight)),
      canvas_(static_cast<size_t>(width) * height, 0xFF000000u) {
  if (rect_.width != static_cast<int>(pictureWidth) || rect_.height != static_cast<int>(pictureHeight)) {
    // 0xAARRGGBB words lie in memory as B, G, R, A.
    scaler_ = sws_getContext(static_cast<int>(pictureWidth), static_cast<int>(pictureHeight),
                             AV_PIX_FMT_BGRA, rect_.width, rect_.height, AV_PIX_FMT_BGRA,
                             SWS_BICUBIC | SWS_ACCURATE_RND | SWS_BITEXACT, nullptr, nullptr, nullptr);
    scaled_.resize(static_cast<size_t>(rect_.width) * rect_.height);
  }
}

Canvas::~Canvas() { sws_freeContext(scaler_); }

const std::vector<uint32_t>& Canvas::Place(const std::vector<uint32_t>& picture) {
  if (picture.size() != static_cast<size_t>(pictureWidth_) * pictureHeight_) return canvas_;
  const uint32_t* rows = picture.data();
  int pitch = static_cast<int>(pictureWidth_);
  if (scaler_ != nullptr) {
    const uint8_t* source[4] = {reinterpret_cast<const uint8_t*>(picture.data())};
    const int sourceStride[4] = {static_cast<int>(pictureWidth_ * 4)};
    uint8_t* target[4] = {reinterpret_cast<uint8_t*>(scaled_.data())};
    const int targetStride[4] = {rect_.width * 4};
    sws_scale(scaler_, source, sourceStride, 0, static_cast<int>(pictureHeight_), target, targetStride);
    rows = scaled_.data();
    pitch = rect_.width;
  }
  for (int y = 0; y < rect_.height; ++y) {
    const uint32_t* from = rows + static_cast<size_t>(y) * pitch;
    uint32_t* to = canvas_.data() + static_cast<size_t>(rect_.y + y) * width_ + rect_.x;
    // The picture is opaque on the canvas, whatever its alpha channel held.
    std::transform(from, from + rect_.width, to, [](uint32_t p) { return p | 0xFF000000u; });
  }
  return canvas_;
}

}  // namespace zelk4::capture
