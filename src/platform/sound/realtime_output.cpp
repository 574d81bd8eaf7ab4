#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "platform/sound/song.h"

namespace zelk4::sound {
namespace {

// The player thread keeps this much sound queued ahead of the device (about 46 ms at 44100 Hz)
// and looks at the clock about once a millisecond, so callbacks come within a millisecond or so
// of their rows being heard.
constexpr uint64_t kLeadFrames = 2048;
constexpr std::size_t kChunkFrames = 256;
constexpr auto kPollInterval = std::chrono::milliseconds(1);
constexpr uint16_t kDeviceBufferFrames = 1024;

bool silenceReported = false;

}  // namespace

RealTimeOutput::RealTimeOutput(int32_t rate) : rate_(rate) {
  const char* reason = nullptr;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    reason = SDL_GetError();
  } else {
    sdlAudioStarted_ = true;
    SDL_AudioSpec want{};
    SDL_AudioSpec have{};
    want.freq = rate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = kDeviceBufferFrames;
    want.callback = nullptr;  // the player thread queues sound itself
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device_ == 0) {
      reason = SDL_GetError();
    } else {
      deviceBufferFrames_ = have.samples;
      SDL_PauseAudioDevice(device_, 0);
    }
  }
  if (device_ == 0 && !silenceReported) {
    silenceReported = true;
    std::fprintf(stderr, "sound: no audio device (%s); the music runs silently in real time\n",
                 reason && *reason ? reason : "unknown reason");
  }
}

RealTimeOutput::~RealTimeOutput() {
  Stop();
  if (device_ != 0) SDL_CloseAudioDevice(device_);
  if (sdlAudioStarted_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void RealTimeOutput::Play(FMUSIC_MODULE* song) {
  Stop();
  if (device_ != 0) SDL_ClearQueuedAudio(device_);
  lastPlayed_ = lastHeard_ = 0;
  lastPlayedAt_ = NowMicros();
  stop_ = false;
  thread_ = std::thread([this, song] { Run(song); });
}

void RealTimeOutput::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (device_ != 0) SDL_ClearQueuedAudio(device_);
}

// Frames of the song heard so far. The device takes queued sound a buffer at a time and plays
// it over the following buffer period; between its takes the clock runs on in real time, but
// never past what the device holds and never backwards.
uint64_t RealTimeOutput::HeardFrames(uint64_t queuedFrames, uint64_t origin) {
  const uint64_t now = NowMicros();
  if (device_ == 0) {
    const uint64_t elapsed = now > origin ? now - origin : 0;
    return elapsed * static_cast<uint64_t>(rate_) / 1000000u;
  }
  const uint64_t waiting = SDL_GetQueuedAudioSize(device_) / (2 * sizeof(int16_t));
  const uint64_t played = queuedFrames - std::min(waiting, queuedFrames);
  if (played != lastPlayed_) {
    lastPlayed_ = played;
    lastPlayedAt_ = now;
  }
  if (lastPlayed_ == 0) return 0;  // the device has not started on the song yet
  const uint64_t base = lastPlayed_ - std::min<uint64_t>(lastPlayed_, deviceBufferFrames_);
  const uint64_t since = (now - lastPlayedAt_) * static_cast<uint64_t>(rate_) / 1000000u;
  const uint64_t heard = base + std::min<uint64_t>(since, deviceBufferFrames_);
  lastHeard_ = std::max(lastHeard_, heard);
  return lastHeard_;
}

void RealTimeOutput::Run(FMUSIC_MODULE* song) {
  ModulePlayer& player = *song->player;
  std::vector<SyncEvent> pending;  // rendered, not yet heard, in playing order
  std::size_t nextEvent = 0;
  int16_t chunk[2 * kChunkFrames];
  const uint64_t origin = NowMicros();
  const uint64_t startFrame = player.FramesRendered();  // a song started later in its course
  uint64_t queued = 0;
  while (!stop_) {
    const uint64_t heard =
        startFrame + std::min(HeardFrames(queued, origin), player.FramesRendered() - startFrame);
    song->audibleFrames = heard;
    const bool started = device_ == 0 || lastPlayed_ > 0;
    while (started && nextEvent < pending.size() && pending[nextEvent].frame <= heard && !stop_) {
      const SyncEvent event = pending[nextEvent++];
      if (FMUSIC_CALLBACK callback = song->zxxCallback) callback(song, event.param);
    }
    if (nextEvent == pending.size()) {
      pending.clear();
      nextEvent = 0;
    }
    while (player.FramesRendered() < heard + kLeadFrames) {
      player.Render(chunk, kChunkFrames, pending);
      if (device_ != 0) SDL_QueueAudio(device_, chunk, sizeof chunk);
      queued += kChunkFrames;
    }
    std::this_thread::sleep_for(kPollInterval);
  }
}

}  // namespace zelk4::sound
