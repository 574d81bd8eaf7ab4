// The main window and its messages: what each key and message does, and how the per-frame
// drain treats WM_QUIT.
#include <vector>

#include "app/app_test_env.h"

namespace {
using zelk4::test::AppSpine;
using zelk4::test::PushKeyPress;

std::vector<UINT> dispatched;
uint8_t windowedDevice = 0;

// The program's procedure, watched.
LRESULT WatchedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  dispatched.push_back(message);
  return MainWndProc(window, message, wParam, lParam);
}

class AppMessages : public AppSpine {
 protected:
  void SetUp() override {
    AppSpine::SetUp();
    windowedDevice = 0;
    engine.deviceIsWindowed = [] { return windowedDevice; };
    window_ = CreateMainWindow(640, 480, WatchedProc, "ZELK4");
    ASSERT_NE(window_, nullptr);
    while (PumpMessages()) {
    }
    dispatched.clear();
  }
  HWND window_ = nullptr;
};

TEST_F(AppMessages, MainWindowIsAFocusedVisible640By480Window) {
  EXPECT_EQ(mainWindow, window_);
  EXPECT_EQ(mainAccelerators, nullptr);  // the program carries no accelerator table
  RECT client{};
  ASSERT_TRUE(GetClientRect(window_, &client));
  EXPECT_EQ(client.right, 640);
  EXPECT_EQ(client.bottom, 480);
  EXPECT_TRUE(IsWindowVisible(window_));
  EXPECT_EQ(GetFocus(), window_);
  EXPECT_EQ(GetTopWindow(nullptr), window_);
  EXPECT_STREQ(SDL_GetWindowTitle(zelk4::win::SdlWindowOf(window_)), "ZELK4");
}

TEST_F(AppMessages, EscapeQuitsSpaceResetsThePartOtherKeysDoNothing) {
  currentPart = 5;
  PushKeyPress(window_, SDLK_RETURN);
  PushKeyPress(window_, SDLK_a);
  EXPECT_FALSE(PumpMessages());
  EXPECT_EQ(currentPart, 5);

  PushKeyPress(window_, SDLK_SPACE);
  EXPECT_FALSE(PumpMessages());
  EXPECT_EQ(currentPart, 0);

  PushKeyPress(window_, SDLK_ESCAPE);
  EXPECT_TRUE(PumpMessages());
  EXPECT_TRUE(IsWindow(window_));  // Escape leaves the window alone
  EXPECT_FALSE(PumpMessages());
}

TEST_F(AppMessages, EscapeTwiceQueuesTwoQuitsAndTheFirstEndsTheDrain) {
  PushKeyPress(window_, SDLK_ESCAPE);
  PushKeyPress(window_, SDLK_ESCAPE);
  EXPECT_TRUE(PumpMessages());
  EXPECT_TRUE(PumpMessages());  // the second quit waits for the next drain
  EXPECT_FALSE(PumpMessages());
}

TEST_F(AppMessages, MessagesBeforeTheQuitAreDispatchedThoseAfterItWait) {
  PostMessageA(window_, WM_USER, 0, 0);
  PostQuitMessage(0);
  PostMessageA(window_, WM_USER + 1, 0, 0);
  EXPECT_TRUE(PumpMessages());
  EXPECT_EQ(dispatched, (std::vector<UINT>{WM_USER}));
  EXPECT_FALSE(PumpMessages());
  EXPECT_EQ(dispatched, (std::vector<UINT>{WM_USER, WM_USER + 1}));
}

TEST_F(AppMessages, CloseButtonQuitsWithinTheSameDrain) {
  zelk4::test::PushCloseButton(window_);
  EXPECT_TRUE(PumpMessages());
  EXPECT_EQ(dispatched, (std::vector<UINT>{WM_CLOSE, WM_DESTROY}));
  EXPECT_FALSE(IsWindow(window_));
  EXPECT_FALSE(PumpMessages());  // a pump after the window is gone still answers
}

TEST_F(AppMessages, CursorStaysHiddenOnAFullScreenDevice) {
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  zelk4::test::PushMouseMotion(window_, 10, 10);
  EXPECT_FALSE(PumpMessages());
  EXPECT_EQ(GetCursor(), nullptr);
  EXPECT_EQ(MainWndProc(window_, WM_SETCURSOR, 0, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)), TRUE);
  EXPECT_EQ(GetCursor(), nullptr);

  // A windowed device keeps whatever cursor is set.
  windowedDevice = 1;
  HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
  SetCursor(arrow);
  EXPECT_EQ(MainWndProc(window_, WM_SETCURSOR, 0, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)), TRUE);
  EXPECT_EQ(GetCursor(), arrow);
}

TEST_F(AppMessages, OtherMessagesGetTheDefaultProcessing) {
  EXPECT_EQ(MainWndProc(window_, WM_CREATE, 0, 0), 0);
  EXPECT_EQ(MainWndProc(window_, WM_NCCREATE, 0, 0), TRUE);  // default answer
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
}

using AppWindowDeathTest = AppSpine;

LRESULT PlainProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, m, wp, lp); }

TEST_F(AppWindowDeathTest, FailedClassRegistrationIsFatal) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        zelk4::win::SetMessageBoxesEnabled(false);
        zelk4::win::UseHeadlessVideo();
        WNDCLASSEXA taken{};
        taken.cbSize = sizeof taken;
        taken.lpfnWndProc = PlainProc;
        taken.lpszClassName = "MainLoopEngine";
        RegisterClassExA(&taken);
        CreateMainWindow(640, 480, MainWndProc, "ZELK4");
      },
      testing::ExitedWithCode(1), "Init error: Error registering window class");
}
}  // namespace
