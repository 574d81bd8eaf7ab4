// The runtime's rand() sequence and the random fraction drawn from it.
#include <cmath>

#include <gtest/gtest.h>

#include "base/runtime_rand.h"

namespace {

TEST(BaseRuntimeRand, FollowsTheRuntimeRecurrence) {
  SeedRuntimeRand(1);
  // The first values of the runtime's rand() from state 1.
  EXPECT_EQ(RuntimeRand(), 41);
  EXPECT_EQ(RuntimeRand(), 18467);
  EXPECT_EQ(RuntimeRand(), 6334);
  EXPECT_EQ(RandomFraction(), (26500 & 4095) / 4096.0f);
  SeedRuntimeRand(1);
  for (int i = 0; i < 1000; ++i) {
    const float f = RandomFraction();
    ASSERT_GE(f, 0.0f);
    ASSERT_LT(f, 1.0f);
    ASSERT_EQ(f * 4096.0f, std::floor(f * 4096.0f));
  }
  SeedRuntimeRand(1);
}

}  // namespace
