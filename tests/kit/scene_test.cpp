// The kit's scene read back by the engine's 3DS loader: meshes, materials and their texture files,
// the hierarchy, cameras, and motion shaped for how the demo plays it (a burst over frames 0 to
// 50 that comes back to the pose of frame 0, cameras over a long loop).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <set>

#include "kit_files.h"
#include "scene/scene.h"

namespace zelk4::kit {
namespace {

std::unique_ptr<D3DDemoEngineScene> LoadKitScene() {
  auto scene = std::make_unique<D3DDemoEngineScene>();
  scene->SetLoadTextures(0);
  const Bytes& file = test::KitFile("3ds\\vw.3ds");
  scene->Load3dsFromMemory(nullptr, file.data(), file.size());
  return scene;
}

int32_t Index(const D3DDemoEngineScene& s, const char* name) {
  const int32_t i = s.FindMesh(name);
  EXPECT_GE(i, 0) << name;
  return i;
}

TEST(KitScene, LoadsWithEveryPartMaterialTextureAndLink) {
  const auto scene = LoadKitScene();
  const TdsScene source = VwScene();
  ASSERT_EQ(scene->meshCount, source.meshes.size());
  EXPECT_GE(scene->meshCount, 20u);
  EXPECT_EQ(scene->materialCount, source.materials.size());
  EXPECT_NEAR(scene->sceneScale, 1.0 / std::sqrt(12.0 * 12.0 * 2), 1e-4);  // the floor's corner is farthest

  std::set<std::string> files;
  for (const ArchiveEntry& e : test::KitFiles()) files.insert(e.name);
  std::set<std::string> extensions;
  for (uint32_t i = 0; i < scene->materialCount; ++i) {
    const std::string map = scene->materials[i]->textureName;
    EXPECT_TRUE(files.count("graphics\\" + map)) << map;
    extensions.insert(map.substr(map.rfind('.')));
  }
  EXPECT_EQ(extensions, (std::set<std::string>{".png", ".jpg", ".tga", ".pcx", ".pkm"}));

  for (uint32_t i = 0; i < scene->meshCount; ++i) {
    const MeshObj& m = *scene->meshes[i];
    EXPECT_GT(m.faceCount, 0u) << m.name;
    EXPECT_EQ(m.vertexCount, m.faceCount * 3) << m.name;
    bool bound = false;
    for (uint32_t k = 0; k < scene->materialCount; ++k) bound |= std::strcmp(scene->materials[k]->name, m.materialName) == 0;
    EXPECT_TRUE(bound) << m.name << " names " << m.materialName;
    for (uint32_t v = 0; v < m.vertexCount; ++v) {  // mapping stays inside one texture tile
      ASSERT_GE(m.texCoords[v].u, 0.0f);
      ASSERT_LE(m.texCoords[v].u, 1.0f);
      ASSERT_LE(m.texCoords[v].v, 0.0f);
      ASSERT_GE(m.texCoords[v].v, -1.0f);
    }
  }

  const int32_t body = Index(*scene, "Body");
  for (const char* wheel : {"TyreFL", "TyreFR", "TyreRL", "TyreRR"}) {
    EXPECT_EQ(scene->meshes[Index(*scene, wheel)]->parentIndex, body) << wheel;
  }
  EXPECT_EQ(scene->meshes[Index(*scene, "CapRR")]->parentIndex, Index(*scene, "TyreRR"));
  EXPECT_EQ(scene->meshes[Index(*scene, "Floor")]->parentIndex, -1);
}

float MaxRotationOffset(RotationTrack* r, float frame) {
  D3DXMATRIX m;
  r->evaluate(&m, frame);
  float worst = 0;
  for (int row = 0; row < 4; ++row) {
    for (int col = 0; col < 4; ++col) worst = std::max(worst, std::abs(m.m[row][col] - (row == col ? 1.0f : 0.0f)));
  }
  return worst;
}

TEST(KitScene, MeshesBurstAndComeBackToTheirPoseOfFrameZero) {
  const auto scene = LoadKitScene();
  const Keyframer& k = *scene->keyframer;
  ASSERT_EQ(k.meshTrackCount, scene->meshCount);
  int bursting = 0;
  for (uint32_t i = 0; i < k.meshTrackCount; ++i) {
    MeshTrack& t = *k.meshTracks[i];
    FloatTrack* pos[3] = {t.posX, t.posY, t.posZ};
    FloatTrack* scale[3] = {t.scaleX, t.scaleY, t.scaleZ};
    float moved = 0;
    for (int a = 0; a < 3; ++a) {
      const float rest = pos[a]->evaluate(0);
      // Just before the demo's replay wraps or holds at 50, everything is back where frame 0 has it.
      EXPECT_NEAR(pos[a]->evaluate(49.9f), rest, 0.02f) << t.name;
      EXPECT_NEAR(scale[a]->evaluate(0), 1.0f, 1e-6f) << t.name;
      EXPECT_NEAR(scale[a]->evaluate(49.9f), 1.0f, 0.01f) << t.name;
      for (float f = 1; f < 50; f += 1) moved = std::max(moved, std::abs(pos[a]->evaluate(f) - rest));
    }
    EXPECT_LT(MaxRotationOffset(t.rotation, 0), 1e-5f) << t.name;
    EXPECT_LT(MaxRotationOffset(t.rotation, 49.9f), 0.02f) << t.name;
    bursting += moved > 0.5f;
  }
  EXPECT_GE(bursting, 12) << "the car's parts fly apart";

  // The demo scales a mesh vertically by the track it calls scaleZ: the body's jump stretches it
  // upward and its landing squashes it, not sideways.
  MeshTrack& body = *k.meshTracks[Index(*scene, "Body")];
  EXPECT_GT(body.scaleZ->evaluate(4), 1.2f);
  EXPECT_LT(body.scaleZ->evaluate(22), 0.8f);
  EXPECT_NEAR(body.scaleY->evaluate(4), body.scaleX->evaluate(4), 1e-4f);

  // The wheels turn whole turns, so their rest looks the same; halfway they are mid-spin.
  EXPECT_GT(MaxRotationOffset(k.meshTracks[Index(*scene, "TyreFL")]->rotation, 25.5f), 0.3f);
}

TEST(KitScene, CamerasRunALongLoopWithMovingPositionRollAndFieldOfView) {
  const auto scene = LoadKitScene();
  const Keyframer& k = *scene->keyframer;
  EXPECT_GE(k.endFrame, 200u);
  ASSERT_GE(k.cameraCount, 4u);
  EXPECT_EQ(k.targetCount, k.cameraCount);
  int rolling = 0, zooming = 0;
  for (uint32_t i = 0; i < k.cameraCount; ++i) {
    CameraTrack& c = *k.cameraTracks[i];
    EXPECT_GE(c.posX->keyCount, 10) << c.name;
    float lowFov = 1e9f, highFov = -1e9f, lowRoll = 1e9f, highRoll = -1e9f;
    for (float f = 0; f < float(k.endFrame); f += 7.5f) {
      const float fov = c.fov->evaluate(f), roll = c.roll->evaluate(f);
      lowFov = std::min(lowFov, fov);
      highFov = std::max(highFov, fov);
      lowRoll = std::min(lowRoll, roll);
      highRoll = std::max(highRoll, roll);
      EXPECT_GT(fov, 10.0f);
      EXPECT_LT(fov, 90.0f);
      // The eye never sits on its target, nor straight above it (the view's up is fixed).
      TargetTrack& t = *k.targetTracks[i];
      const float dx = c.posX->evaluate(f) - t.posX->evaluate(f), dy = c.posY->evaluate(f) - t.posY->evaluate(f),
                  dz = c.posZ->evaluate(f) - t.posZ->evaluate(f);
      EXPECT_GT(std::hypot(dx, dz), 0.5f) << c.name << " at frame " << f;
      (void)dy;
    }
    zooming += highFov - lowFov > 5;
    rolling += highRoll - lowRoll > 5;
    // The loop closes: the end frame shows what frame 0 shows.
    EXPECT_NEAR(c.posX->evaluate(float(k.endFrame)), c.posX->evaluate(0), 1e-3f) << c.name;
  }
  EXPECT_GE(zooming, 2);
  EXPECT_GE(rolling, 2);
}

}  // namespace
}  // namespace zelk4::kit
