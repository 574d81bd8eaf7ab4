// Load time of the 3DS loader on a real file and on a 100,000-face file written here.
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/win/win.h"
#include "scene/chunk_writer.h"
#include "scene/scene.h"

namespace {

void LoadBytes(benchmark::State& state, const std::vector<uint8_t>& bytes) {
  zelk4::win::SetMessageBoxesEnabled(false);
  for (auto _ : state) {
    D3DDemoEngineScene scene;
    scene.SetLoadTextures(0);
    scene.Load3dsFromMemory(nullptr, bytes.data(), bytes.size());
    benchmark::DoNotOptimize(scene.meshes[0]);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}

void BM_LoadJeep(benchmark::State& state) {
  std::ifstream in(std::filesystem::path(ZELK4_CORPUS_DIR) / "3ds" / "jeep1.3ds", std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.empty()) {
    state.SkipWithError("jeep1.3ds is absent from the corpus");
    return;
  }
  LoadBytes(state, bytes);
}
BENCHMARK(BM_LoadJeep)->Unit(benchmark::kMicrosecond);

// Two meshes of a 50,000-face grid each (the 16-bit counts allow at most 65535 per mesh).
std::vector<uint8_t> BigFile() {
  zelk4::test::ChunkWriter w;
  w.Begin(0x4D4D).Begin(0x3D3D);
  for (int mesh = 0; mesh < 2; ++mesh) {
    constexpr int kSide = 159;  // 159 x 159 = 25281 vertices, 158 x 158 x 2 = 49928 faces
    std::vector<float> points;
    std::vector<uint16_t> faces;
    std::vector<float> uv;
    for (int y = 0; y < kSide; ++y) {
      for (int x = 0; x < kSide; ++x) {
        points.insert(points.end(), {float(x), float(y), std::sin(x * 0.1f) * std::cos(y * 0.1f) + mesh});
        uv.insert(uv.end(), {x / float(kSide), y / float(kSide)});
      }
    }
    for (int y = 0; y + 1 < kSide; ++y) {
      for (int x = 0; x + 1 < kSide; ++x) {
        const uint16_t i = static_cast<uint16_t>(y * kSide + x);
        faces.insert(faces.end(), {i, uint16_t(i + 1), uint16_t(i + kSide), uint16_t(i + 1),
                                   uint16_t(i + kSide + 1), uint16_t(i + kSide)});
      }
    }
    // Top up to 50,000 faces with repeats of the first.
    while (faces.size() < 3 * 50000) faces.insert(faces.end(), {0, 1, uint16_t(kSide)});
    w.Begin(0x4000).Str(mesh == 0 ? "GridA" : "GridB").Begin(0x4100).Points(points);
    w.BeginFaces(faces).MaterialGroup("M", 0).End().TexVerts(uv).End().End();
  }
  w.End().End();
  return w.bytes;
}

void BM_Load100kFaces(benchmark::State& state) {
  static const std::vector<uint8_t> bytes = BigFile();
  LoadBytes(state, bytes);
}
BENCHMARK(BM_Load100kFaces)->Unit(benchmark::kMillisecond);

}  // namespace
