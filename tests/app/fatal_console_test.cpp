// The fatal path and the debug console: exit status, the standard-error line, cut texts, and a
// wait for a key that ends on input or on the end of input.
#include <unistd.h>

#include <cstdio>
#include <stdexcept>
#include <string>

#include "app/debug_console.h"
#include "base/fatal_error.h"
#include "platform/win/win.h"
#include <gtest/gtest.h>

namespace {

class AppFatalDeathTest : public testing::Test {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    win::SetMessageBoxesEnabled(false);
  }
};

TEST_F(AppFatalDeathTest, FatalErrorEndsWithStatusOneAndSaysWhy) {
  EXPECT_EXIT(FatalError("Unable to create a 3d device", "D3D Error"), testing::ExitedWithCode(1),
              "^D3D Error: Unable to create a 3d device\n$");
  // No display: the box is skipped, not waited on.
  EXPECT_EXIT(
      {
        win::SetMessageBoxesEnabled(true);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        FatalError("Not a .3ds file", "Error");
      },
      testing::ExitedWithCode(1), "Error: Not a .3ds file");
}

using AppFatal = AppFatalDeathTest;

TEST_F(AppFatal, HookTurnsTheExitIntoAnException) {
  SetFatalErrorHook([](const char* text, const char*) { throw std::runtime_error(text); });
  testing::internal::CaptureStderr();
  EXPECT_THROW(FatalError("Error creating texture", "Texture error"), std::runtime_error);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Texture error: Error creating texture\n");
  SetFatalErrorHook(nullptr);
}

TEST_F(AppFatal, FmodErrorBoxCutsLongTextsAndReturns) {
  const std::string longText(300, 'x');
  testing::internal::CaptureStderr();
  ShowFmodError(longText.c_str(), "FMOD error.");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "FMOD error.: " + std::string(255, 'x') + "\n");
}

TEST_F(AppFatal, ConsolePrintsOnlyOnceOpenAndCutsLongTexts) {
  testing::internal::CaptureStdout();
  ConsolePrint("before %d", 1);
  EXPECT_NE(ConsoleOpen(), nullptr);
  EXPECT_EQ(ConsoleOpen(), ConsoleOpen());
  ConsolePrint("meshes: %d, name %s\n", 12, "vw");
  ConsolePrint("%s", std::string(5000, 'y').c_str());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "meshes: 12, name vw\n" + std::string(4095, 'y'));
}

TEST_F(AppFatalDeathTest, ConsoleFatalWaitsForAKeyThenEndsWithStatusOne) {
  // Standard output goes to standard error here, so the death test sees the console text.
  EXPECT_EXIT(
      {
        int fds[2];
        if (pipe(fds) != 0) std::_Exit(9);
        if (write(fds[1], "\n", 1) != 1) std::_Exit(9);
        dup2(fds[0], STDIN_FILENO);
        dup2(STDERR_FILENO, STDOUT_FILENO);
        ConsoleFatal("bad chunk %04x", 0x4d4d);
      },
      testing::ExitedWithCode(1), "bad chunk 4d4d");
  // A closed input ends the wait as a key would.
  EXPECT_EXIT(
      {
        std::freopen("/dev/null", "r", stdin);
        dup2(STDERR_FILENO, STDOUT_FILENO);
        ConsoleFatal("no keyboard");
      },
      testing::ExitedWithCode(1), "no keyboard");
}
}  // namespace
