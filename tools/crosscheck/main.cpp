// zelk4-crosscheck: draws each cross-check scene with our software Direct3D 8 device and with
// Mesa's OpenGL (llvmpipe through OSMesa), compares the pictures and writes each pair and their
// difference as PNGs; with --bench, times both on the demo-scale jeep frame and the heavy frame.
#include <algorithm>
#include <chrono>
#include <ctime>
#include <functional>
#include <memory>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "crosscheck/crosscheck.h"
#include "platform/d3d8/device_control.h"

namespace {

struct FrameTimes {
  double wall = 0.0;  // seconds per frame
  double cpu = 0.0;   // processor seconds per frame, all threads of the process
};

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Wall time shows what a frame costs on this machine now; processor time, summed over the
// renderer's threads, is the work itself and holds up better on a machine shared with others.
FrameTimes TimeFrames(const std::function<void()>& frame, int frames) {
  frame();  // warm-up
  auto start = std::chrono::steady_clock::now();
  double cpuStart = ProcessCpuSeconds();
  for (int i = 0; i < frames; ++i) frame();
  std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
  return {spent.count() / frames, (ProcessCpuSeconds() - cpuStart) / frames};
}

// One frame timed on both renderers.
struct BenchFrame {
  std::string label;
  zelk4::crosscheck::Scene scene;
  std::unique_ptr<zelk4::crosscheck::DeviceRenderer> device;
  std::unique_ptr<zelk4::crosscheck::GlRenderer> gl;
  FrameTimes ours, theirs;
};

int Bench(const std::filesystem::path& corpus, unsigned threads, int frames) {
  std::vector<BenchFrame> bench(2);
  bench[0].label = "jeep frame (demo scale)";
  bench[0].scene = zelk4::crosscheck::JeepScene(corpus);
  if (bench[0].scene.name.empty()) {
    std::fprintf(stderr, "zelk4-crosscheck: cannot read %s\n", (corpus / "jeep1.3ds").string().c_str());
    return 1;
  }
  bench[1].label = "heavy frame (10,000 triangles)";
  bench[1].scene = zelk4::crosscheck::HeavyScene();
  for (BenchFrame& b : bench) {
    b.device = std::make_unique<zelk4::crosscheck::DeviceRenderer>(b.scene, threads);
    b.gl = std::make_unique<zelk4::crosscheck::GlRenderer>(b.scene, threads);
    if (!b.device->ok() || !b.gl->ok()) {
      std::fprintf(stderr, "zelk4-crosscheck: %s%s\n", b.device->error().c_str(), b.gl->error().c_str());
      return 1;
    }
  }
  zelk4::d3d8::PresentToNothing();  // the frame stays in the back buffer, as llvmpipe's does
  // Interleaved rounds, so both renderers and both frames see the same share of whatever else
  // the machine is doing.
  const int rounds = 5;
  for (int r = 0; r < rounds; ++r) {
    for (BenchFrame& b : bench) {
      const FrameTimes ours = TimeFrames([&] { b.device->Render(); }, frames);
      const FrameTimes theirs = TimeFrames([&] { b.gl->Render(); }, frames);
      b.ours.wall += ours.wall / rounds;
      b.ours.cpu += ours.cpu / rounds;
      b.theirs.wall += theirs.wall / rounds;
      b.theirs.cpu += theirs.cpu / rounds;
    }
  }
  std::printf("%u thread(s), %d rounds of %d frames per renderer and frame\n", threads, rounds, frames);
  for (const BenchFrame& b : bench) {
    std::printf("%s, %ux%u\n", b.label.c_str(), b.scene.width, b.scene.height);
    std::printf("  %-34s %8.3f ms/frame wall %8.3f ms/frame processor\n", "software device:",
                b.ours.wall * 1e3, b.ours.cpu * 1e3);
    std::printf("  %-34s %8.3f ms/frame wall %8.3f ms/frame processor\n",
                (b.gl->RendererName() + ":").c_str(), b.theirs.wall * 1e3, b.theirs.cpu * 1e3);
    std::printf("  ratio (device / llvmpipe): %.2f wall, %.2f processor\n",
                b.ours.wall / b.theirs.wall, b.ours.cpu / b.theirs.cpu);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Draws the cross-check scenes with the software Direct3D 8 device and with Mesa's "
               "OpenGL (llvmpipe), compares them and writes the pictures."};
  std::filesystem::path out = "crosscheck-out";
  std::filesystem::path corpus = std::filesystem::path(ZELK4_CORPUS_DIR) / "3ds";
  std::vector<std::string> only;
  unsigned threads = 1;
  bool list = false, bench = false, force = false;
  int frames = 10;
  app.add_option("--out", out, "folder for NAME-device.png, NAME-gl.png, NAME-diff.png");
  app.add_option("--corpus", corpus, "folder holding jeep1.3ds");
  app.add_option("--scene", only, "only these scenes (repeatable)");
  app.add_option("--threads", threads, "rasterizer threads for both renderers")->check(CLI::Range(1u, 16u));
  app.add_flag("--list", list, "list the scenes and exit");
  app.add_flag("--force", force, "replace pictures already in the output folder");
  app.add_flag("--bench", bench, "time both renderers on the jeep and the heavy frame (640x480)");
  app.add_option("--frames", frames, "frames timed per renderer with --bench")->check(CLI::Range(1, 10000));
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;  // --help is 0, anything else a usage error
  }

  if (bench) return Bench(corpus, threads, frames);
  std::vector<zelk4::crosscheck::Scene> scenes = zelk4::crosscheck::AllScenes(corpus);
  if (list) {
    for (const auto& s : scenes) std::printf("%-18s %s\n", s.name.c_str(), s.about.c_str());
    return 0;
  }
  int failures = 0, checked = 0;
  for (const auto& s : scenes) {
    if (!only.empty() && std::find(only.begin(), only.end(), s.name) == only.end()) continue;
    ++checked;
    if (!force && std::filesystem::exists(out / (s.name + "-device.png"))) {
      std::fprintf(stderr, "zelk4-crosscheck: %s exists; use --force to replace it\n",
                   (out / (s.name + "-device.png")).string().c_str());
      return 1;
    }
    zelk4::crosscheck::CheckResult r = zelk4::crosscheck::CheckScene(s, threads);
    if (!r.error.empty()) {
      std::fprintf(stderr, "zelk4-crosscheck: %s: %s\n", s.name.c_str(), r.error.c_str());
      return 1;
    }
    std::string error;
    if (!zelk4::crosscheck::WritePictures(out, s, r, &error)) {
      std::fprintf(stderr, "zelk4-crosscheck: %s\n", error.c_str());
      return 1;
    }
    std::printf("%-18s PSNR %6.2f dB  off>%d: %6.3f%%  largest %3d  %s\n", s.name.c_str(),
                r.comparison.psnr, r.levels, 100.0 * r.comparison.shareOff, r.comparison.largest,
                r.passed ? "ok" : "FAILED");
    if (!r.passed) ++failures;
  }
  if (checked == 0) {
    std::fprintf(stderr, "zelk4-crosscheck: no scene of that name (see --list)\n");
    return 2;
  }
  std::printf("pictures in %s\n", out.string().c_str());
  return failures == 0 ? 0 : 1;
}
