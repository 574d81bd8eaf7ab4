// Comparing two pictures of the same scene: PSNR over the colour channels, the share of pixels
// where some channel differs by more than a few levels, a difference picture, PNG output.
#pragma once

#include <filesystem>
#include <string>

#include "crosscheck/scene.h"

namespace zelk4::crosscheck {

struct Comparison {
  double psnr = 0.0;        // dB over R, G, B; infinity for equal pictures
  double shareOff = 0.0;    // pixels with some channel off by more than `levels`, 0..1
  int largest = 0;          // largest channel difference
  bool sameSize = false;
};

Comparison Compare(const Image& a, const Image& b, int levels);

// The difference, each channel's absolute difference times four, on black.
Image Difference(const Image& a, const Image& b);

// An RGB PNG; false with a message in *error on failure.
bool WritePng(const std::filesystem::path& path, const Image& image, std::string* error);

}  // namespace zelk4::crosscheck
