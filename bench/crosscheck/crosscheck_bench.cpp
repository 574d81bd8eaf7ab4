// The jeep at 640x480 with the three quads, and the heavy frame, each drawn by our software
// device and by llvmpipe with the same number of threads. Compare the two times (the ratio is
// what the cross-check note reports); each iteration is one whole frame, finished in memory.
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

// Argument 0: the jeep at 640x480 with the three quads; 1: the heavy frame.
const zelk4::crosscheck::Scene& Frame(int64_t which) {
  static const zelk4::crosscheck::Scene jeep = zelk4::crosscheck::JeepScene(std::string(ZELK4_CORPUS_DIR) + "/3ds");
  static const zelk4::crosscheck::Scene heavy = zelk4::crosscheck::HeavyScene();
  return which == 0 ? jeep : heavy;
}

void BM_FrameSoftwareDevice(benchmark::State& state) {
  const zelk4::crosscheck::Scene& scene = Frame(state.range(0));
  if (scene.name.empty()) {
    state.SkipWithError("jeep1.3ds not found in the corpus");
    return;
  }
  zelk4::crosscheck::DeviceRenderer device(scene, Threads());
  if (!device.ok()) {
    state.SkipWithError(device.error().c_str());
    return;
  }
  zelk4::d3d8::PresentToNothing();  // the frame stays in the back buffer, as llvmpipe's does
  for (auto _ : state) device.Render();
  state.counters["threads"] = Threads();
}
BENCHMARK(BM_FrameSoftwareDevice)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FrameLlvmpipe(benchmark::State& state) {
  const zelk4::crosscheck::Scene& scene = Frame(state.range(0));
  if (scene.name.empty()) {
    state.SkipWithError("jeep1.3ds not found in the corpus");
    return;
  }
  setenv("LP_NUM_THREADS", std::to_string(Threads()).c_str(), 1);
  zelk4::crosscheck::GlRenderer gl(scene, Threads());
  if (!gl.ok()) {
    state.SkipWithError(gl.error().c_str());
    return;
  }
  for (auto _ : state) gl.Render();
  state.counters["threads"] = Threads();
}
BENCHMARK(BM_FrameLlvmpipe)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
