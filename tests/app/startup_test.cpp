// The whole program against a recording engine: the start-up order, the loop's frames, where a
// quit takes effect, and what runs at shutdown.
#include <string>
#include <vector>

#include "app/app_test_env.h"

namespace {
std::vector<std::string> calls;
int framesBeforeQuit = 0;
std::vector<float> frameTimes;
HWND deviceWindow = nullptr;

void Record(const std::string& call) { calls.push_back(call); }

void RecordingFrame(float dt) {
  Record("frame");
  frameTimes.push_back(dt);
  // The user presses Escape while this frame is drawn.
  if (--framesBeforeQuit == 0) zelk4::test::PushKeyPress(mainWindow, SDLK_ESCAPE);
}

EngineCalls RecordingEngine() {
  EngineCalls e{};
  e.deviceInit = [](HWND window, uint32_t w, uint32_t h, uint8_t windowed) {
    deviceWindow = window;
    Record("init " + std::to_string(w) + "x" + std::to_string(h) + (windowed ? " windowed" : " full screen"));
  };
  e.deviceIsWindowed = [] { return uint8_t{0}; };
  e.deviceSetProjection = [](float n, float f, float fov, float aspect) {
    EXPECT_FLOAT_EQ(n, 0.01f);
    EXPECT_FLOAT_EQ(f, 1000.0f);
    EXPECT_FLOAT_EQ(fov, 0.7853982f);
    EXPECT_FLOAT_EQ(aspect, 1.3333334f);
    Record("projection");
  };
  e.deviceSetView = [](float a, float b, float c, float d, float e2, float f, float roll) {
    EXPECT_EQ(a + b + c + d + e2 + f + roll, 0.0f);
    Record("view");
  };
  e.devicePresent = [] { Record("present"); };
  e.allocateLoadingScreen = [] { Record("allocate loading screen"); };
  e.loadLoadingTexture = [](const char* name) { Record(std::string("load ") + name); };
  e.drawLoadingTexture = [](float x, float y, float size, uint32_t colour) {
    EXPECT_EQ(x, 0.0f);
    EXPECT_EQ(y, 0.0f);
    EXPECT_EQ(size, 2.0f);
    EXPECT_EQ(colour, 0xFFFFFFFFu);
    Record("draw loading");
  };
  e.startMusic = [] { Record("start music"); };
  e.getMusicTime = [](bool& reset) {
    Record(reset ? "music clock (reset)" : "music clock");
    reset = false;
    return int32_t{0};
  };
  e.stopMusic = [] { Record("stop music"); };
  return e;
}

class AppProgram : public zelk4::test::AppSpine {
 protected:
  void SetUp() override {
    AppSpine::SetUp();
    calls.clear();
    frameTimes.clear();
    deviceWindow = nullptr;
    engine = RecordingEngine();
    partTable[0].frame = RecordingFrame;
    partTable[0].resetMusicClock = true;
    partLoader = [] { Record("load part"); };
    DWORD now = 5000;
    zelk4::win::SetClock([now]() mutable { return now += 4; });
  }
};

TEST_F(AppProgram, StartsUpInOrderRunsFramesUntilEscapeAndStopsTheMusic) {
  framesBeforeQuit = 3;
  currentPart = 9;
  EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, 0), 0);

  const std::vector<std::string> expected = {
      "allocate loading screen", "init 640x480 full screen", "projection", "view",
      "load graphics\\loading.png", "draw loading", "present", "draw loading", "present",
      "load part", "start music", "music clock (reset)",
      "frame", "present", "frame", "present",
      "frame", "present",  // the quit arrives during this frame: it is still presented
      "stop music"};
  EXPECT_EQ(calls, expected);
  EXPECT_EQ(deviceWindow, mainWindow);
  EXPECT_EQ(GetCursor(), nullptr);  // hidden for the full-screen device
  EXPECT_EQ(currentPart, 0);
  EXPECT_FALSE(partTable[0].resetMusicClock);
  ASSERT_EQ(frameTimes.size(), 3u);
  EXPECT_LE(frameTimes[0], 4.0f);  // the first frame receives about 0
  EXPECT_FLOAT_EQ(frameTimes[1], 4.0f);
}

TEST_F(AppProgram, NoPartLoaderIsSkipped) {
  framesBeforeQuit = 1;
  partLoader = nullptr;
  EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, 0), 0);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "load part"), 0);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "frame"), 1);
}

TEST_F(AppProgram, NullEngineShowsABlackWindowAndEndsOnTheCloseButton) {
  engine = NullEngineCalls();
  framesBeforeQuit = 0;
  partTable[0].frame = [](float) {
    if (++framesBeforeQuit == 2) zelk4::test::PushCloseButton(mainWindow);
  };
  EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, 0), 0);
  EXPECT_EQ(framesBeforeQuit, 2);
  EXPECT_FALSE(IsWindow(mainWindow));
}
}  // namespace
