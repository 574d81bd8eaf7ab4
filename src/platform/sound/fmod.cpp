// The sound library's calls over ModulePlayer. Its state is the one global below.
#include "platform/sound/fmod.h"

#include <algorithm>
#include <chrono>
#include <memory>

#include "platform/sound/output.h"
#include "platform/sound/song.h"

namespace {

constexpr float kVersion = 3.40f;
constexpr int kMinRate = 8000;
constexpr int kMaxRate = 192000;
constexpr int kMaxChannels = 1024;

struct SoundSystem {
  bool started = false;
  int error = FMOD_ERR_NONE;
  int32_t rate = 44100;
  zelk4::sound::Output output = zelk4::sound::Output::RealTime;
  std::unique_ptr<zelk4::sound::RealTimeOutput> realTime;
  FMUSIC_MODULE* playing = nullptr;
  uint64_t pulledFrames = 0;  // pull mode: frames of the playing song handed out
  zelk4::sound::TimeSource timeSource = nullptr;
  int32_t startMs = 0;  // where songs start playing
  zelk4::sound::PassedSyncEvents passed = nullptr;
  float versionOverride = 0.0f;
  int failNextInit = FMOD_ERR_NONE;
};

SoundSystem soundSystem;

bool Fail(int error) {
  soundSystem.error = error;
  return false;
}

bool Succeed() {
  soundSystem.error = FMOD_ERR_NONE;
  return true;
}

// Renders the song silently up to ms, handing the Zxx rows passed on the way to the seam.
void SkipTo(FMUSIC_MODULE* song, int32_t ms) {
  zelk4::sound::ModulePlayer& player = *song->player;
  const uint64_t target = static_cast<uint64_t>(ms) * static_cast<uint64_t>(player.Rate()) / 1000u;
  std::vector<zelk4::sound::SyncEvent> events;
  while (player.FramesRendered() < target && !player.Ended()) {
    player.Render(nullptr, std::min<uint64_t>(target - player.FramesRendered(), 4096), events);
  }
  song->audibleFrames = player.FramesRendered();
  if (!soundSystem.passed) return;
  std::vector<zelk4::sound::PassedSyncEvent> passed;
  passed.reserve(events.size());
  for (const zelk4::sound::SyncEvent& e : events) {
    passed.push_back({static_cast<int32_t>(e.frame * 1000u / static_cast<uint64_t>(player.Rate())), e.param});
  }
  soundSystem.passed(passed);
}

void StopPlaying(FMUSIC_MODULE* song) {
  if (!song->playing) return;
  if (soundSystem.realTime) soundSystem.realTime->Stop();
  song->playing = false;
  if (soundSystem.playing == song) soundSystem.playing = nullptr;
}

}  // namespace

