// The frame timer against a scripted clock: which readings it takes and how the float rounds.
#include <deque>

#include "app/app_test_env.h"

namespace {

// A clock that answers the given readings in turn.
class ScriptedClock {
 public:
  explicit ScriptedClock(std::deque<DWORD> readings) : readings_(std::move(readings)) {
    zelk4::win::SetClock([this] {
      EXPECT_FALSE(readings_.empty()) << "the timer took more readings than expected";
      if (readings_.empty()) return DWORD{0};
      const DWORD r = readings_.front();
      readings_.pop_front();
      return r;
    });
  }
  ~ScriptedClock() { zelk4::win::SetClock(nullptr); }
  bool Spent() const { return readings_.empty(); }

 private:
  std::deque<DWORD> readings_;
};

using AppFrameTimer = zelk4::test::AppSpine;

TEST_F(AppFrameTimer, FirstCallIsAboutZeroAndTheThirdReadingStartsTheNextFrame) {
  // First call: origin, now, fresh. Later calls: now, fresh.
  ScriptedClock clock({1000, 1001, 1003, 1020, 1025, 1025, 1025});
  EXPECT_FLOAT_EQ(GetFrameTime(), 1.0f);
  // Measured from 1003 (the reading taken after the subtraction), not from 1001.
  EXPECT_FLOAT_EQ(GetFrameTime(), 17.0f);
  EXPECT_FLOAT_EQ(GetFrameTime(), 0.0f);
  EXPECT_TRUE(clock.Spent());
}

TEST_F(AppFrameTimer, ReadingsAboveTwoToThe24RoundInTheStoredFloat) {
  // 16777217 is stored as 16777216; 16777219 as 16777220 (ties go to even).
  ScriptedClock clock({16777217, 16777217, 16777219, 16777221, 0x80000001u, 0x80000101u, 0x80000101u});
  EXPECT_FLOAT_EQ(GetFrameTime(), 1.0f);  // not 0
  EXPECT_FLOAT_EQ(GetFrameTime(), 1.0f);  // not 2
  // Near 2^31 the stored reading moves in steps of 256 ms: 0x80000001 is kept as 2^31.
  EXPECT_FLOAT_EQ(GetFrameTime(), 257.0f);
  EXPECT_TRUE(clock.Spent());
}

TEST_F(AppFrameTimer, ResetStartsOverWithAFirstCall) {
  ScriptedClock clock({50, 60, 70, 500, 510, 520});
  EXPECT_FLOAT_EQ(GetFrameTime(), 10.0f);
  ResetFrameTimer();
  EXPECT_FLOAT_EQ(GetFrameTime(), 10.0f);
  EXPECT_TRUE(clock.Spent());
}
}  // namespace
