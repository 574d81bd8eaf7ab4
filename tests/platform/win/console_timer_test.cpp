// The console over the standard streams, and the injectable timer.
#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/win/win.h"
#include <gtest/gtest.h>

namespace {

// Standard input replaced by a pipe for one case; the write end stays with the test.
class PipedInput {
 public:
  PipedInput() {
    saved_ = dup(STDIN_FILENO);
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    dup2(fds[0], STDIN_FILENO);
    close(fds[0]);
    writeEnd_ = fds[1];
  }
  ~PipedInput() {
    CloseWriter();
    dup2(saved_, STDIN_FILENO);
    close(saved_);
  }
  void Write(const char* text) { EXPECT_EQ(write(writeEnd_, text, std::strlen(text)), static_cast<ssize_t>(std::strlen(text))); }
  void CloseWriter() {
    if (writeEnd_ >= 0) close(writeEnd_);
    writeEnd_ = -1;
  }

 private:
  int saved_ = -1;
  int writeEnd_ = -1;
};

DWORD Events(HANDLE input) {
  DWORD count = 99;
  EXPECT_TRUE(GetNumberOfConsoleInputEvents(input, &count));
  return count;
}

TEST(WinConsole, InputEventsCountWaitingInputAndTheEndOfInput) {
  PipedInput piped;
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  EXPECT_EQ(Events(input), 0u);  // nothing typed: answers at once
  piped.Write("ab\n");
  EXPECT_TRUE(FlushConsoleInputBuffer(input));  // piped input is not typed-ahead: kept
  EXPECT_EQ(Events(input), 3u);
  char drain[8];
  EXPECT_EQ(read(STDIN_FILENO, drain, sizeof drain), 3);
  EXPECT_EQ(Events(input), 0u);
  piped.CloseWriter();
  EXPECT_EQ(Events(input), 1u);  // the end of the input counts, so a wait cannot hang

  DWORD count = 0;
  EXPECT_FALSE(GetNumberOfConsoleInputEvents(INVALID_HANDLE_VALUE, &count));
  EXPECT_FALSE(FlushConsoleInputBuffer(nullptr));
}

TEST(WinConsole, WritesGoToStandardOutput) {
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  EXPECT_EQ(GetStdHandle(12345), INVALID_HANDLE_VALUE);
  testing::internal::CaptureStdout();
  DWORD written = 0;
  EXPECT_TRUE(WriteConsoleA(output, "hello", 5, &written, nullptr));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "hello");
  EXPECT_EQ(written, 5u);
  EXPECT_FALSE(WriteConsoleA(INVALID_HANDLE_VALUE, "x", 1, &written, nullptr));
  EXPECT_EQ(written, 0u);
}

TEST(WinTimer, InjectedClockReplacesTheSystemClockUntilCleared) {
  DWORD fake = 0xFFFFFFF0u;
  zelk4::win::SetClock([&fake] { return fake += 0x10; });
  EXPECT_EQ(timeGetTime(), 0u);  // wraps at 2^32
  EXPECT_EQ(timeGetTime(), 0x10u);
  zelk4::win::SetClock(nullptr);
  const DWORD a = timeGetTime();
  const DWORD b = timeGetTime();
  EXPECT_LE(static_cast<DWORD>(b - a), 1000u);  // the system clock again: never runs backwards
}

}  // namespace
