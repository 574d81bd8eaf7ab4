// zelk4-inspect scene: loads a 3DS file from disk through the engine's loader (textures are
// named, not loaded) and lists its meshes, materials and keyframer; with --at, the cameras,
// targets and lights evaluated at a frame as the animation does (time wrapped into the
// segment, positions in scene units).
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "command.h"
#include "platform/win/win.h"
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

int RunScene(int argc, char** argv) {
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
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;
  }
  std::ifstream in(input, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "zelk4-inspect scene: cannot read %s\n", input.c_str());
    return 1;
  }
  const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

  win::SetMessageBoxesEnabled(false);
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

bool registered = zelk4::inspect::RegisterCommand(
    {"scene", "load a 3DS scene: meshes, materials, keyframer; --at FRAME, --json", RunScene});

}  // namespace
