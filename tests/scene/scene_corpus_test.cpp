// Real 3DS files against the lib3ds dumps beside them: meshes, counts, first points, materials,
// texture names and camera positions at their first keys.
#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/win/win.h"
#include "scene/scene.h"
#include "support/corpus.h"

namespace {

struct DumpMesh {
  std::string name;
  uint32_t vertices = 0;
  uint32_t faces = 0;
  std::vector<float> firstPoint;  // file axes, file units
  std::vector<std::string> faceMaterials;
};

struct DumpCamera {
  std::string name;
  float position[3] = {};
  float target[3] = {};
  float fov = 0.0f;
};

struct Dump {
  std::vector<std::string> materials;
  std::vector<std::string> textures;
  std::vector<DumpMesh> meshes;
  std::vector<DumpCamera> cameras;
};

bool ReadTriple(const std::string& line, float out[3]) {
  const size_t open = line.find('(');
  return open != std::string::npos &&
         std::sscanf(line.c_str() + open, "(%f, %f, %f)", &out[0], &out[1], &out[2]) == 3;
}

// Reads the parts of a lib3ds dump the loader's results can be compared with.
Dump ReadDump(const std::filesystem::path& path) {
  Dump dump;
  std::ifstream in(path);
  std::string line;
  std::string section;
  bool wantPoint = false;
  while (std::getline(in, line)) {
    if (line.rfind("Dumping ", 0) == 0) {
      section = line;
      continue;
    }
    char name[256];
    unsigned v = 0, f = 0;
    if (section == "Dumping materials:") {
      if (line.rfind("  name:", 0) == 0) dump.materials.push_back(line.substr(line.find_first_not_of(' ', 7)));
      if (line.rfind("    name:", 0) == 0 && line.size() > 9) {
        const size_t at = line.find_first_not_of(' ', 9);
        if (at != std::string::npos && dump.textures.size() < dump.materials.size()) {
          dump.textures.push_back(line.substr(at));
        }
      }
    } else if (section == "Dumping meshes:") {
      if (std::sscanf(line.c_str(), "  %255s vertices=%u faces=%u", name, &v, &f) == 3) {
        dump.meshes.push_back(DumpMesh{name, v, f, {}, {}});
      } else if (line == "  point list:") {
        wantPoint = true;
      } else if (wantPoint) {
        float p[3];
        if (std::sscanf(line.c_str(), "%f %f %f", &p[0], &p[1], &p[2]) == 3) {
          dump.meshes.back().firstPoint.assign(p, p + 3);
        }
        wantPoint = false;
      } else if (line.find("material:\"") != std::string::npos) {
        const size_t open = line.find("material:\"") + 10;
        dump.meshes.back().faceMaterials.push_back(line.substr(open, line.rfind('"') - open));
      }
    } else if (section == "Dumping cameras:") {
      if (line.rfind("  name:", 0) == 0) {
        dump.cameras.push_back(DumpCamera{line.substr(line.find_first_not_of(' ', 7))});
      } else if (line.rfind("  position:", 0) == 0) {
        ReadTriple(line, dump.cameras.back().position);
      } else if (line.rfind("  target", 0) == 0) {
        ReadTriple(line, dump.cameras.back().target);
      } else if (line.rfind("  fov:", 0) == 0) {
        dump.cameras.back().fov = std::stof(line.substr(6));
      }
    }
  }
  return dump;
}

class SceneCorpus : public ::testing::TestWithParam<const char*> {};

TEST_P(SceneCorpus, AgreesWithTheDump) {
  ZELK4_REQUIRE_CORPUS("3ds");
  zelk4::win::SetMessageBoxesEnabled(false);
  const auto dir = zelk4::test::CorpusPath("3ds");
  const std::vector<uint8_t> bytes = zelk4::test::ReadFileBytes(dir / GetParam());
  ASSERT_FALSE(bytes.empty());
  const Dump dump = ReadDump(dir / "lib3ds-dump" / (std::string(GetParam()) + ".txt"));
  ASSERT_FALSE(dump.meshes.empty());

  D3DDemoEngineScene scene;
  scene.SetLoadTextures(0);
  scene.Load3dsFromMemory(nullptr, bytes.data(), bytes.size());

  // Materials too are listed by name in the dump.
  ASSERT_EQ(scene.materialCount, dump.materials.size());
  for (uint32_t i = 0; i < scene.materialCount; ++i) {
    const auto match = std::find(dump.materials.begin(), dump.materials.end(), scene.materials[i]->name);
    ASSERT_NE(match, dump.materials.end()) << scene.materials[i]->name;
    const size_t at = static_cast<size_t>(match - dump.materials.begin());
    EXPECT_EQ(scene.materials[i]->textureName, at < dump.textures.size() ? dump.textures[at] : "");
  }

  // The dump lists meshes by name; the scene keeps file order.
  ASSERT_EQ(scene.meshCount, dump.meshes.size());
  for (uint32_t i = 0; i < scene.meshCount; ++i) {
    const MeshObj& m = *scene.meshes[i];
    const auto match = std::find_if(dump.meshes.begin(), dump.meshes.end(),
                                    [&](const DumpMesh& d) { return d.name == m.name; });
    ASSERT_NE(match, dump.meshes.end()) << m.name;
    const DumpMesh& d = *match;
    SCOPED_TRACE(d.name);
    EXPECT_EQ(m.name, d.name);
    EXPECT_EQ(m.vertexCount, d.vertices);
    EXPECT_EQ(m.faceCount, d.faces);
    EXPECT_EQ(m.nodeId, static_cast<int16_t>(i));
    ASSERT_EQ(d.firstPoint.size(), 3u);
    // Engine (x, y, z) = file (x, z, y), in unit-sphere units.
    const float tolerance = 1e-5f * std::max(1.0f, std::fabs(d.firstPoint[0]) + std::fabs(d.firstPoint[1]) +
                                                      std::fabs(d.firstPoint[2]));
    EXPECT_NEAR(m.vertices[0].x / scene.sceneScale, d.firstPoint[0], tolerance);
    EXPECT_NEAR(m.vertices[0].y / scene.sceneScale, d.firstPoint[2], tolerance);
    EXPECT_NEAR(m.vertices[0].z / scene.sceneScale, d.firstPoint[1], tolerance);
    // The last material group's name is one of the faces' materials ("" without groups).
    bool found = false;
    for (const std::string& f : d.faceMaterials) found = found || f == m.materialName;
    EXPECT_TRUE(found || d.faceMaterials.empty()) << m.materialName;
    for (uint32_t v = 0; v < m.vertexCount; ++v) {
      const VertexNormal& n = m.vertexNormals[v];
      const float length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
      ASSERT_TRUE(std::fabs(length - 1.0f) < 1e-4f || length == 0.0f) << v;
    }
  }
  float largest = 0.0f;
  for (uint32_t i = 0; i < scene.meshCount; ++i) {
    for (uint32_t v = 0; v < scene.meshes[i]->vertexCount; ++v) {
      const MeshVertex& p = scene.meshes[i]->vertices[v];
      largest = std::max(largest, std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z));
    }
  }
  EXPECT_NEAR(largest, 1.0f, 1e-6f);

