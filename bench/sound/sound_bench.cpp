// CPU cost of the music: one second of a real song rendered the way the player renders it
// (slices short enough to see every row, with the Zxx scan of each row reached). The
// real-time factor (seconds of music per second of CPU) is reported as "realtime_x".
#include <benchmark/benchmark.h>

#include <fstream>
#include <libopenmpt/libopenmpt.hpp>
#include <iterator>
#include <string>
#include <vector>

#include "platform/sound/module_player.h"

namespace {

std::vector<char> ReadCorpusModule(const std::string& name) {
  std::ifstream in(std::string(ZELK4_CORPUS_DIR) + "/xm/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void RenderOneSecond(benchmark::State& state, const char* name, std::size_t block) {
  const std::vector<char> bytes = ReadCorpusModule(name);
  auto player = zelk4::sound::ModulePlayer::Load(bytes.data(), bytes.size(), 44100, /*loop=*/true);
  if (!player) {
    state.SkipWithError("corpus module missing or unreadable");
    return;
  }
  std::vector<int16_t> out(2 * block);
  std::vector<zelk4::sound::SyncEvent> events;
  for (auto _ : state) {
    for (std::size_t done = 0; done < 44100; done += block) {
      player->Render(out.data(), block, events);
    }
    events.clear();
    benchmark::DoNotOptimize(out.data());
  }
  // One second of music per iteration: the rate of this counter is the real-time factor.
  state.counters["realtime_x"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                    benchmark::Counter::kIsRate);
}

// The largest corpus song (many channels and samples), in the device player's block size.
BENCHMARK_CAPTURE(RenderOneSecond, dontyou, "dontyou.xm", 256)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RenderOneSecond, dans_la_rue, "xyce-dans_la_rue.xm", 256)->Unit(benchmark::kMillisecond);

// The same song rendered in one large block, to show what the row-sized slices cost.
void RenderOneSecondUnsliced(benchmark::State& state) {
  const std::vector<char> bytes = ReadCorpusModule("dontyou.xm");
  auto player = zelk4::sound::ModulePlayer::Load(bytes.data(), bytes.size(), 44100, true);
  if (!player) {
    state.SkipWithError("corpus module missing or unreadable");
    return;
  }
  std::vector<int16_t> out(2 * 44100);
  for (auto _ : state) {
    player->Module().read_interleaved_stereo(44100, 44100, out.data());
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["realtime_x"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                    benchmark::Counter::kIsRate);
}
BENCHMARK(RenderOneSecondUnsliced)->Unit(benchmark::kMillisecond);

}  // namespace
