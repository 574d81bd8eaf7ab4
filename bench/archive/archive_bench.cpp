// Decode throughput of the archive lookup on the outside corpus's RAR 2.0 entries, in unpacked
// bytes per second. "Memory" runs read the archive from memory (walk, decode, CRC); "File" runs
// are the engine's own path, opening the file by name each time.
//
// ZELK4_BENCH_ARCHIVES=A.rar:B.rar adds a "TestArchive" run per archive: what zelk4-archive t does
// (open, one pass decoding every entry and checking its CRC-32, close), the same job as the
// outside decoders' benchmark programs do (bench/archive/compare-anchors.sh). Wall time.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/archive_tool.h"

namespace {

std::string CorpusFile(const char* name) { return std::string(ZELK4_CORPUS_DIR) + "/rar/" + name; }

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void DecodeFromMemory(benchmark::State& state, const char* archive, const char* entry) {
  const std::vector<uint8_t> bytes = ReadAll(CorpusFile(archive));
  uint64_t produced = 0;
  for (auto _ : state) {
    uint8_t* data = nullptr;
    uint32_t size = 0;
    if (!ArchiveGetFileFromMemory(&data, &size, bytes.data(), bytes.size(), entry, nullptr)) {
      state.SkipWithError("lookup failed (corpus absent?)");
      break;
    }
    benchmark::DoNotOptimize(data);
    produced += size;
    std::free(data);
  }
  state.SetBytesProcessed(static_cast<int64_t>(produced));
}

void DecodeFromFile(benchmark::State& state, const char* archive, const char* entry) {
  const std::string path = CorpusFile(archive);
  uint64_t produced = 0;
  for (auto _ : state) {
    uint8_t* data = nullptr;
    uint32_t size = 0;
    if (!ArchiveGetFile(&data, &size, entry, path.c_str(), nullptr)) {
      state.SkipWithError("lookup failed (corpus absent?)");
      break;
    }
    benchmark::DoNotOptimize(data);
    produced += size;
    std::free(data);
  }
  state.SetBytesProcessed(static_cast<int64_t>(produced));
}

struct Tested {
  uint64_t bytes = 0;
  bool failed = false;
};

void Count(const ArchiveEntryInfo&, const uint8_t*, uint32_t size, int ok, void* user) {
  Tested& t = *static_cast<Tested*>(user);
  t.bytes += size;
  if (!ok) t.failed = true;
}

void TestArchive(benchmark::State& state, const std::string& path) {
  uint64_t produced = 0;
  for (auto _ : state) {
    Tested t;
    if (!ArchiveTestEach(path.c_str(), nullptr, Count, &t, nullptr) || t.failed) {
      state.SkipWithError("an entry failed, or the archive cannot be read");
      break;
    }
    produced += t.bytes;
  }
  state.SetBytesProcessed(static_cast<int64_t>(produced));
}

const bool registered = [] {
  const char* list = std::getenv("ZELK4_BENCH_ARCHIVES");
  std::string rest = list != nullptr ? list : "";
  while (!rest.empty()) {
    const size_t colon = rest.find(':');
    const std::string path = rest.substr(0, colon);
    rest = colon == std::string::npos ? "" : rest.substr(colon + 1);
    if (!path.empty())
      benchmark::RegisterBenchmark(("TestArchive/" + path).c_str(), TestArchive, path)
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime();  // wall time, as the outside decoders' programs measure
  }
  return true;
}();

}  // namespace

BENCHMARK_CAPTURE(DecodeFromMemory, LZ_exe, "Rar2.rar", "exe\\test.exe");
BENCHMARK_CAPTURE(DecodeFromMemory, LZ_jpg, "Rar2.rar", "jpg\\test.jpg");
BENCHMARK_CAPTURE(DecodeFromMemory, LZ_wav, "BoatModernEnglish-regular-unpack20.rar", "BoatModernEnglish.wav");
BENCHMARK_CAPTURE(DecodeFromMemory, Audio_wav, "BoatModernEnglish-audio-text-unpack20.rar", "BoatModernEnglish.wav");
BENCHMARK_CAPTURE(DecodeFromFile, LZ_exe, "Rar2.rar", "exe\\test.exe");
BENCHMARK_CAPTURE(DecodeFromFile, Audio_wav, "BoatModernEnglish-audio-text-unpack20.rar", "BoatModernEnglish.wav");
