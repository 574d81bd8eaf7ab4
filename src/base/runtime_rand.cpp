#include "base/runtime_rand.h"

namespace {
// The runtime generator's one word of state; 1 at program start, as the runtime leaves it.
uint32_t randomState = 1;
}  // namespace

int RuntimeRand() {
  randomState = randomState * 214013u + 2531011u;
  return static_cast<int>((randomState >> 16) & 32767u);
}

void SeedRuntimeRand(uint32_t state) { randomState = state; }

float RandomFraction() { return static_cast<float>(RuntimeRand() & 4095) * 0.000244140625f; }
