// The options programs add to the demo: the picture's size and a window, counting the frame
// loop's presents, and bringing the part to a later start time.
#include <string>
#include <vector>

#include "app/app_test_env.h"
#include "app/frame_stats.h"
#include "app/launch_options.h"
#include "app/start_time.h"

namespace {

std::vector<std::string> calls;
int framesLeft = 0;
bool deviceWindowed = false;

void Record(const std::string& call) { calls.push_back(call); }

// A recording engine whose device says it is windowed when created so; the part quits after
// framesLeft frames.
EngineCalls RecordingEngine() {
  EngineCalls e = NullEngineCalls();
  e.deviceInit = [](HWND, uint32_t w, uint32_t h, uint8_t windowed) {
    deviceWindowed = windowed != 0;
    Record("init " + std::to_string(w) + "x" + std::to_string(h) + (windowed ? " windowed" : ""));
  };
  e.deviceIsWindowed = [] { return static_cast<uint8_t>(deviceWindowed); };
  e.deviceSetProjection = [](float, float, float, float aspect) {
    Record("aspect " + std::to_string(aspect));
  };
  e.devicePresent = [] { Record("present"); };
  return e;
}

class LaunchOptions : public zelk4::test::AppSpine {
 protected:
  void SetUp() override {
    AppSpine::SetUp();
    calls.clear();
    deviceWindowed = false;
    engine = RecordingEngine();
    partLoader = nullptr;
    partTable[0].frame = [](float) {
      Record("frame");
      if (--framesLeft == 0) PostQuitMessage(0);
    };
  }
};

TEST_F(LaunchOptions, PictureSizesAreWidthByHeightWithinTheDevicesLimits) {
  const auto size = ParsePictureSize("1440x1080");
  ASSERT_TRUE(size);
  EXPECT_EQ(size->width, 1440u);
  EXPECT_EQ(size->height, 1080u);
  EXPECT_EQ(PictureSizeText(*ParsePictureSize("4096X1")), "4096x1");
  for (const char* bad : {"", "640", "0x480", "640x0", "4097x480", "12x", "x12", "12x12x", "-5x5",
                          " 5x5", "5x5 ", "1e3x10", "99999999999x1"}) {
    EXPECT_FALSE(ParsePictureSize(bad)) << bad;
  }
}

TEST_F(LaunchOptions, AWindowedPictureGetsAWindowOfItsSizeAndKeepsTheCursor) {
  UseDevicePicture({800, 600}, /*windowed=*/true);
  framesLeft = 1;
  EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, 0), 0);
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls[0], "init 800x600 windowed");
  EXPECT_EQ(calls[1], "aspect 1.333333");  // the projection stays 4:3
  RECT client{};
  ASSERT_TRUE(GetClientRect(mainWindow, &client));
  EXPECT_EQ(client.right, 800);
  EXPECT_EQ(client.bottom, 600);
  EXPECT_NE(GetCursor(), nullptr);  // only a full-screen device hides it
}

TEST_F(LaunchOptions, AFullScreenPictureOfAnySizeKeepsTheDesignedWindow) {
  UseDevicePicture({1920, 1080}, /*windowed=*/false);
  framesLeft = 1;
  EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, 0), 0);
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls[0], "init 1920x1080");
  EXPECT_EQ(calls[1], "aspect 1.333333");
  RECT client{};
  ASSERT_TRUE(GetClientRect(mainWindow, &client));
  EXPECT_EQ(client.right, 640);
  EXPECT_EQ(GetCursor(), nullptr);
}

TEST_F(LaunchOptions, FrameCountingLeavesOutTheLoadingScreen) {
  CountFrames();
  framesLeft = 3;
  EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, 0), 0);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "present"), 5);  // two of the loading screen
  const FrameStats stats = CountedFrames();
  EXPECT_EQ(stats.framesPresented, 3u);
  EXPECT_GE(stats.seconds, 0.0);
  char text[200];
  std::FILE* out = fmemopen(text, sizeof text, "w");
  PrintFrameStats(out, {120, 2.0, 0.5});
  std::fclose(out);
  EXPECT_STREQ(text, "zelk4: 120 frames presented in 2.00 s: 60.0 frames per second, 25.0 % of "
                     "one processor core\n");
}

// The part is run at the frames of a 60 Hz display before the start time, each row given to it
// before the first frame at or after the row's time, as a run from 0 would.
TEST_F(LaunchOptions, CatchingUpRunsTheFramesBeforeTheStartWithTheRowsInBetween) {
  static std::vector<std::string> log;
  log.clear();
  const std::vector<zelk4::sound::PassedSyncEvent> rows = {{0, 0x01}, {10, 0x21}, {40, 0x30}, {990, 0x12}};
  CatchUp(
      1000, rows, [](float dt) { log.push_back("frame " + std::to_string(static_cast<int>(dt))); },
      [](uint8_t param) { log.push_back("Z" + std::to_string(param)); });
  ASSERT_EQ(std::count_if(log.begin(), log.end(), [](const std::string& s) { return s[0] == 'f'; }), 60);
  const std::vector<std::string> start(log.begin(), log.begin() + 7);
  // Frames at 0, 16, 33 and 50 ms: the row at 10 ms is seen by the second, the one at 40 ms by
  // the fourth.
  EXPECT_EQ(start, (std::vector<std::string>{"Z1", "frame 0", "Z33", "frame 16", "frame 17", "Z48",
                                             "frame 17"}));
  EXPECT_EQ(log.back(), "Z18");  // after the last frame (983 ms): the first live frame sees it
  EXPECT_EQ(log[log.size() - 2], "frame 17");
  static int frames = 0;
  frames = 0;
  CatchUp(0, rows, [](float) { ++frames; }, [](uint8_t) {});
  EXPECT_EQ(frames, 0);

  EXPECT_NE(StartTimeProblem(-0.5, 84.0).find("before the music's start"), std::string::npos);
  EXPECT_NE(StartTimeProblem(84.0, 84.0).find("past the end"), std::string::npos);
  EXPECT_EQ(StartTimeProblem(83.9, 84.0), "");
}

}  // namespace
