// The debug console: cut texts, and a wait for a key that ends on input or on the end of input.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "app/debug_console.h"
#include "platform/win/win.h"
#include <gtest/gtest.h>

namespace {

class AppConsoleDeathTest : public testing::Test {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    zelk4::win::SetMessageBoxesEnabled(false);
  }
};

using AppConsole = AppConsoleDeathTest;

TEST_F(AppConsole, ConsolePrintsOnlyOnceOpenAndCutsLongTexts) {
  testing::internal::CaptureStdout();
  ConsolePrint("before %d", 1);
  EXPECT_NE(ConsoleOpen(), nullptr);
  EXPECT_EQ(ConsoleOpen(), ConsoleOpen());
  ConsolePrint("meshes: %d, name %s\n", 12, "vw");
  ConsolePrint("%s", std::string(5000, 'y').c_str());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "meshes: 12, name vw\n" + std::string(4095, 'y'));
}

TEST_F(AppConsoleDeathTest, ConsoleFatalWaitsForAKeyThenEndsWithStatusOne) {
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
