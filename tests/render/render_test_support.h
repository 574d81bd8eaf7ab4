// Helpers for the render and texture tests: a device on the software device's offscreen target,
// data archives written into a private folder, PNG files made from pixels, captured fatal ends.
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "render/render_device.h"
#include "texture/texture.h"

namespace zelk4::test {

// --- fatal ends -----------------------------------------------------------------------------

// Thrown by the fatal-error hook that CaptureFatalErrors installs.
struct FatalEnd : std::runtime_error {
  FatalEnd(std::string t, std::string c)
      : std::runtime_error(c + ": " + t), text(std::move(t)), caption(std::move(c)) {}
  std::string text;
  std::string caption;
};

// Turns FatalError into a FatalEnd exception while alive, so a test can look at the state a
// fatal path leaves behind. Death tests (EXPECT_EXIT) check the real exit.
class CaptureFatalErrors {
 public:
  CaptureFatalErrors();
  ~CaptureFatalErrors();
  CaptureFatalErrors(const CaptureFatalErrors&) = delete;
  CaptureFatalErrors& operator=(const CaptureFatalErrors&) = delete;
};

// --- files ----------------------------------------------------------------------------------

struct ArchiveFile {
  std::string name;  // as the engine asks for it, e.g. "graphics\\loading.png"
  std::vector<uint8_t> data;
};

// An 8-bit RGBA PNG of width x height 0xAARRGGBB pixels, top row first.
std::vector<uint8_t> EncodePng(uint32_t width, uint32_t height,
                               const std::vector<uint32_t>& pixels);

// Writes "Data.rar" (files stored, by the data kit's writer) with the files into a new private folder and makes it the working
// directory, where the engine looks for its archive; the old working directory comes back and
// the folder goes away at destruction. Test binaries running side by side never share a folder.
class ScopedDataArchive {
 public:
  explicit ScopedDataArchive(const std::vector<ArchiveFile>& files);
  ~ScopedDataArchive();
  ScopedDataArchive(const ScopedDataArchive&) = delete;
  ScopedDataArchive& operator=(const ScopedDataArchive&) = delete;

 private:
  std::filesystem::path previous_;
  std::filesystem::path folder_;
};

// --- the device -----------------------------------------------------------------------------

// A full-screen 640x480 RenderDevice on the offscreen target, brought up for each test and
// released after it, with message boxes off and every device control at its start value.
class RenderDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Presents and returns the frame as 0xAARRGGBB words, top row first.
  std::vector<uint32_t> PresentedPicture();
  // Gives back a texture a test made (the engine itself never releases textures).
  static void ReleaseTexture(Texture* texture);

  RenderDevice rd{};
};

// Level `level` of a texture as 0xAARRGGBB words (its own width x height, rows packed).
std::vector<uint32_t> ReadLevel(IDirect3DTexture8* texture, uint32_t level, uint32_t* width,
                                uint32_t* height);

// Writes expected and actual pictures as PNG files into the test output folder, named after
// the running test, and returns where they went (for the failure message).
std::string SavePicturePair(uint32_t width, uint32_t height, const std::vector<uint32_t>& expected,
                            const std::vector<uint32_t>& actual);

// Counts pixels whose red, green or blue differ from the expected ones by more than `tolerance`.
size_t CountDifferentPixels(const std::vector<uint32_t>& expected,
                            const std::vector<uint32_t>& actual, int tolerance);

}  // namespace zelk4::test
