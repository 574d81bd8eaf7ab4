// Holds the window target's presents to the display's refresh rate (private to the library).
//
// A device whose presentation interval is the default shows at most one frame per vertical
// retrace. Where the display waits for the retrace itself (SDL's vsync on a real display), the
// pacer only watches; where it does not (a virtual X server, a software renderer, drivers that
// ignore the request), it sleeps after each present until the next tick of a timer running at
// the refresh rate. The timer's ticks lie on a fixed grid, so sleeping a little too long never
// adds up; a frame that comes more than a whole period late starts the grid afresh instead of
// being followed by a burst of unpaced frames.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace zelk4::d3d8 {

// Where the pacer reads the time and how it waits: microseconds from any origin, and a sleep.
struct PacerClock {
  std::function<uint64_t()> nowMicros;
  std::function<void(uint64_t micros)> sleepMicros;
};
PacerClock SystemPacerClock();

class PresentPacer {
 public:
  // refreshHz 0 never holds a present back (D3DPRESENT_INTERVAL_IMMEDIATE). displayMayWait: the
  // display was asked to wait for its retrace; the first presents show whether it does.
  PresentPacer(unsigned refreshHz, bool displayMayWait, PacerClock clock);

  // Called right after each present was handed to the display; may sleep.
  void Presented();

  // Whether the timer holds presents back (false while the display's own waiting is tried).
  bool TimerPaces() const { return mode_ == Mode::kTimer; }

  // Presents after which the display's own waiting is judged: one slow frame or the long gap
  // while the demo loads must not decide it, so the median interval counts.
  static constexpr size_t kProbePresents = 16;

 private:
  enum class Mode { kImmediate, kProbing, kDisplay, kTimer };

  void StartGrid(uint64_t now);

  PacerClock clock_;
  Mode mode_;
  double periodMicros_ = 0;
  uint64_t gridOrigin_ = 0;  // the timer's ticks are gridOrigin_ + n * periodMicros_
  uint64_t ticks_ = 0;
  bool started_ = false;
  uint64_t lastPresent_ = 0;  // while probing
  std::vector<uint64_t> probeIntervals_;
};

}  // namespace zelk4::d3d8
