// timeGetTime: milliseconds of system uptime as a wrapping 32-bit count, or an injected clock.
#include <time.h>

#include <utility>

#include "platform/win/win.h"

namespace {
zelk4::win::Clock injectedClock;
}

namespace zelk4::win {
void SetClock(Clock clock) { injectedClock = std::move(clock); }
}  // namespace zelk4::win

DWORD timeGetTime() {
  if (injectedClock) return injectedClock();
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<DWORD>(ms);
}