namespace zelk4::sound {

uint64_t NowMicros() {
  if (soundSystem.timeSource) return soundSystem.timeSource();
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

bool SetOutput(Output output) {
  if (soundSystem.started) return false;
  soundSystem.output = output;
  return true;
}

bool UsingSilentClock() { return soundSystem.realTime && soundSystem.realTime->Silent(); }

std::size_t Pull(int16_t* out, std::size_t frames) {
  if (!soundSystem.started || soundSystem.output != Output::Pull || !out) return 0;
  FMUSIC_MODULE* song = soundSystem.playing;
  if (!song) {
    std::fill(out, out + 2 * frames, int16_t{0});
    return frames;
  }
  std::vector<SyncEvent> events;
  song->player->Render(out, frames, events);
  // The caller hears these frames now; each row's callback sees the song time of its row.
  for (const SyncEvent& event : events) {
    song->audibleFrames = event.frame;
    if (FMUSIC_CALLBACK callback = song->zxxCallback) callback(song, event.param);
  }
  song->audibleFrames = song->player->FramesRendered();
  return frames;
}

void SetTimeSource(TimeSource source) { soundSystem.timeSource = source; }

void StartSongsAt(int32_t ms, PassedSyncEvents passed) {
  soundSystem.startMs = ms > 0 ? ms : 0;
  soundSystem.passed = passed;
}

void OverrideVersion(float version) { soundSystem.versionOverride = version; }

void FailNextInit(int errorCode) { soundSystem.failNextInit = errorCode; }

}  // namespace zelk4::sound

float FSOUND_GetVersion() {
  return soundSystem.versionOverride > 0.0f ? soundSystem.versionOverride : kVersion;
}

signed char FSOUND_Init(int mixrate, int maxsoftwarechannels, unsigned int /*flags*/) {
  if (soundSystem.failNextInit != FMOD_ERR_NONE) {
    const int error = soundSystem.failNextInit;
    soundSystem.failNextInit = FMOD_ERR_NONE;
    return Fail(error);
  }
  if (soundSystem.started) return Fail(FMOD_ERR_BUSY);
  if (mixrate < kMinRate || mixrate > kMaxRate) return Fail(FMOD_ERR_INVALID_PARAM);
  if (maxsoftwarechannels < 0 || maxsoftwarechannels > kMaxChannels) {
    return Fail(FMOD_ERR_INVALID_PARAM);
  }
  soundSystem.rate = mixrate;
  if (soundSystem.output == zelk4::sound::Output::RealTime) {
    soundSystem.realTime = std::make_unique<zelk4::sound::RealTimeOutput>(mixrate);
  }
  soundSystem.started = true;
  return Succeed();
}

int FSOUND_GetError() { return soundSystem.error; }

void FSOUND_Close() {
  if (soundSystem.playing) StopPlaying(soundSystem.playing);
  soundSystem.realTime.reset();
  soundSystem.started = false;
  Succeed();
}

FMUSIC_MODULE* FMUSIC_LoadSongMemory(void* data, int length) {
  if (!soundSystem.started) {
    Fail(FMOD_ERR_UNINITIALIZED);
    return nullptr;
  }
  if (!data || length <= 0) {
    Fail(FMOD_ERR_INVALID_PARAM);
    return nullptr;
  }
  auto song = std::make_unique<FMUSIC_MODULE>();
  const auto* bytes = static_cast<const uint8_t*>(data);
  song->bytes.assign(bytes, bytes + length);
  song->player = zelk4::sound::ModulePlayer::Load(song->bytes.data(), song->bytes.size(),
                                           soundSystem.rate, /*loop=*/true);
  if (!song->player) {
    Fail(FMOD_ERR_FILE_FORMAT);
    return nullptr;
  }
  Succeed();
  return song.release();
}

signed char FMUSIC_SetZxxCallback(FMUSIC_MODULE* mod, FMUSIC_CALLBACK callback) {
  if (!mod) return Fail(FMOD_ERR_INVALID_PARAM);
  mod->zxxCallback = callback;
  return Succeed();
}

signed char FMUSIC_PlaySong(FMUSIC_MODULE* mod) {
  if (!mod) return Fail(FMOD_ERR_INVALID_PARAM);
  if (!soundSystem.started) return Fail(FMOD_ERR_UNINITIALIZED);
  if (soundSystem.playing) StopPlaying(soundSystem.playing);
  // A song played before starts again from a fresh player, as from its first row.
  if (mod->player->FramesRendered() > 0 || mod->player->Rate() != soundSystem.rate) {
    mod->player = zelk4::sound::ModulePlayer::Load(mod->bytes.data(), mod->bytes.size(),
                                            soundSystem.rate, /*loop=*/true);
    if (!mod->player) return Fail(FMOD_ERR_PLAY);
  }
  mod->audibleFrames = 0;
  if (soundSystem.startMs > 0) SkipTo(mod, soundSystem.startMs);
  mod->playing = true;
  soundSystem.playing = mod;
  if (soundSystem.realTime) soundSystem.realTime->Play(mod);
  return Succeed();
}

int FMUSIC_GetTime(FMUSIC_MODULE* mod) {
  if (!mod) {
    Fail(FMOD_ERR_INVALID_PARAM);
    return -1;
  }
  Succeed();
  const int32_t rate = mod->player ? mod->player->Rate() : soundSystem.rate;
  return static_cast<int>(mod->audibleFrames.load() * 1000u / static_cast<uint64_t>(rate));
}

signed char FMUSIC_StopSong(FMUSIC_MODULE* mod) {
  if (!mod) return Fail(FMOD_ERR_INVALID_PARAM);
  StopPlaying(mod);
  return Succeed();
}

signed char FMUSIC_FreeSong(FMUSIC_MODULE* mod) {
  if (!mod) return Fail(FMOD_ERR_INVALID_PARAM);
  StopPlaying(mod);
  delete mod;
  return Succeed();
}