  // The dump shows the camera objects of the scene data, which exporters write at the current
  // time. Where that is the first key's state (all but TargetCameraAnim.3ds, saved at a later
  // frame), the keyframer's first keys must give the same camera; the fov agrees in all (the
  // roll does not: a camera object holds no roll key).
  const bool objectsAtFirstKey = std::string(GetParam()) != "TargetCameraAnim.3ds";
  const uint32_t cameras = scene.keyframer ? scene.keyframer->cameraCount : 0;
  ASSERT_EQ(cameras, dump.cameras.size());
  for (uint32_t i = 0; i < cameras; ++i) {
    const Keyframer& kf = *scene.keyframer;
    EXPECT_EQ(kf.cameraTracks[i]->name, dump.cameras[i].name);
    ASSERT_LT(i, kf.targetCount);
    const float first = kf.cameraTracks[i]->posX->first->frame;
    float x, y, z, roll, fov;
    kf.EvaluateCamera(first, 1.0f, kf.endFrame, i, &x, &y, &z, &roll, &fov);
    EXPECT_NEAR(fov, dump.cameras[i].fov, 1e-4f);
    if (!objectsAtFirstKey) continue;
    const float* p = dump.cameras[i].position;
    EXPECT_NEAR(x, p[0], 1e-3f);
    EXPECT_NEAR(y, p[2], 1e-3f);
    EXPECT_NEAR(z, p[1], 1e-3f);
    kf.EvaluateTarget(kf.targetTracks[i]->posX->first->frame, 1.0f, kf.endFrame, i, &x, &y, &z);
    const float* t = dump.cameras[i].target;
    EXPECT_NEAR(x, t[0], 1e-3f);
    EXPECT_NEAR(y, t[2], 1e-3f);
    EXPECT_NEAR(z, t[1], 1e-3f);
  }
}

INSTANTIATE_TEST_SUITE_P(Files, SceneCorpus,
                         ::testing::Values("CameraRollAnim.3ds", "RotatingCube.3DS", "TargetCameraAnim.3ds",
                                           "fels.3ds", "jeep1.3ds", "test1.3ds"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

}  // namespace
