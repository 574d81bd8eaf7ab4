// Decoding speed of the image dispatcher on the outside pictures (one 227x149 picture in each
// of JPEG, TGA and PCX, and PngSuite's largest colour file).
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/image.h"

namespace {

std::vector<uint8_t> ReadCorpusFile(const std::string& relative) {
  std::ifstream in(std::string(ZELK4_CORPUS_DIR) + "/" + relative, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void DecodeFile(benchmark::State& state, const char* relative) {
  const std::vector<uint8_t> bytes = ReadCorpusFile(relative);
  if (bytes.empty()) {
    state.SkipWithError("corpus file absent");
    return;
  }
  uint64_t pixelCount = 0;
  for (auto _ : state) {
    uint32_t width = 0, height = 0;
    uint32_t* pixels = nullptr;
    if (!DecodeImageFile(bytes.data(), bytes.size(), &width, &height, &pixels)) {
      state.SkipWithError("decode failed");
      return;
    }
    benchmark::DoNotOptimize(pixels);
    pixelCount += static_cast<uint64_t>(width) * height;
    delete[] pixels;
  }
  state.SetItemsProcessed(static_cast<int64_t>(pixelCount));
  state.SetBytesProcessed(static_cast<int64_t>(bytes.size() * state.iterations()));
}

BENCHMARK_CAPTURE(DecodeFile, Jpeg, "jpeg/testorig.jpg");
BENCHMARK_CAPTURE(DecodeFile, ProgressiveJpeg, "jpeg/progressive.jpg");
BENCHMARK_CAPTURE(DecodeFile, Png, "png/basn6a16.png");
BENCHMARK_CAPTURE(DecodeFile, Tga24, "tga-pcx/tga24.tga");
BENCHMARK_CAPTURE(DecodeFile, Pcx, "tga-pcx/pcx8.pcx");

}  // namespace
