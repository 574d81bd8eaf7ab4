// zelk4-inspect scene: loads a 3DS file from disk through the engine's loader (textures are
// named, not loaded) and lists its meshes, materials and keyframer; with --at, the cameras,
// targets and lights evaluated at a frame as the animation does (time wrapped into the
// segment, positions in scene units). With --render, draws the scene at a frame through one of
// its cameras on the software device (640x480, offscreen) as the demo draws it (cameras at the
// frame, meshes at the frame looped over at most 50 frames without parent links, then the
// camera's view), and writes the picture as a PNG; --hierarchy evaluates as the scene's animate
// operation does instead (parent links applied, the whole segment looped).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "base/fatal_error.h"
#include "command.h"
#include "kit/image_writers.h"
#include "kit/rar_store_writer.h"
#include "platform/d3d8/d3d8.h"
#include "platform/win/win.h"
#include "render/render_device.h"
#include "scene/scene.h"

namespace {

using nlohmann::json;

json Colour(const D3DCOLORVALUE& c) { return json::array({c.r, c.g, c.b, c.a}); }

json Describe(const D3DDemoEngineScene& scene, bool evaluate, float frame) {
  json out;
  out["sceneScale"] = scene.sceneScale;
  out["meshes"] = json::array();
  for (uint32_t i = 0; i < scene.meshCount; ++i) {
    const MeshObj& m = *scene.meshes[i];
    out["meshes"].push_back({{"name", m.name}, {"vertices", m.vertexCount}, {"faces", m.faceCount},
                             {"material", m.materialName}, {"parent", m.parentIndex}});
  }
  out["materials"] = json::array();
  for (uint32_t i = 0; i < scene.materialCount; ++i) {
    const SceneMaterial& m = *scene.materials[i];
    out["materials"].push_back({{"name", m.name}, {"texture", m.textureName},
                                {"ambient", Colour(m.d3dMaterial.Ambient)},
                                {"diffuse", Colour(m.d3dMaterial.Diffuse)},
                                {"specular", Colour(m.d3dMaterial.Specular)},
                                {"power", m.d3dMaterial.Power}});
  }
  if (scene.keyframer == nullptr) {
    out["keyframer"] = nullptr;
    return out;
  }
  const Keyframer& kf = *scene.keyframer;
  json k;
  k["segment"] = {kf.startFrame, kf.endFrame};
  const auto keys = [](const FloatTrack* t) { return t->keyCount; };
  k["cameras"] = json::array();
  for (uint32_t i = 0; i < kf.cameraCount; ++i) {
    const CameraTrack& c = *kf.cameraTracks[i];
    json cam = {{"name", c.name},
                {"keys", {{"pos", keys(c.posX)}, {"roll", keys(c.roll)}, {"fov", keys(c.fov)}}}};
    if (evaluate) {
      float x = 0, y = 0, z = 0, roll = 0, fov = 0;
      kf.EvaluateCamera(frame, scene.sceneScale, kf.endFrame, i, &x, &y, &z, &roll, &fov);
      cam["at"] = {{"position", {x, y, z}}, {"roll", roll}, {"fov", fov}};
    }
    k["cameras"].push_back(cam);
  }
  k["targets"] = json::array();
  for (uint32_t i = 0; i < kf.targetCount; ++i) {
    const TargetTrack& t = *kf.targetTracks[i];
    json target = {{"name", t.name}, {"keys", {{"pos", keys(t.posX)}}}};
    if (evaluate) {
      float x = 0, y = 0, z = 0;
      kf.EvaluateTarget(frame, scene.sceneScale, kf.endFrame, i, &x, &y, &z);
      target["at"] = {{"position", {x, y, z}}};
    }
    k["targets"].push_back(target);
  }
  k["meshTracks"] = json::array();
  for (uint32_t i = 0; i < kf.meshTrackCount; ++i) {
    const MeshTrack& m = *kf.meshTracks[i];
    k["meshTracks"].push_back({{"name", m.name},
                               {"pivot", {m.pivot[0], m.pivot[1], m.pivot[2]}},
                               {"keys", {{"pos", keys(m.posX)}, {"rot", m.rotation->keyCount}, {"scale", keys(m.scaleX)}}}});
  }
  k["lights"] = json::array();
  for (uint32_t i = 0; i < kf.lightCount; ++i) {
    const LightTrack& l = *kf.lightTracks[i];
    json light = {{"name", l.name}, {"keys", {{"pos", keys(l.posX)}, {"colour", keys(l.colorR)}}}};
    if (evaluate) {
      const float t = WrapFrame(frame, kf.endFrame);
      light["at"] = {{"position", {l.posX->evaluate(t) * scene.sceneScale, l.posY->evaluate(t) * scene.sceneScale,
                                   l.posZ->evaluate(t) * scene.sceneScale}},
                     {"colour", {l.colorR->evaluate(t), l.colorG->evaluate(t), l.colorB->evaluate(t)}}};
    }
    k["lights"].push_back(light);
  }
  out["keyframer"] = k;
  return out;
}

std::string Triple(const json& v) {
  char text[96];
  std::snprintf(text, sizeof text, "(%g, %g, %g)", v[0].get<double>(), v[1].get<double>(), v[2].get<double>());
  return text;
}

void PrintText(const json& d) {
  std::printf("scene scale %g\n", d["sceneScale"].get<double>());
  std::printf("meshes: %zu\n", d["meshes"].size());
  for (const json& m : d["meshes"]) {
    std::printf("  %-20s %6d verts %6d faces  material \"%s\"  parent %d\n", m["name"].get<std::string>().c_str(),
                m["vertices"].get<int>(), m["faces"].get<int>(), m["material"].get<std::string>().c_str(),
                m["parent"].get<int>());
  }
  std::printf("materials: %zu\n", d["materials"].size());
  for (const json& m : d["materials"]) {
    std::printf("  %-20s texture \"%s\"  ambient %s diffuse %s specular %s power %g\n",
                m["name"].get<std::string>().c_str(), m["texture"].get<std::string>().c_str(),
                Triple(m["ambient"]).c_str(), Triple(m["diffuse"]).c_str(), Triple(m["specular"]).c_str(),
                m["power"].get<double>());
  }
  if (d["keyframer"].is_null()) {
    std::printf("keyframer: none\n");
    return;
  }
  const json& k = d["keyframer"];
  std::printf("keyframer: segment %d to %d\n", k["segment"][0].get<int>(), k["segment"][1].get<int>());
  for (const char* kind : {"cameras", "targets", "meshTracks", "lights"}) {
    std::printf("  %s: %zu\n", kind, k[kind].size());
    for (const json& n : k[kind]) {
      std::printf("    %-20s keys %s", n["name"].get<std::string>().c_str(), n["keys"].dump().c_str());
      if (n.contains("pivot")) std::printf("  pivot %s", Triple(n["pivot"]).c_str());
      std::printf("\n");
      if (n.contains("at")) std::printf("      at: %s\n", n["at"].dump().c_str());
    }
  }
}


// --- rendering ------------------------------------------------------------------------------

constexpr uint32_t kWidth = 640;
constexpr uint32_t kHeight = 480;
constexpr float kViewerFieldOfView = 60.0f * 0.017453292f;  // wide enough for the unit sphere

struct RenderRequest {
  std::string output;
  float frame = 0.0f;
  int camera = -1;                   // -1: camera 0, or the viewer when the scene has none
  std::vector<float> eye;            // empty, or a viewer position looking at the origin
  std::string textures;              // folder of material textures, or empty
  bool hierarchy = false;            // animate (parent links, whole segment) instead of the demo's calls
};

constexpr uint32_t kDemoMeshLoopLimit = 50;  // the demo loops its meshes over at most 50 frames

// The temporary texture folder, removed also when loading ends the process with a fatal error.
std::filesystem::path temporaryFolder;

[[noreturn]] void RemoveTemporaryFolderAndEnd(const char*, const char*) {
  std::error_code ec;
  if (!temporaryFolder.empty()) std::filesystem::remove_all(temporaryFolder, ec);
  std::exit(1);
}

// The engine reads material textures from "Data.rar" in the working directory. This packs every
// file of a folder as "graphics\NAME" into a stored archive in a fresh temporary folder, which is
// the working directory while the scene loads; the previous one comes back and the folder goes
// away with the object.
class TextureArchive {
 public:
  bool Make(const std::string& folder, std::string* error) {
    std::vector<zelk4::kit::ArchiveEntry> entries;
    std::error_code ec;
    for (const auto& item : std::filesystem::directory_iterator(folder, ec)) {
      if (!item.is_regular_file()) continue;
      std::ifstream in(item.path(), std::ios::binary);
      zelk4::kit::ArchiveEntry entry;
      entry.name = "graphics\\" + item.path().filename().string();
      entry.data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
      entries.push_back(std::move(entry));
    }
    if (ec) {
      *error = "cannot list " + folder + ": " + ec.message();
      return false;
    }
    char pattern[] = "/tmp/zelk4-inspect-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
      *error = "cannot make a temporary folder";
      return false;
    }
    folder_ = pattern;
    temporaryFolder = folder_;
    SetFatalErrorHook(RemoveTemporaryFolderAndEnd);
    try {
      const zelk4::kit::Bytes rar = zelk4::kit::WriteStoredRar(entries);
      std::ofstream out(folder_ / "Data.rar", std::ios::binary);
      out.write(reinterpret_cast<const char*>(rar.data()), static_cast<std::streamsize>(rar.size()));
      if (!out) throw std::runtime_error("cannot write the texture archive");
    } catch (const std::exception& e) {
      *error = e.what();
      return false;
    }
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(folder_);
    return true;
  }
  void Leave() {
    if (!previous_.empty()) std::filesystem::current_path(previous_);
    previous_.clear();
  }
  ~TextureArchive() {
    Leave();
    std::error_code ec;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ec);
    SetFatalErrorHook(nullptr);
    temporaryFolder.clear();
  }

 private:
  std::filesystem::path folder_;
  std::filesystem::path previous_;
};

