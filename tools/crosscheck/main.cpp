// zelk4-crosscheck: draws each cross-check scene with our software Direct3D 8 device and with
// Mesa's OpenGL (llvmpipe through OSMesa), compares the pictures and writes each pair and their
// difference as PNGs; with --bench, times both on the demo-scale frame.
#include <algorithm>
#include <chrono>
#include <functional>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "crosscheck/crosscheck.h"

namespace {

double SecondsPerFrame(const std::function<void()>& frame, int frames) {
  frame();  // warm-up
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < frames; ++i) frame();
  std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
  return spent.count() / frames;
}

int Bench(const std::filesystem::path& corpus, unsigned threads, int frames) {
  crosscheck::Scene scene = crosscheck::JeepScene(corpus);
  if (scene.name.empty()) {
    std::fprintf(stderr, "zelk4-crosscheck: cannot read %s\n", (corpus / "jeep1.3ds").string().c_str());
    return 1;
  }
  crosscheck::DeviceRenderer device(scene, threads);
  crosscheck::GlRenderer gl(scene, threads);
  if (!device.ok() || !gl.ok()) {
    std::fprintf(stderr, "zelk4-crosscheck: %s%s\n", device.error().c_str(), gl.error().c_str());
    return 1;
  }
  double ours = SecondsPerFrame([&] { device.Render(); }, frames);
  double theirs = SecondsPerFrame([&] { gl.Render(); }, frames);
  std::printf("demo-scale frame %ux%u, %u thread(s), %d frames each\n", scene.width, scene.height,
              threads, frames);
  std::printf("  software device: %8.3f ms/frame\n", ours * 1e3);
  std::printf("  %s: %8.3f ms/frame\n", gl.RendererName().c_str(), theirs * 1e3);
  std::printf("  ratio (device / llvmpipe): %.2f\n", ours / theirs);
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
  int frames = 20;
  app.add_option("--out", out, "folder for NAME-device.png, NAME-gl.png, NAME-diff.png");
  app.add_option("--corpus", corpus, "folder holding jeep1.3ds");
  app.add_option("--scene", only, "only these scenes (repeatable)");
  app.add_option("--threads", threads, "rasterizer threads for both renderers")->check(CLI::Range(1u, 16u));
  app.add_flag("--list", list, "list the scenes and exit");
  app.add_flag("--force", force, "replace pictures already in the output folder");
  app.add_flag("--bench", bench, "time both renderers on the demo-scale frame (640x480)");
  app.add_option("--frames", frames, "frames timed per renderer with --bench")->check(CLI::Range(1, 10000));
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;  // --help is 0, anything else a usage error
  }

  if (bench) return Bench(corpus, threads, frames);
  std::vector<crosscheck::Scene> scenes = crosscheck::AllScenes(corpus);
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
    crosscheck::CheckResult r = crosscheck::CheckScene(s, threads);
    if (!r.error.empty()) {
      std::fprintf(stderr, "zelk4-crosscheck: %s: %s\n", s.name.c_str(), r.error.c_str());
      return 1;
    }
    std::string error;
    if (!crosscheck::WritePictures(out, s, r, &error)) {
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
