// Starting the music (its failures and their boxes), the music clock and the sync values.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "music/music.h"
#include "platform/sound/output.h"
#include "platform/sound/test_songs.h"
#include "platform/win/win.h"
#include "support/corpus.h"

namespace zelk4::test {
namespace {

void ResetSync() {
  syncCamera = 0;
  syncOverlay = 0;
  syncFlash = 0;
  syncRestart = 0;
}

TEST(MusicSync, EachZxxSetsItsValueAndNothingElse) {
  for (int p = 0; p < 256; ++p) {
    SCOPED_TRACE(p);
    ResetSync();
    syncCamera = 99;
    syncOverlay = 99;
    OnSyncEvent(nullptr, static_cast<unsigned char>(p));
    const bool camera = p >= 0x01 && p <= 0x10;
    const bool overlay = p == 0x00 || (p >= 0x11 && p <= 0x20);
    EXPECT_EQ(syncCamera.load(), camera ? static_cast<uint32_t>(p - 1) : 99u);
    EXPECT_EQ(syncOverlay.load(), !overlay ? 99 : p == 0 ? -17 : p - 17);
    EXPECT_EQ(syncFlash.load(), p == 0x21 || p == 0x30 ? 1 : 0);
    EXPECT_EQ(syncRestart.load(), p == 0x30 ? 1 : 0);
  }
  // The demo part uses the overlay's low two bits: Z00 picks the fourth, like Z14 and Z18.
  OnSyncEvent(nullptr, 0x00);
  EXPECT_EQ(syncOverlay.load() & 3, 3);
  OnSyncEvent(nullptr, 0x1D);
  EXPECT_EQ(syncOverlay.load() & 3, 0);
}

TEST(MusicSync, ErrorTextsCoverTheLibrarysCodesAndNoOthers) {
  EXPECT_STREQ(FmodErrorText(FMOD_ERR_NONE), "No errors");
  EXPECT_STREQ(FmodErrorText(FMOD_ERR_BUSY),
               "Cannot call this command after FSOUND_Init.  Call FSOUND_Close first.");
  EXPECT_STREQ(FmodErrorText(FMOD_ERR_MEMORY), "Not enough memory ");
  EXPECT_STREQ(FmodErrorText(FMOD_ERR_MEDIAPLAYER), "Required Mediaplayer codec is not installed");
  EXPECT_STREQ(FmodErrorText(20), "Unknown error");
  EXPECT_STREQ(FmodErrorText(-1), "Unknown error");
}

TEST(MusicSync, ErrorBoxCutsLongTextsAndReturns) {
  win::SetMessageBoxesEnabled(false);
  const std::string longText(300, 'x');
  testing::internal::CaptureStderr();
  ShowFmodError(longText.c_str(), "FMOD error.");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "FMOD error.: " + std::string(255, 'x') + "\n");
}

// A module in memory, handed out the way the archive hands out its files.
std::vector<uint8_t> fetchBytes;
int FetchFromMemory(uint8_t** data, uint32_t* size, const char* name, const char* archivePath,
                    const char* password) {
  if (std::strcmp(name, "sound\\dream1.xm") != 0 || std::strcmp(archivePath, "Data.rar") != 0 ||
      std::strcmp(password, "") != 0) {
    return 0;
  }
  *data = static_cast<uint8_t*>(std::malloc(fetchBytes.size()));
  std::memcpy(*data, fetchBytes.data(), fetchBytes.size());
  *size = static_cast<uint32_t>(fetchBytes.size());
  return 1;
}
int FetchNothing(uint8_t** data, uint32_t* size, const char*, const char*, const char*) {
  *data = nullptr;
  *size = 0;
  return 0;
}

class MusicStart : public testing::Test {
 protected:
  void SetUp() override {
    win::SetMessageBoxesEnabled(false);
    sound::SetOutput(sound::Output::Pull);
    ResetSync();
  }
  void TearDown() override {
    SetModuleFetch(nullptr);
    sound::SetOutput(sound::Output::RealTime);
  }
};

TEST_F(MusicStart, PlaysTheModuleAndTakesTheClockOriginOnce) {
  fetchBytes = TwoRowSyncSong();
  SetModuleFetch(FetchFromMemory);
  StartMusic();
  ASSERT_NE(song, nullptr);
  std::vector<int16_t> block(2 * 4410);
  sound::Pull(block.data(), 4410);  // 100 ms: five passes of the pattern
  EXPECT_EQ(syncCamera.load(), 4u);
  EXPECT_EQ(syncFlash.load(), 1);
  EXPECT_EQ(syncRestart.load(), 1);

  bool resetMusicClock = true;
  EXPECT_EQ(GetMusicTime(resetMusicClock), 0);
  EXPECT_FALSE(resetMusicClock);
  EXPECT_EQ(musicTimeRef, 100);
  sound::Pull(block.data(), 4410);
  EXPECT_EQ(GetMusicTime(resetMusicClock), 100);
  EXPECT_EQ(GetMusicTime(resetMusicClock), 100) << "the origin is not taken again";
  StopMusic();
  EXPECT_EQ(song, nullptr);
}

using MusicStartDeathTest = MusicStart;

TEST_F(MusicStartDeathTest, EachFailureShowsItsBoxAndEndsWithStatus1) {
  sound::OverrideVersion(3.39f);
  EXPECT_EXIT(StartMusic(), testing::ExitedWithCode(1),
              "FMOD error\\.: You are using the wrong DLL version!  You should be using FMOD 3\\.40\n");
  sound::OverrideVersion(0);

  sound::FailNextInit(FMOD_ERR_INIT);
  EXPECT_EXIT(StartMusic(), testing::ExitedWithCode(1),
              "FMOD error\\.: Error initializing output device\\.\n");
  sound::FailNextInit(20);
  EXPECT_EXIT(StartMusic(), testing::ExitedWithCode(1), "FMOD error\\.: Unknown error\n");
  sound::FailNextInit(FMOD_ERR_NONE);

  SetModuleFetch(FetchNothing);
  EXPECT_EXIT(StartMusic(), testing::ExitedWithCode(1),
              "Sound load error: Unable to load module from data file");
  SetModuleFetch(nullptr);  // the archive itself, in a folder without "Data.rar"
  const std::filesystem::path empty = TestOutputDir() / "music-no-archive";
  std::filesystem::create_directories(empty);
  EXPECT_EXIT(
      {
        std::filesystem::current_path(empty);
        StartMusic();
      },
      testing::ExitedWithCode(1), "Sound load error: Unable to load module from data file");

  fetchBytes.assign(1000, 0x42);  // not a module: the load fails, so setting the callback does
  SetModuleFetch(FetchFromMemory);
  EXPECT_EXIT(StartMusic(), testing::ExitedWithCode(1),
              "FMOD error: Unable to set sync\\. call backs");
}

}  // namespace
}  // namespace zelk4::test
