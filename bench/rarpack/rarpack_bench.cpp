// The packer's speed and ratio, and what the demo's archive lookups cost with its output.
//
//   Pack/<data>/<level>     packing MB/s; counter "ratio" = archive size / input size
//   Unpack/<data>           the engine's decoder over a level-3 archive of the same files, MB/s
//   DemoLoad/<kind>         every lookup the demo makes at start-up, in its order, against the
//                           kit's files in a stored, a compressed and a solid compressed archive
//
// Data: "kit" (the data kit's files), "text" (a text corpus: the folder in ZELK4_TEXT_CORPUS, by
// default the vim help files of /usr/share/vim/vim90/doc), "noise" (4 MiB of random bytes).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/archive_tool.h"
#include "kit/kit.h"
#include "rarpack/rarpack.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

struct File {
  std::string name;
  Bytes data;
};

std::vector<File> KitData() {
  static const std::vector<File> files = [] {
    std::vector<File> out;
    for (const auto& e : zelk4::kit::BuildKitFiles()) out.push_back({e.name, e.data});
    return out;
  }();
  return files;
}

std::vector<File> TextData() {
  static const std::vector<File> files = [] {
    const char* env = std::getenv("ZELK4_TEXT_CORPUS");
    const fs::path dir = env ? env : "/usr/share/vim/vim90/doc";
    std::vector<File> out;
    std::error_code ec;
    std::vector<fs::path> paths;
    for (const auto& e : fs::directory_iterator(dir, ec))
      if (e.is_regular_file() && e.path().extension() == ".txt") paths.push_back(e.path());
    std::sort(paths.begin(), paths.end());
    for (const fs::path& p : paths) {
      std::ifstream in(p, std::ios::binary);
      out.push_back({p.filename().string(), Bytes(std::istreambuf_iterator<char>(in), {})});
    }
    return out;
  }();
  return files;
}

std::vector<File> NoiseData() {
  std::mt19937 random(1);
  Bytes noise(4 << 20);
  for (auto& b : noise) b = static_cast<uint8_t>(random());
  return {{"noise.bin", noise}};
}

std::vector<File> Data(int which) { return which == 0 ? KitData() : which == 1 ? TextData() : NoiseData(); }
const char* kDataNames[] = {"kit", "text", "noise"};

zelk4::rarpack::PackResult Pack(const std::vector<File>& files, int level, bool solid) {
  std::vector<zelk4::rarpack::PackFile> pack;
  for (const File& f : files) pack.push_back({f.name, f.data});
  zelk4::rarpack::PackOptions o;
  o.level = level;
  o.solid = solid;
  return zelk4::rarpack::PackArchive(pack, o);
}

size_t TotalSize(const std::vector<File>& files) {
  size_t n = 0;
  for (const File& f : files) n += f.data.size();
  return n;
}

void BM_Pack(benchmark::State& state) {
  const std::vector<File> files = Data(static_cast<int>(state.range(0)));
  if (files.empty()) return state.SkipWithError("no input files (set ZELK4_TEXT_CORPUS to a folder of .txt files)");
  size_t packed = 0;
  for (auto _ : state) packed = Pack(files, static_cast<int>(state.range(1)), false).archive.size();
  state.SetBytesProcessed(int64_t(state.iterations()) * TotalSize(files));
  state.counters["ratio"] = double(packed) / TotalSize(files);
  state.SetLabel(kDataNames[state.range(0)]);
}
BENCHMARK(BM_Pack)->ArgsProduct({{0, 1, 2}, {1, 3, 5}})->Unit(benchmark::kMillisecond);

void BM_Unpack(benchmark::State& state) {
  const std::vector<File> files = Data(static_cast<int>(state.range(0)));
  if (files.empty()) return state.SkipWithError("no input files");
  const Bytes archive = Pack(files, 3, false).archive;
  for (auto _ : state) {
    for (uint32_t i = 0; i < files.size(); ++i) {
      uint8_t* data = nullptr;
      uint32_t size = 0;
      if (!ArchiveGetEntryAtFromMemory(&data, &size, archive.data(), archive.size(), i, nullptr))
        return state.SkipWithError("an entry does not come back");
      std::free(data);
    }
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * TotalSize(files));
  state.SetLabel(kDataNames[state.range(0)]);
}
BENCHMARK(BM_Unpack)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// The lookups of a start-up: the loading picture, the scene with its textures, the overlays and
// the particle, then the module.
const char* const kDemoLookups[] = {
    "graphics\\loading.png", "3ds\\vw.3ds",          "graphics\\paint.png",     "graphics\\glass.jpg",
    "graphics\\tyre.tga",    "graphics\\chrome.tga", "graphics\\floor.pcx",     "graphics\\stone.pkm",
    "graphics\\overlay01.png", "graphics\\overlay02.png", "graphics\\overlay03.png", "graphics\\overlay04.png",
    "graphics\\particle.png", "sound\\dream1.xm"};

void BM_DemoLoad(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));  // 0 stored, 1 compressed, 2 solid
  const zelk4::rarpack::PackResult packed = Pack(KitData(), kind == 0 ? 0 : 3, kind == 2);
  const fs::path path = fs::temp_directory_path() / ("zelk4_rarpack_demo_load_" + std::to_string(kind) + ".rar");
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(packed.archive.data()), static_cast<std::streamsize>(packed.archive.size()));
  for (auto _ : state) {
    for (const char* name : kDemoLookups) {
      uint8_t* data = nullptr;
      uint32_t size = 0;
      if (!ArchiveGetFile(&data, &size, name, path.c_str(), "")) {
        fs::remove(path);
        return state.SkipWithError("a lookup failed");
      }
      std::free(data);
    }
  }
  fs::remove(path);
  state.counters["archive_bytes"] = double(packed.archive.size());
  state.SetLabel(kind == 0 ? "stored" : kind == 1 ? "compressed" : "solid");
}
BENCHMARK(BM_DemoLoad)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

}  // namespace
