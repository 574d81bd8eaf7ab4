// What a program built on the spine may change of the demo as designed, each reaching the engine
// through the spine's seams (engine_seams.h) before StartUp. The demo itself reads no command
// line: left alone, it runs full screen at 640 x 480.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct PictureSize {
  uint32_t width = 640;
  uint32_t height = 480;
};

// "WxH" with each side from 1 to 4096 (the largest back buffer the device makes); nothing for
// anything else.
std::optional<PictureSize> ParsePictureSize(std::string_view text);
std::string PictureSizeText(PictureSize size);

// The device is created with a back buffer of `size`, full screen or windowed. A windowed device
// takes its window's client area, so the window is given that size first. The projection stays
// the 4:3 one start-up sets: other shapes stretch the picture.
void UseDevicePicture(PictureSize size, bool windowed);
