// Counting the frame loop's presents and the processor time spent meanwhile, for `zelk4 --stats`.
#pragma once

#include <cstdint>
#include <cstdio>

struct FrameStats {
  uint64_t framesPresented = 0;  // by the frame loop; the loading screen's presents are not counted
  double seconds = 0;            // from the first frame to the last present
  double cpuSeconds = 0;         // of the whole process (every thread) over the same time
};

// Starts counting: from the first frame the part draws, every present through the spine's seam.
void CountFrames();
FrameStats CountedFrames();
// "N frames presented in S s: F frames per second, C % of one processor core".
void PrintFrameStats(std::FILE* out, const FrameStats& stats);
