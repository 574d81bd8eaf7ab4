// Keyframer records, time wrapping and the scene's inspection operations.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "platform/win/win.h"
#include "scene/scene.h"
#include "support/corpus.h"

namespace {

TEST(SceneKeyframer, RecordsStartWithEmptyTracks) {
  Keyframer kf;
  CameraTrack* camera = kf.AddCameraTrack();
  MeshTrack* mesh = kf.AddMeshTrack();
  LightTrack* light = kf.AddLightTrack();
  TargetTrack* target = kf.AddTargetTrack();
  EXPECT_EQ(kf.cameraTracks[0], camera);
  EXPECT_EQ(kf.targetTracks[0], target);
  EXPECT_EQ(kf.cameraCount + kf.targetCount + kf.meshTrackCount + kf.lightCount, 4u);
  EXPECT_EQ(camera->fov->evaluate(3.0f), 0.0f);
  EXPECT_EQ(mesh->rotation->keyCount, 0u);
  EXPECT_EQ(mesh->pivot[2], 0.0f);
  EXPECT_EQ(light->colorB->keyCount, 0);
  EXPECT_STREQ(target->name, "");
}

TEST(SceneKeyframer, WrapFrameKeepsTheFraction) {
  EXPECT_FLOAT_EQ(WrapFrame(250.25f, 100), 50.25f);
  EXPECT_FLOAT_EQ(WrapFrame(99.9f, 100), 99.9f);
  EXPECT_FLOAT_EQ(WrapFrame(100.0f, 100), 0.0f);
  EXPECT_FLOAT_EQ(WrapFrame(-0.5f, 100), -0.5f);
  // A negative whole part wraps as its unsigned 32-bit value: 2^32 - 1 = 95 (mod 100).
  EXPECT_FLOAT_EQ(WrapFrame(-1.0f, 100), 95.0f);
  // No loop length, or a time too large to truncate: unwrapped.
  EXPECT_FLOAT_EQ(WrapFrame(250.25f, 0), 250.25f);
  EXPECT_FLOAT_EQ(WrapFrame(1e20f, 100), 1e20f);
}

TEST(SceneKeyframer, CameraIndexPastTheTableLeavesOutputs) {
  Keyframer kf;
  kf.AddCameraTrack()->posX->addKey(0.0f, 4.0f);
  float x = -1, y = -1, z = -1, roll = -1, fov = -1;
  kf.EvaluateCamera(0.0f, 0.5f, 0, 1, &x, &y, &z, &roll, &fov);
  EXPECT_EQ(x, -1.0f);
  kf.EvaluateCamera(0.0f, 0.5f, 0, 0, &x, &y, &z, &roll, &fov);
  EXPECT_EQ(x, 2.0f);
  EXPECT_EQ(fov, 0.0f);
  kf.EvaluateTarget(0.0f, 1.0f, 0, 0, &x, &y, &z);
  EXPECT_EQ(x, 2.0f);
}

// Two meshes: "Body" (8 verts, 12 faces) and "Wheel" (24, 12), the wheel a child of the body.
void MakeTwoMeshes(D3DDemoEngineScene& scene) {
  scene.AddMesh();
  scene.AddMesh();
  std::snprintf(scene.meshes[0]->name, kSceneNameSize, "Body");
  std::snprintf(scene.meshes[1]->name, kSceneNameSize, "Wheel");
  scene.meshes[0]->AllocateVertices(8);
  scene.meshes[0]->AllocateFaces(12);
  scene.meshes[1]->AllocateVertices(24);
  scene.meshes[1]->AllocateFaces(12);
  scene.meshes[1]->parentIndex = 0;
}

TEST(SceneReports, StatisticsDump) {
  D3DDemoEngineScene scene;
  MakeTwoMeshes(scene);
  const auto path = zelk4::test::TestOutputDir() / "scene_statistics.txt";
  scene.WriteStatistics(path.c_str());
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(),
            "Object0000 : Body -> 8 verts and 12 faces.\n"
            "Object0001 : Wheel -> 24 verts and 12 faces.\n"
            "\n"
            "Total number of meshes : 2\n"
            "Total number of verts : 32\n"
            "Total number of faces : 24\n");
  std::remove(path.c_str());
  scene.WriteStatistics((zelk4::test::TestOutputDir() / "no/such/folder/x.txt").c_str());  // no crash
}

TEST(SceneReports, HierarchyReportShowsOneBoxPerLink) {
  zelk4::win::SetMessageBoxesEnabled(false);
  D3DDemoEngineScene scene;
  MakeTwoMeshes(scene);
  ::testing::internal::CaptureStderr();
  scene.HierarchyReport();
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Hireacy info: Wheel is child of Body\n");
}

TEST(SceneReports, FindShowAndHide) {
  D3DDemoEngineScene scene;
  MakeTwoMeshes(scene);
  EXPECT_EQ(scene.FindMesh("Wheel"), 1);
  EXPECT_EQ(scene.FindMesh("Whee"), -1);  // a prefix is not a match
  EXPECT_EQ(scene.FindMesh("wheel"), -1);
  scene.HideMesh(-1);
  scene.HideMesh(7);
  EXPECT_EQ(scene.meshes[0]->visible, 1);
  EXPECT_EQ(scene.meshes[1]->visible, 1);
  scene.HideMesh(1);
  EXPECT_EQ(scene.meshes[1]->visible, 0);
  scene.ShowMesh(1);
  EXPECT_EQ(scene.meshes[1]->visible, 1);
  scene.SetTextureMipLevels(0x108);
  EXPECT_EQ(scene.textureMipLevels, 8u);
}

}  // namespace
