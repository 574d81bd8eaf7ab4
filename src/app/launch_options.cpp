#include "app/launch_options.h"

#include <charconv>

#include "app/app.h"
#include "app/engine_seams.h"

namespace {
constexpr uint32_t kLargestSide = 4096;

PictureSize devicePicture;
bool deviceWindowed = false;
void (*designedDeviceInit)(HWND, uint32_t, uint32_t, uint8_t) = nullptr;

std::optional<uint32_t> Side(std::string_view text) {
  uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > kLargestSide) {
    return std::nullopt;
  }
  return value;
}
}  // namespace

std::optional<PictureSize> ParsePictureSize(std::string_view text) {
  const size_t x = text.find_first_of("xX");
  if (x == std::string_view::npos) return std::nullopt;
  const auto width = Side(text.substr(0, x));
  const auto height = Side(text.substr(x + 1));
  if (!width || !height) return std::nullopt;
  return PictureSize{*width, *height};
}

std::string PictureSizeText(PictureSize size) {
  return std::to_string(size.width) + "x" + std::to_string(size.height);
}

void UseDevicePicture(PictureSize size, bool windowed) {
  devicePicture = size;
  deviceWindowed = windowed;
  designedDeviceInit = engine.deviceInit;
  engine.deviceInit = [](HWND window, uint32_t, uint32_t, uint8_t) {
    if (deviceWindowed) {
      ResizeMainWindow(window, static_cast<int>(devicePicture.width),
                       static_cast<int>(devicePicture.height));
    }
    designedDeviceInit(window, devicePicture.width, devicePicture.height, deviceWindowed ? 1 : 0);
  };
}
