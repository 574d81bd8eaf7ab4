// The fatal path: exit status and the standard-error line, with and without a display, and the
// hook that turns the end of the process into an exception for tests and fuzzing.
#include <cstdlib>
#include <stdexcept>

#include <gtest/gtest.h>

#include "base/fatal_error.h"
#include "platform/win/win.h"

namespace {

class BaseFatalDeathTest : public testing::Test {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    zelk4::win::SetMessageBoxesEnabled(false);
  }
};

TEST_F(BaseFatalDeathTest, FatalErrorEndsWithStatusOneAndSaysWhy) {
  EXPECT_EXIT(FatalError("Unable to create a 3d device", "D3D Error"), testing::ExitedWithCode(1),
              "^D3D Error: Unable to create a 3d device\n$");
  // No display: the box is skipped, not waited on.
  EXPECT_EXIT(
      {
        zelk4::win::SetMessageBoxesEnabled(true);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        FatalError("Not a .3ds file", "Error");
      },
      testing::ExitedWithCode(1), "Error: Not a .3ds file");
}

using BaseFatal = BaseFatalDeathTest;

TEST_F(BaseFatal, HookTurnsTheExitIntoAnException) {
  SetFatalErrorHook([](const char* text, const char*) { throw std::runtime_error(text); });
  testing::internal::CaptureStderr();
  EXPECT_THROW(FatalError("Error creating texture", "Texture error"), std::runtime_error);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Texture error: Error creating texture\n");
  SetFatalErrorHook(nullptr);
}

}  // namespace
