// The cross-check of one scene: drawn by both renderers, compared, and (when asked) written out
// as NAME-device.png, NAME-gl.png and NAME-diff.png.
#pragma once

#include <filesystem>
#include <string>

#include "crosscheck/compare.h"
#include "crosscheck/renderers.h"
#include "crosscheck/scene.h"

namespace zelk4::crosscheck {

// Pass marks: PSNR of at least kMinPsnr dB and at most kMaxShareOff of the pixels off by more
// than kLevels (one R5G6B5 step is eight levels, so those scenes get twice the levels).
constexpr double kMinPsnr = 40.0;
constexpr double kMaxShareOff = 0.01;
constexpr int kLevels = 8;

struct CheckResult {
  std::string error;  // a renderer that could not be set up
  Image device, gl;
  Comparison comparison;
  int levels = kLevels;
  bool passed = false;
};

CheckResult CheckScene(const Scene& scene, unsigned threads);

// Writes the three PNGs into `folder`; false with a message on failure.
bool WritePictures(const std::filesystem::path& folder, const Scene& scene, const CheckResult& r,
                   std::string* error);

}  // namespace zelk4::crosscheck
