// Private to the sound library: a loaded song and the real-time output that plays one.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "platform/sound/fmod.h"
#include "platform/sound/module_player.h"
#include "platform/sound/output.h"

struct FMUSIC_MODULE {
  std::vector<uint8_t> bytes;  // kept so that each FMUSIC_PlaySong starts from a fresh player
  std::unique_ptr<zelk4::sound::ModulePlayer> player;
  std::atomic<FMUSIC_CALLBACK> zxxCallback{nullptr};
  std::atomic<uint64_t> audibleFrames{0};  // song time, in frames heard since play started
  bool playing = false;
};

namespace zelk4::sound {

// Microseconds now, from the settable time source.
uint64_t NowMicros();

// The real-time output: an audio device through SDL2, or, without one, a silent clock. A player
// thread renders ahead of what is heard and calls the Zxx callback when a row becomes audible.
class RealTimeOutput {
 public:
  // Opens the device at rate Hz; without one, says so on standard error (once per process) and
  // keeps time silently.
  explicit RealTimeOutput(int32_t rate);
  ~RealTimeOutput();
  RealTimeOutput(const RealTimeOutput&) = delete;
  RealTimeOutput& operator=(const RealTimeOutput&) = delete;

  void Play(FMUSIC_MODULE* song);  // stops any song playing first
  void Stop();
  bool Silent() const { return device_ == 0; }

 private:
  void Run(FMUSIC_MODULE* song);
  uint64_t HeardFrames(uint64_t queuedFrames, uint64_t origin);

  int32_t rate_;
  uint32_t device_ = 0;  // SDL_AudioDeviceID; 0 when running silently
  uint32_t deviceBufferFrames_ = 0;
  bool sdlAudioStarted_ = false;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  // What the device reported last, for a clock that moves between its reports.
  uint64_t lastPlayed_ = 0;
  uint64_t lastPlayedAt_ = 0;
  uint64_t lastHeard_ = 0;
};

}  // namespace zelk4::sound
