// The sound library's calls: their results and error codes, the song clock in pull mode, and
// the silent real-time clock that stands in for a missing audio device.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/sound/output.h"
#include "platform/sound/pull_session.h"
#include "platform/sound/test_songs.h"

namespace zelk4::test {
namespace {

TEST(SoundLibrary, CallsFailWithTheLibrarysErrorCodes) {
  EXPECT_GE(FSOUND_GetVersion(), 3.4f);
  std::vector<uint8_t> bytes = TwoRowSyncSong();
  EXPECT_EQ(FMUSIC_LoadSongMemory(bytes.data(), static_cast<int>(bytes.size())), nullptr);
  EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_UNINITIALIZED);

  ASSERT_TRUE(sound::SetOutput(sound::Output::Pull));
  EXPECT_FALSE(FSOUND_Init(44100, 5000, 0));
  EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_INVALID_PARAM);
  ASSERT_TRUE(FSOUND_Init(44100, 32, FSOUND_INIT_GLOBALFOCUS));
  EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_NONE);
  EXPECT_FALSE(FSOUND_Init(44100, 32, 0));
  EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_BUSY);
  EXPECT_FALSE(sound::SetOutput(sound::Output::RealTime)) << "output cannot change once started";

  std::vector<uint8_t> junk(600, 0x55);
  EXPECT_EQ(FMUSIC_LoadSongMemory(junk.data(), static_cast<int>(junk.size())), nullptr);
  EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_FILE_FORMAT);
  EXPECT_EQ(FMUSIC_LoadSongMemory(bytes.data(), 0), nullptr);
  EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_INVALID_PARAM);
  // What StartMusic meets after a failed load: the callback cannot be set on no song.
  EXPECT_FALSE(FMUSIC_SetZxxCallback(nullptr, nullptr));
  EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_INVALID_PARAM);
  EXPECT_FALSE(FMUSIC_PlaySong(nullptr));
  EXPECT_EQ(FMUSIC_GetTime(nullptr), -1);

  sound::FailNextInit(42);  // the seam that lets the music code meet an unknown code
  FSOUND_Close();
  EXPECT_FALSE(FSOUND_Init(44100, 32, 0));
  EXPECT_EQ(FSOUND_GetError(), 42);
  EXPECT_TRUE(FSOUND_Init(44100, 32, 0));
  FSOUND_Close();
  sound::SetOutput(sound::Output::RealTime);
}

TEST(SoundLibrary, SongClockFollowsPulledFramesStopsAndRestarts) {
  PullSession session(TwoRowSyncSong());
  EXPECT_EQ(FMUSIC_GetTime(session.song), 0);
  session.Pull(44100 / 2, 441);
  EXPECT_EQ(FMUSIC_GetTime(session.song), 500);
  // The song loops every 40 ms: Z05 at 0, 40, ..., 480 ms and Z30 20 ms after each.
  ASSERT_EQ(session.heard.size(), 25u);
  EXPECT_EQ(session.heard[0].param, 0x05);
  EXPECT_EQ(session.heard[0].timeMs, 0);
  EXPECT_EQ(session.heard[23].param, 0x30);
  EXPECT_NEAR(session.heard[23].timeMs, 11 * 40 + 20, 1);
  EXPECT_EQ(session.heard[24].param, 0x05);
  EXPECT_NEAR(session.heard[24].timeMs, 12 * 40, 1);

  // A stopped song is silent and its clock stands still; playing it again starts it afresh.
  ASSERT_TRUE(FMUSIC_StopSong(session.song));
  std::vector<int16_t> block(2 * 1000, 7);
  ASSERT_EQ(sound::Pull(block.data(), 1000), 1000u);
  EXPECT_EQ(block, std::vector<int16_t>(2 * 1000, 0));
  EXPECT_EQ(FMUSIC_GetTime(session.song), 500);
  session.heard.clear();
  ASSERT_TRUE(FMUSIC_PlaySong(session.song));
  EXPECT_EQ(FMUSIC_GetTime(session.song), 0);
  session.Pull(441, 441);
  ASSERT_EQ(session.heard.size(), 1u);
  EXPECT_EQ(session.heard[0].param, 0x05);
}

