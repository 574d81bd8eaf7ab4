// jeep1.3ds (7 meshes, 2032 faces, one 512x512 JPEG texture) as the demo handles its scene, on
// the software device at 640x480: loading with its texture, uploading the meshes, and whole
// frames (clear, animate, look through a camera, draw, present). The file has no camera, so
// one is added, looking at the jeep from the front left. Present goes nowhere; the frames
// counter is frames per second.
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "kit/rar_store_writer.h"
#include "platform/win/win.h"
#include "render/render_device.h"
#include "scene/scene.h"

namespace {

std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The device, and Data.rar holding the jeep's texture in a temporary working directory.
struct Stage {
  RenderDevice device{};
  std::vector<uint8_t> scene;
  std::filesystem::path folder;

  bool Open() {
    const std::filesystem::path corpus = std::filesystem::path(ZELK4_CORPUS_DIR) / "3ds";
    scene = ReadFile(corpus / "jeep1.3ds");
    const std::vector<uint8_t> texture = ReadFile(corpus / "jeep1.jpg");
    if (scene.empty() || texture.empty()) return false;
    char pattern[] = "/tmp/zelk4-bench-anim-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return false;
    folder = pattern;
    const zelk4::kit::Bytes rar = zelk4::kit::WriteStoredRar({{"graphics\\jeep1.jpg", texture}});
    std::ofstream(folder / "Data.rar", std::ios::binary)
        .write(reinterpret_cast<const char*>(rar.data()), static_cast<std::streamsize>(rar.size()));
    std::filesystem::current_path(folder);
    zelk4::win::SetMessageBoxesEnabled(false);
    zelk4::d3d8::PresentToNothing();
    device.Init(nullptr, 640, 480, 0);
    return true;
  }
  ~Stage() {
    device.Release();
    std::error_code ec;
    if (!folder.empty()) std::filesystem::remove_all(folder, ec);
  }
};

// A camera at `eye` looking at the origin with a 50 degree view, as camera 0.
void AddCamera(D3DDemoEngineScene& scene, float x, float y, float z) {
  if (scene.keyframer == nullptr) scene.keyframer = new Keyframer;
  CameraTrack* camera = scene.keyframer->AddCameraTrack();
  TargetTrack* target = scene.keyframer->AddTargetTrack();
  // Keys are in file units; the animation multiplies positions by sceneScale.
  camera->posX->addKey(0.0f, x / scene.sceneScale);
  camera->posY->addKey(0.0f, y / scene.sceneScale);
  camera->posZ->addKey(0.0f, z / scene.sceneScale);
  camera->fov->addKey(0.0f, 50.0f);
  for (FloatTrack* t : {camera->posX, camera->posY, camera->posZ, camera->roll, camera->fov,
                        target->posX, target->posY, target->posZ}) {
    t->finish();
  }
}

void BM_LoadAndUploadJeep(benchmark::State& state) {
  Stage stage;
  if (!stage.Open()) {
    state.SkipWithError("jeep1.3ds or jeep1.jpg is absent from the corpus");
    return;
  }
  for (auto _ : state) {
    auto scene = std::make_unique<D3DDemoEngineScene>();
    scene->Load3dsFromMemory(&stage.device, stage.scene.data(), stage.scene.size());
    scene->UploadMeshes(&stage.device);
    benchmark::DoNotOptimize(scene->meshes[0]->vertexBuffer);
  }
}
// The texture is decoded once; later loads find it in the device's cache, as a second scene
// naming the same map would.
BENCHMARK(BM_LoadAndUploadJeep)->Unit(benchmark::kMicrosecond);

void BM_DrawJeepFrame(benchmark::State& state) {
  Stage stage;
  if (!stage.Open()) {
    state.SkipWithError("jeep1.3ds or jeep1.jpg is absent from the corpus");
    return;
  }
  auto scene = std::make_unique<D3DDemoEngineScene>();
  scene->Load3dsFromMemory(&stage.device, stage.scene.data(), stage.scene.size());
  scene->UploadMeshes(&stage.device);
  AddCamera(*scene, 1.2f, 0.7f, -1.2f);
  RenderDevice& rd = stage.device;
  float time = 0.0f;
  for (auto _ : state) {
    rd.SetModulateStage0();
    rd.ClearColor(0, 0, 0, 0);
    rd.ClearDepth();
    rd.CullNone();
    scene->animateCameras(time);
    scene->animateMeshes(time, 50);
    D3DXMATRIX view;
    scene->setCameraByIndex(&view, 0);
    rd.DisableLighting();
    rd.EnableDepth();
    scene->drawScene(&rd, 0);
    rd.Present();
    time += 1.0f;
  }
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                             benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DrawJeepFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