// Loads, uploads, animates and draws as the demo does (cameras and meshes at the frame, meshes
// looped over at most 50 frames; lighting off, depth on, no culling, useLights 0) and writes the
// presented frame. Returns the exit status.
int RenderScene(const std::vector<uint8_t>& file, const RenderRequest& request) {
  zelk4::d3d8::PresentOffscreen();
  static RenderDevice device{};
  device.Init(nullptr, kWidth, kHeight, 0);

  static D3DDemoEngineScene scene;
  TextureArchive archive;
  if (!request.textures.empty()) {
    std::string error;
    if (!archive.Make(request.textures, &error)) {
      std::fprintf(stderr, "zelk4-inspect scene: %s\n", error.c_str());
      return 1;
    }
  }
  scene.SetLoadTextures(request.textures.empty() ? 0 : 1);
  scene.Load3dsFromMemory(&device, file.data(), file.size());
  archive.Leave();
  scene.UploadMeshes(&device);

  const uint32_t cameras = scene.keyframer != nullptr ? scene.keyframer->cameraCount : 0;
  if (request.camera >= 0 && static_cast<uint32_t>(request.camera) >= cameras) {
    std::fprintf(stderr, "zelk4-inspect scene: --camera %d: the scene has %u camera(s)\n",
                 request.camera, cameras);
    return 2;
  }
  if (request.hierarchy) {
    scene.animate(request.frame);
  } else {
    scene.animateCameras(request.frame);
    scene.animateMeshes(request.frame, kDemoMeshLoopLimit);
  }
  D3DXMATRIX view;
  if (request.eye.empty() && cameras > 0) {
    scene.setCameraByIndex(&view, request.camera < 0 ? 0u : static_cast<uint32_t>(request.camera));
  } else {
    const D3DXVECTOR3 eye = request.eye.empty() ? D3DXVECTOR3(0.0f, 0.0f, -2.5f)
                                                : D3DXVECTOR3(request.eye[0], request.eye[1], request.eye[2]);
    const D3DXVECTOR3 at(0.0f, 0.0f, 0.0f), up(0.0f, 1.0f, 0.0f);
    D3DXMatrixLookAtLH(&scene.viewMatrix, &eye, &at, &up);
    scene.fieldOfView = kViewerFieldOfView;
  }

  device.SetModulateStage0();
  device.ClearColor(0, 0, 0, 0);
  device.ClearDepth();
  device.CullNone();
  device.DisableLighting();
  device.EnableDepth();
  scene.drawScene(&device, 0);
  device.Present();
  const zelk4::d3d8::Frame& frame = zelk4::d3d8::LastPresentedFrame();
  // An opaque picture: the demo clears with alpha 0.
  std::string error;
  if (!zelk4::kit::WritePngFile(request.output, frame.width, frame.height, frame.pixels.data(),
                                /*withAlpha=*/false, &error)) {
    std::fprintf(stderr, "zelk4-inspect scene: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int zelk4::inspect::RunScene(int argc, char** argv) {
  CLI::App app{"Load a 3DS file from disk as the engine does (textures named, not loaded) and list its\n"
               "meshes, materials and keyframer. --at evaluates cameras, targets and lights at a frame\n"
               "(wrapped into the segment; positions in scene units). A file the loader refuses ends as\n"
               "the engine ends: a fatal error, exit status 1.",
               "zelk4-inspect scene"};
  std::string input;
  bool asJson = false;
  float frame = 0.0f;
  app.add_option("FILE", input, "3DS file to load")->required();
  app.add_flag("--json", asJson, "print JSON instead of text");
  CLI::Option* at = app.add_option("--at", frame, "frame at which to evaluate the keyframer");
  RenderRequest render;
  bool force = false;
  app.add_option("--render", render.output,
                 "draw the scene as the demo does at 640x480 and write it to this PNG");
  app.add_option("--frame", render.frame,
                 "with --render: the frame to animate to (default 0); the meshes loop over at most\n"
                 "the first 50 frames, as in the demo");
  app.add_flag("--hierarchy", render.hierarchy,
               "with --render: animate as the scene's animate operation does (meshes with their parent\n"
               "links, looped over the whole segment) instead of the demo's calls");
  app.add_option("--camera", render.camera,
                 "with --render: the camera to look through (default 0; a scene without cameras is\n"
                 "seen from (0, 0, -2.5))")
      ->check(CLI::NonNegativeNumber);
  app.add_option("--eye", render.eye, "with --render: look at the origin from X Y Z instead")
      ->expected(3)->excludes("--camera");
  app.add_option("--textures", render.textures,
                 "with --render: folder holding the material textures (loaded as graphics\\NAME)")
      ->check(CLI::ExistingDirectory);
  app.add_flag("-f,--force", force, "replace the --render file if it exists");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;
  }
  if (!render.output.empty() && !force && std::filesystem::exists(render.output)) {
    std::fprintf(stderr, "zelk4-inspect scene: %s exists (use --force to replace it)\n",
                 render.output.c_str());
    return 1;
  }
  std::ifstream in(input, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "zelk4-inspect scene: cannot read %s\n", input.c_str());
    return 1;
  }
  const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

  zelk4::win::SetMessageBoxesEnabled(false);
  if (!render.output.empty()) return RenderScene(file, render);
  static D3DDemoEngineScene scene;  // 32 KB of tables: kept off the stack
  scene.SetLoadTextures(0);
  scene.Load3dsFromMemory(nullptr, file.data(), file.size());
  const json description = Describe(scene, at->count() > 0, frame);
  if (asJson) {
    std::printf("%s\n", description.dump(2).c_str());
  } else {
    PrintText(description);
  }
  return 0;
}