// The real-time output without an audio device: a clock of the caller's choosing drives the
// song and the callbacks come on the player's thread as their rows are reached.
std::atomic<uint64_t> fakeMicros{0};
std::atomic<int> silentCalls{0};
std::atomic<int> lastSilentParam{-1};

TEST(SoundRealTime, WithoutADeviceASilentClockRunsTheSong) {
  setenv("SDL_AUDIODRIVER", "zelk4-no-such-driver", 1);
  sound::SetTimeSource([] { return fakeMicros.load(); });
  ASSERT_TRUE(sound::SetOutput(sound::Output::RealTime));
  testing::internal::CaptureStderr();
  ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(sound::UsingSilentClock());
  EXPECT_NE(said.find("no audio device"), std::string::npos) << said;

  std::vector<uint8_t> bytes = TwoRowSyncSong();
  FMUSIC_MODULE* mod = FMUSIC_LoadSongMemory(bytes.data(), static_cast<int>(bytes.size()));
  ASSERT_NE(mod, nullptr);
  FMUSIC_SetZxxCallback(mod, [](FMUSIC_MODULE*, unsigned char param) {
    lastSilentParam = param;
    ++silentCalls;
  });
  ASSERT_TRUE(FMUSIC_PlaySong(mod));
  // Waits (without a time limit of its own; CTest's timeout catches a hang) for the thread.
  auto waitFor = [](auto done) {
    while (!done()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  };
  waitFor([] { return silentCalls.load() == 1; });
  EXPECT_EQ(lastSilentParam.load(), 0x05);
  EXPECT_EQ(FMUSIC_GetTime(mod), 0);
  fakeMicros += 30000;  // 30 ms: past the second row (20 ms), before the loop (40 ms)
  waitFor([&] { return FMUSIC_GetTime(mod) == 30; });
  waitFor([] { return silentCalls.load() == 2; });
  EXPECT_EQ(lastSilentParam.load(), 0x30);

  FMUSIC_StopSong(mod);
  FMUSIC_FreeSong(mod);
  FSOUND_Close();
  sound::SetTimeSource(nullptr);
  unsetenv("SDL_AUDIODRIVER");
}

// SDL's dummy driver stands in for a sound card: it takes sound at the real rate and plays it
// nowhere. The callbacks keep the song's order, none missed or doubled, and the clock only
// moves forward.
std::atomic<int> deviceCalls{0};
std::atomic<bool> deviceOrderKept{true};
std::atomic<int> deviceLastParam{0x30};

TEST(SoundRealTime, OnADeviceCallbacksComeInTheSongsOrder) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  ASSERT_TRUE(sound::SetOutput(sound::Output::RealTime));
  ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
  if (sound::UsingSilentClock()) {
    FSOUND_Close();
    unsetenv("SDL_AUDIODRIVER");
    GTEST_SKIP() << "SDL has no dummy audio driver here";
  }
  std::vector<uint8_t> bytes = TwoRowSyncSong();
  FMUSIC_MODULE* mod = FMUSIC_LoadSongMemory(bytes.data(), static_cast<int>(bytes.size()));
  ASSERT_NE(mod, nullptr);
  FMUSIC_SetZxxCallback(mod, [](FMUSIC_MODULE*, unsigned char param) {
    if (param == deviceLastParam.load()) deviceOrderKept = false;
    deviceLastParam = param;
    ++deviceCalls;
  });
  ASSERT_TRUE(FMUSIC_PlaySong(mod));
  int lastTime = 0;
  while (deviceCalls.load() < 8) {
    const int now = FMUSIC_GetTime(mod);
    EXPECT_GE(now, lastTime);
    lastTime = now;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_TRUE(deviceOrderKept.load());
  FMUSIC_FreeSong(mod);
  FSOUND_Close();
  unsetenv("SDL_AUDIODRIVER");
}

}  // namespace
}  // namespace zelk4::test
