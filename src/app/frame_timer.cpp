// The frame timer. The previous reading is deliberately a 32-bit float: above 2^24 ms of
// uptime it is rounded before the subtraction, and the stored reading is a fresh one taken after
// the subtraction, so the time between the two readings of one call is never counted.
#include "app/app.h"

namespace {
float lastTime = 0.0f;
bool lastTimeSet = false;
}  // namespace

float GetFrameTime() {
  if (!lastTimeSet) {
    lastTime = static_cast<float>(timeGetTime());
    lastTimeSet = true;
  }
  const DWORD now = timeGetTime();
  // The reading is converted exactly, the difference formed in double, then rounded to float.
  const float elapsed = static_cast<float>(static_cast<double>(now) - static_cast<double>(lastTime));
  lastTime = static_cast<float>(timeGetTime());
  return elapsed;
}

void ResetFrameTimer() {
  lastTime = 0.0f;
  lastTimeSet = false;
}
