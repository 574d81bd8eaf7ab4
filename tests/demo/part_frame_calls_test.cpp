// One frame of the demo pinned as the Direct3D calls it makes: the golden call log in
// part_frame_calls.txt beside this file. A small scene (one mesh, one camera and its target,
// keyframed), overlays and the particle texture built from pixels, the generator seeded as at
// program start, then one PartFrame of 20 ms. The log shows the scene through the music's camera,
// the particle block (its states set and undone, with no draw between them), the overlay, the
// flash and the veil.
//
// On a mismatch the frame's log is written to the test output folder; when a change of
// behaviour is meant, that file replaces the golden one.
#include <cctype>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/runtime_rand.h"
#include "demo/demo.h"
#include "music/music.h"
#include "platform/d3d8/d3d8.h"
#include "platform/win/win.h"
#include "scene/chunk_writer.h"
#include "scene/scene.h"
#include "support/corpus.h"

namespace {

using zelk4::test::ChunkWriter;

// A triangle mesh "Tri", a camera "Cam" looking at its target, all keyframed over 100 frames.
std::vector<uint8_t> SmallScene() {
  ChunkWriter w;
  w.Begin(0x4D4D).Begin(0x3D3D);
  w.Begin(0x4000).Str("Tri").Begin(0x4100).Points({-1, 0, -1, 1, 0, -1, 0, 0, 1}).BeginFaces({0, 1, 2}).End();
  w.TexVerts({0, 0, 1, 0, 0.5f, 1}).End().End();
  w.End();
  w.Begin(0xB000).Begin(0xB008).U32(0).U32(100).End();
  w.Begin(0xB002).Begin(0xB030).U16(0).End().NodeHeader("Tri");
  w.Track(0xB020, {{0, {0, 0, 0}}, {100, {0, 0, 1}}});
  w.Track(0xB021, {{0, {0, 0, 0, 1}}, {100, {1.5f, 0, 0, 1}}});
  w.Track(0xB022, {{0, {1, 1, 1}}});
  w.End();
  w.Begin(0xB003).NodeHeader("Cam").Track(0xB020, {{0, {0, -4, 1}}, {100, {1, -4, 2}}});
  w.Track(0xB023, {{0, {45}}}).Track(0xB024, {{0, {5}}}).End();
  w.Begin(0xB004).NodeHeader("Cam.Target").Track(0xB020, {{0, {0, 0, 0}}}).End();
  w.End().End();
  return w.bytes;
}

// Object numbers depend on what was made before; the log names each object by its order of
// first appearance instead ("texture#1", "texture#2", ...).
std::vector<std::string> Renumbered(const std::vector<std::string>& log) {
  std::map<std::string, int> numbers;  // "texture#17" -> 1
  std::map<std::string, int> perKind;
  std::vector<std::string> out;
  for (const std::string& line : log) {
    std::string renamed;
    size_t at = 0;
    for (size_t hash = line.find('#'); hash != std::string::npos; hash = line.find('#', hash + 1)) {
      size_t kindStart = hash, digitsEnd = hash + 1;
      while (kindStart > 0 && std::isalpha(static_cast<unsigned char>(line[kindStart - 1]))) --kindStart;
      while (digitsEnd < line.size() && std::isdigit(static_cast<unsigned char>(line[digitsEnd]))) ++digitsEnd;
      if (kindStart == hash || digitsEnd == hash + 1) continue;
      const std::string kind = line.substr(kindStart, hash - kindStart);
      const std::string id = line.substr(kindStart, digitsEnd - kindStart);
      if (!numbers.count(id)) numbers[id] = ++perKind[kind];
      renamed += line.substr(at, kindStart - at) + kind + "#" + std::to_string(numbers[id]);
      at = digitsEnd;
    }
    out.push_back(renamed + line.substr(at));
  }
  return out;
}

TEST(DemoPartFrameCalls, OneFrameMakesTheGoldenCalls) {
  zelk4::d3d8::ResetControls();
  zelk4::d3d8::PresentOffscreen();
  zelk4::win::SetMessageBoxesEnabled(false);
  renderDevice.Init(nullptr, 640, 480, 0);
  SeedRuntimeRand(1);
  partState = PartState{};
  syncCamera = 0;
  syncOverlay = 2;
  syncFlash = 0;
  syncRestart = 0;

  D3DDemoEngineScene small;
  small.SetLoadTextures(0);
  const std::vector<uint8_t> file = SmallScene();
  small.Load3dsFromMemory(&renderDevice, file.data(), file.size());
  small.UploadMeshes(&renderDevice);
  D3DDemoEngineScene* const loaded = scene;
  scene = &small;
  Texture madeOverlays[4];
  Texture particle;
  Texture* const savedParticle = particleTexture;
  particleTexture = &particle;
  const std::vector<uint32_t> pixels(16, 0xC0FFFFFFu);
  particle.CreateFromPixels(&renderDevice, 4, 4, pixels.data());
  for (int i = 0; i < 4; ++i) {
    overlays[i] = &madeOverlays[i];
    madeOverlays[i].CreateFromPixels(&renderDevice, 4, 4, pixels.data());
  }

  zelk4::d3d8::ClearCallLog();
  zelk4::d3d8::EnableCallLog(true);
  PartFrame(20.0f);
  zelk4::d3d8::EnableCallLog(false);
  const std::vector<std::string> actual = Renumbered(zelk4::d3d8::CallLog());

  std::vector<std::string> golden;
  std::ifstream in(ZELK4_PART_FRAME_GOLDEN);
  for (std::string line; std::getline(in, line);) golden.push_back(line);
  if (actual != golden) {
    const auto written = zelk4::test::TestOutputDir() / "part_frame_calls.txt";
    std::ofstream out(written);
    for (const std::string& line : actual) out << line << "\n";
    size_t first = 0;
    while (first < actual.size() && first < golden.size() && actual[first] == golden[first]) ++first;
    ADD_FAILURE() << "the frame's calls differ from " << ZELK4_PART_FRAME_GOLDEN << " at line " << first + 1
                  << ":\n  golden: " << (first < golden.size() ? golden[first] : "(end)")
                  << "\n  actual: " << (first < actual.size() ? actual[first] : "(end)")
                  << "\nthe whole log is in " << written.string();
  }

  for (Texture& t : madeOverlays) t.d3dTexture->Release();
  particle.d3dTexture->Release();
  for (Texture*& overlay : overlays) overlay = nullptr;
  particleTexture = savedParticle;
  scene = loaded;
  small.meshes[0]->ReleaseBuffers();
  renderDevice.Release();
  zelk4::d3d8::ResetControls();
}

}  // namespace
