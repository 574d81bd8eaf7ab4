// Pacing of the window target against a fake clock: the sleeps it asks for are recorded, and the
// "display" is a function of when presents are handed to it.
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "platform/d3d8/present_pacer.h"

namespace {

using zelk4::d3d8::PresentPacer;

// A program that draws for `workMicros` and then presents, over a fake clock. A display that
// waits holds each present until the next tick of its own 60 Hz retrace.
struct FakeProgram {
  uint64_t now = 1'000'000;
  std::vector<uint64_t> sleeps;
  std::vector<uint64_t> presentedAt;  // when each present returned, after any sleep

  zelk4::d3d8::PacerClock Clock() {
    return {[this] { return now; }, [this](uint64_t micros) {
              sleeps.push_back(micros);
              now += micros;
            }};
  }
  void Run(PresentPacer& pacer, int frames, uint64_t workMicros, bool displayWaits = false) {
    for (int i = 0; i < frames; ++i) {
      now += workMicros;
      if (displayWaits) now = (now / 16667 + 1) * 16667;
      pacer.Presented();
      presentedAt.push_back(now);
    }
  }
  double Rate(size_t from) const {
    return static_cast<double>(presentedAt.size() - 1 - from) * 1e6 /
           static_cast<double>(presentedAt.back() - presentedAt[from]);
  }
};

TEST(PresentPacer, WithoutTheDisplaysOwnWaitTheTimerHoldsFastFramesToTheRefreshRate) {
  FakeProgram program;
  PresentPacer pacer(60, /*displayMayWait=*/false, program.Clock());
  program.Run(pacer, 601, 5000);
  EXPECT_TRUE(pacer.TimerPaces());
  EXPECT_NEAR(program.Rate(0), 60.0, 0.01);  // the grid does not drift over ten seconds
  ASSERT_EQ(program.sleeps.size(), 600u);    // every present after the first one waits
  for (uint64_t s : program.sleeps) EXPECT_NEAR(static_cast<double>(s), 16667 - 5000, 1.0);
}

TEST(PresentPacer, ALateFrameIsNotFollowedByABurstOfUnpacedOnes) {
  FakeProgram program;
  PresentPacer pacer(60, false, program.Clock());
  program.Run(pacer, 10, 4000);
  program.Run(pacer, 1, 100'000);  // a stall of six frames
  const size_t before = program.sleeps.size();
  program.Run(pacer, 10, 4000);
  // Every frame after the stall still waits its full share: no catching up at full speed.
  ASSERT_EQ(program.sleeps.size(), before + 10);
  for (size_t i = before; i < program.sleeps.size(); ++i) {
    EXPECT_NEAR(static_cast<double>(program.sleeps[i]), 16667 - 4000, 1.0);
  }
}

TEST(PresentPacer, ADisplayThatWaitsForItsRetraceIsLeftToDoSo) {
  FakeProgram program;
  PresentPacer pacer(60, /*displayMayWait=*/true, program.Clock());
  program.Run(pacer, 300, 5000, /*displayWaits=*/true);
  EXPECT_FALSE(pacer.TimerPaces());
  EXPECT_TRUE(program.sleeps.empty());
  EXPECT_NEAR(program.Rate(0), 60.0, 0.05);
}

TEST(PresentPacer, ADisplayThatIgnoresTheRequestIsPacedByTheTimerAfterTheTrial) {
  FakeProgram program;
  PresentPacer pacer(60, /*displayMayWait=*/true, program.Clock());
  // The long first gap (the demo loading) does not decide the trial.
  program.Run(pacer, 1, 1000);
  program.Run(pacer, 1, 2'000'000);
  program.Run(pacer, 200, 3000);
  EXPECT_TRUE(pacer.TimerPaces());
  EXPECT_NEAR(program.Rate(PresentPacer::kProbePresents + 2), 60.0, 0.05);
}

TEST(PresentPacer, ImmediatePresentationNeverWaits) {
  FakeProgram program;
  PresentPacer pacer(0, false, program.Clock());
  program.Run(pacer, 100, 1000);
  EXPECT_TRUE(program.sleeps.empty());
  EXPECT_FALSE(pacer.TimerPaces());
}

}  // namespace
