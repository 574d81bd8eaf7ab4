// zelk4-capture: the demo's real start-up and frame loop on the software device's offscreen
// target, with a clock that steps exactly 1000/F ms per frame and the music pulled in step, so
// every run draws the same frames with the sync events on the same frames.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace zelk4::capture {

constexpr int32_t kSampleRate = 44100;  // the rate the music starts its sound system with

// A Zxx command as the frame operation met it: the frame that first saw it, the song time of
// its row, and xx.
struct SeenSyncEvent {
  uint64_t frame;
  int32_t rowTimeMs;
  uint8_t param;
};

struct RunSettings {
  uint64_t firstFrame = 0;  // frames before it are run without drawing, as a run from 0 runs them
  uint64_t frames = 0;      // drawn from firstFrame on
  uint32_t fps = 30;
  bool keepPictures = true;  // false: frames are drawn and dropped (benchmark)
};

// Called once per drawn frame, in order: the frame's index (counted from the demo's start), its
// 0xAARRGGBB pixels at the device's size (empty when pictures are not kept), and the 16-bit
// stereo samples that play while it is shown.
using FrameHandler = std::function<void(uint64_t index, const std::vector<uint32_t>& pixels,
                                        const std::vector<int16_t>& samples)>;

struct RunResult {
  std::chrono::steady_clock::time_point firstFrameAt;  // when the first frame was presented
  double catchUpMs = 0;  // wall time of the frames before firstFrame, music included
  std::vector<double> frameMs;       // wall time of each frame's drawing and present
  std::vector<SeenSyncEvent> syncEvents;
};

// Runs StartUp and the frame loop up to frame firstFrame + frames; Data.rar is read from the
// working directory. Every failure inside the engine ends the process with its fatal message. Once per
// process.
RunResult Run(const RunSettings& settings, const FrameHandler& handler);

// --- pictures and sound out -----------------------------------------------------------------

// An 8-bit RGB (alpha dropped) PNG of 0xAARRGGBB pixels; false with a reason on failure.
bool WritePng(const std::string& path, uint32_t width, uint32_t height,
              const std::vector<uint32_t>& pixels, std::string* error);

// 16 frames (width x height) evenly spread over a run of `total` frames counted from 0, each
// shrunk to a quarter, in a 4x4 grid.
class ContactSheet {
 public:
  ContactSheet(uint64_t total, uint32_t width, uint32_t height);
  bool Wants(uint64_t index) const;
  void Add(uint64_t index, const std::vector<uint32_t>& pixels);
  bool Write(const std::string& path, std::string* error) const;

 private:
  uint64_t slotFrame_[16];
  uint32_t frameWidth_, frameHeight_;
  std::vector<uint32_t> sheet_;
};

// A 16-bit stereo PCM WAV written as it grows; the header is completed by Finish.
class WavWriter {
 public:
  bool Open(const std::string& path, std::string* error);
  void Append(const std::vector<int16_t>& samples);
  bool Finish(std::string* error);

 private:
  std::FILE* file_ = nullptr;
  uint64_t frames_ = 0;
};

// The lowercase hex SHA-256 of a frame's pixels.
std::string PixelHash(const std::vector<uint32_t>& pixels);

}  // namespace zelk4::capture
