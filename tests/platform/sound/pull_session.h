// Test helpers: the sound library started in pull mode with one song, every Zxx callback
// recorded with the song time it came at, and libopenmpt's own row times as the reference.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/sound/fmod.h"

namespace zelk4::test {

struct HeardSync {
  uint8_t param;
  int timeMs;  // FMUSIC_GetTime during the callback
};

// Starts pull mode, loads bytes and plays them; the destructor frees the song and closes.
class PullSession {
 public:
  explicit PullSession(const std::vector<uint8_t>& bytes);
  ~PullSession();
  PullSession(const PullSession&) = delete;
  PullSession& operator=(const PullSession&) = delete;

  // Pulls frames in blocks of blockFrames (the last one shorter), keeping the sound in samples.
  void Pull(uint64_t frames, std::size_t blockFrames);

  FMUSIC_MODULE* song = nullptr;
  std::vector<HeardSync> heard;
  std::vector<int16_t> samples;  // interleaved stereo, everything pulled
};

// Where each row begins, as libopenmpt plays the module one frame at a time (exact to the
// frame), looping for ever, for the first frames frames at 44100 Hz.
struct RowStart {
  int32_t order;
  int32_t pattern;
  int32_t row;
  uint64_t frame;
};
std::vector<RowStart> ReferenceRowStarts(const std::vector<uint8_t>& bytes, uint64_t frames);

// Milliseconds, rounded down, as the song clock reports a frame.
inline int FrameMs(uint64_t frame) { return static_cast<int>(frame * 1000 / 44100); }

}  // namespace zelk4::test
