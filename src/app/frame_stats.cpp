#include "app/frame_stats.h"

#include <chrono>
#include <ctime>

#include "app/app.h"
#include "app/engine_seams.h"

namespace {
using Clock = std::chrono::steady_clock;

struct Counting {
  bool started = false;
  Clock::time_point start;
  Clock::time_point lastPresent;
  double cpuAtStart = 0;
  double cpuAtLastPresent = 0;
  uint64_t presents = 0;
};
Counting counting;
void (*countedFrame)(float) = nullptr;
void (*countedPresent)() = nullptr;

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}
}  // namespace

void CountFrames() {
  counting = Counting{};
  countedFrame = partTable[0].frame;
  partTable[0].frame = [](float dt) {
    if (!counting.started) {
      counting.started = true;
      counting.start = counting.lastPresent = Clock::now();
      counting.cpuAtStart = counting.cpuAtLastPresent = ProcessCpuSeconds();
    }
    countedFrame(dt);
  };
  countedPresent = engine.devicePresent;
  engine.devicePresent = [] {
    countedPresent();
    if (!counting.started) return;
    ++counting.presents;
    counting.lastPresent = Clock::now();
    counting.cpuAtLastPresent = ProcessCpuSeconds();
  };
}

FrameStats CountedFrames() {
  FrameStats stats;
  stats.framesPresented = counting.presents;
  stats.seconds = std::chrono::duration<double>(counting.lastPresent - counting.start).count();
  stats.cpuSeconds = counting.cpuAtLastPresent - counting.cpuAtStart;
  return stats;
}

void PrintFrameStats(std::FILE* out, const FrameStats& stats) {
  const double fps = stats.seconds > 0 ? static_cast<double>(stats.framesPresented) / stats.seconds : 0;
  const double share = stats.seconds > 0 ? 100.0 * stats.cpuSeconds / stats.seconds : 0;
  std::fprintf(out,
               "zelk4: %llu frames presented in %.2f s: %.1f frames per second, %.1f %% of one "
               "processor core\n",
               static_cast<unsigned long long>(stats.framesPresented), stats.seconds, fps, share);
}
