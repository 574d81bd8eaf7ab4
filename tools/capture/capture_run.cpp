// The capture run: the program's own StartUp and frame loop, with three things stood in: the
// device presents offscreen, timeGetTime is a clock that the loop steps by whole frames, and
// the music is pulled from the sound system frame by frame instead of playing on a device.
//
// Before frame k is drawn the clock reads t[k] = k * 1000 / F ms (rounded down to whole ms, as
// timeGetTime counts) and the music has been pulled up to t[k], so a row that starts in
// (t[k-1], t[k]] is seen by frame k. The sound handed over with frame k is what plays while it
// is shown, from t[k] to t[k+1].
//
// A capture that starts later runs the frames before its first one in exactly the same way, but
// with the device's drawing suspended and nothing presented: the part's state, the random
// generator and the music reach the first frame as they would in a run from 0.
#include <chrono>

#include "app/app.h"
#include "app/engine_seams.h"
#include "capture.h"
#include "music/music.h"
#include "platform/d3d8/d3d8.h"
#include "platform/sound/fmod.h"
#include "platform/sound/output.h"
#include "platform/win/win.h"

namespace zelk4::capture {
namespace {

using SteadyClock = std::chrono::steady_clock;

struct RunState {
  RunSettings settings;
  const FrameHandler* handler = nullptr;
  RunResult* result = nullptr;
  void (*partFrame)(float) = nullptr;
  uint64_t nowUs = 0;            // the fake clock
  uint64_t samplesPulled = 0;
  uint64_t frame = 0;            // the frame being drawn, or next to be
  bool inLoop = false;
  SteadyClock::time_point loopStart;
  std::vector<int16_t> samples;  // the frame's sound
  SteadyClock::time_point frameStart;
};
RunState state;

uint64_t FrameTimeUs(uint64_t frame) { return frame * 1000000u / state.settings.fps; }

// Steps the clock to frame `frame` and pulls the sound that plays up to that time.
void AdvanceTo(uint64_t frame) {
  state.nowUs = FrameTimeUs(frame);
  const uint64_t target = state.nowUs * kSampleRate / 1000000u;
  const uint64_t count = target - state.samplesPulled;
  state.samples.assign(2 * count, 0);
  if (count > 0) zelk4::sound::Pull(state.samples.data(), count);
  state.samplesPulled = target;
}

void NoteSyncEvent(FMUSIC_MODULE* module, unsigned char param) {
  state.result->syncEvents.push_back({state.frame, FMUSIC_GetTime(module), param});
  OnSyncEvent(module, param);
}

// The part's frame operation, wrapped to note when the frame starts.
void CaptureFrame(float dt) {
  state.frameStart = SteadyClock::now();
  if (!state.inLoop) {
    state.inLoop = true;
    state.loopStart = state.frameStart;
    // The song is playing now; every Zxx it reports is noted before the part sees it.
    FMUSIC_SetZxxCallback(song, NoteSyncEvent);
  }
  const bool drawn = state.frame >= state.settings.firstFrame;
  d3d8::SetDrawingSuspended(!drawn);
  if (drawn && state.frame == state.settings.firstFrame && state.frame > 0 &&
      state.settings.keepPictures) {
    d3d8::PresentOffscreen();
  }
  state.partFrame(dt);
}

// After frame k is presented: its drawing time is noted, the clock and the music move on to
// frame k + 1 (the sound pulled is what plays while frame k is shown), the frame goes to the
// handler, and after the last frame a quit is posted, so the loop ends there.
void AfterPresent() {
  if (!state.inLoop) return;
  const SteadyClock::time_point presented = SteadyClock::now();
  const uint64_t drawn = state.frame++;
  AdvanceTo(state.frame);  // Zxx rows met here are seen by the next frame
  const uint64_t first = state.settings.firstFrame;
  if (drawn < first) {
    if (state.frame == first) {
      state.result->catchUpMs =
          std::chrono::duration<double, std::milli>(SteadyClock::now() - state.loopStart).count();
    }
    return;
  }
  state.result->frameMs.push_back(
      std::chrono::duration<double, std::milli>(presented - state.frameStart).count());
  if (drawn == first) state.result->firstFrameAt = presented;
  static const std::vector<uint32_t> kNoPixels;
  (*state.handler)(drawn,
                   state.settings.keepPictures ? d3d8::LastPresentedFrame().pixels : kNoPixels,
                   state.samples);
  if (state.frame >= first + state.settings.frames) PostQuitMessage(0);
}

uint64_t FakeClockUs() { return state.nowUs; }

}  // namespace

RunResult Run(const RunSettings& settings, const FrameHandler& handler) {
  RunResult result;
  state.settings = settings;
  state.handler = &handler;
  state.result = &result;

  zelk4::win::SetMessageBoxesEnabled(false);
  zelk4::win::UseHeadlessVideo();
  zelk4::win::SetClock([] { return static_cast<DWORD>(state.nowUs / 1000u); });
  zelk4::sound::SetOutput(zelk4::sound::Output::Pull);
  zelk4::sound::SetTimeSource(FakeClockUs);
  // Frames before the first one drawn are presented to nothing.
  if (settings.keepPictures && settings.firstFrame == 0) {
    d3d8::PresentOffscreen();
  } else {
    d3d8::PresentToNothing();
  }

  // The frame loop presents through the engine table; the wrapped present notes each frame.
  static void (*devicePresent)() = nullptr;
  devicePresent = engine.devicePresent;
  engine.devicePresent = [] {
    devicePresent();
    AfterPresent();
  };
  state.partFrame = partTable[0].frame;
  partTable[0].frame = CaptureFrame;

  if (settings.frames > 0) {
    StartUp();
    RunFrameLoop();
    engine.stopMusic();
    d3d8::SetDrawingSuspended(false);
  }
  return result;
}

}  // namespace zelk4::capture
