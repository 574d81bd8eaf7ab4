#include "platform/d3d8/present_pacer.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace zelk4::d3d8 {

PacerClock SystemPacerClock() {
  return PacerClock{
      [] {
        return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                         std::chrono::steady_clock::now().time_since_epoch())
                                         .count());
      },
      [](uint64_t micros) { std::this_thread::sleep_for(std::chrono::microseconds(micros)); }};
}

PresentPacer::PresentPacer(unsigned refreshHz, bool displayMayWait, PacerClock clock)
    : clock_(std::move(clock)) {
  if (refreshHz == 0) {
    mode_ = Mode::kImmediate;
    return;
  }
  periodMicros_ = 1e6 / refreshHz;
  mode_ = displayMayWait ? Mode::kProbing : Mode::kTimer;
}

void PresentPacer::StartGrid(uint64_t now) {
  gridOrigin_ = now;
  ticks_ = 0;
}

void PresentPacer::Presented() {
  if (mode_ == Mode::kImmediate || mode_ == Mode::kDisplay) return;
  const uint64_t now = clock_.nowMicros();
  const bool first = !started_;
  started_ = true;
  if (mode_ == Mode::kProbing) {
    if (!first) probeIntervals_.push_back(now - lastPresent_);
    lastPresent_ = now;
    if (probeIntervals_.size() < kProbePresents) return;
    std::nth_element(probeIntervals_.begin(), probeIntervals_.begin() + kProbePresents / 2,
                     probeIntervals_.end());
    // A display that waits spaces presents a whole period apart; a little less is timer jitter.
    const bool displayWaits =
        static_cast<double>(probeIntervals_[kProbePresents / 2]) >= 0.9 * periodMicros_;
    probeIntervals_.clear();
    mode_ = displayWaits ? Mode::kDisplay : Mode::kTimer;
    if (mode_ == Mode::kTimer) StartGrid(now);
    return;
  }
  if (first) {
    StartGrid(now);
    return;
  }
  ++ticks_;
  const auto tick = gridOrigin_ + static_cast<uint64_t>(static_cast<double>(ticks_) * periodMicros_);
  if (now < tick) {
    clock_.sleepMicros(tick - now);
  } else if (static_cast<double>(now - tick) > periodMicros_) {
    StartGrid(now);  // more than a frame late: no burst to catch up
  }
}

}  // namespace zelk4::d3d8
