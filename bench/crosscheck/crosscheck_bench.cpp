// The jeep at 640x480 with the three quads, drawn by our software device and by llvmpipe with
// the same number of threads. Compare the two times (the ratio is what the cross-check note
// reports); each iteration is one whole frame, finished in memory.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "crosscheck/renderers.h"
#include "platform/d3d8/device_control.h"

namespace {

unsigned Threads() {
  const char* text = std::getenv("ZELK4_BENCH_THREADS");
  int n = text != nullptr ? std::atoi(text) : 1;
  return n >= 1 && n <= 16 ? static_cast<unsigned>(n) : 1;
}

const crosscheck::Scene& Jeep() {
  static const crosscheck::Scene scene =
      crosscheck::JeepScene(std::string(ZELK4_CORPUS_DIR) + "/3ds");
  return scene;
}

void BM_DemoFrameSoftwareDevice(benchmark::State& state) {
  if (Jeep().name.empty()) {
    state.SkipWithError("jeep1.3ds not found in the corpus");
    return;
  }
  crosscheck::DeviceRenderer device(Jeep(), Threads());
  if (!device.ok()) {
    state.SkipWithError(device.error().c_str());
    return;
  }
  d3d8::PresentToNothing();  // the frame stays in the back buffer, as llvmpipe's does
  for (auto _ : state) device.Render();
  state.counters["threads"] = Threads();
}
BENCHMARK(BM_DemoFrameSoftwareDevice)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DemoFrameLlvmpipe(benchmark::State& state) {
  if (Jeep().name.empty()) {
    state.SkipWithError("jeep1.3ds not found in the corpus");
    return;
  }
  setenv("LP_NUM_THREADS", std::to_string(Threads()).c_str(), 1);
  crosscheck::GlRenderer gl(Jeep(), Threads());
  if (!gl.ok()) {
    state.SkipWithError(gl.error().c_str());
    return;
  }
  for (auto _ : state) gl.Render();
  state.counters["threads"] = Threads();
}
BENCHMARK(BM_DemoFrameLlvmpipe)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
