// Scene drawing on the software device: which states each drawing operation touches, in what
// order, with which constants, read from the device's call log; and a drawn triangle's place.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "render/render_test_support.h"
#include "scene/scene.h"

namespace {

using zelk4::test::RenderDeviceTest;

bool StartsWith(const std::string& line, const char* prefix) { return line.rfind(prefix, 0) == 0; }

size_t CountCalls(const std::vector<std::string>& log, const char* prefix) {
  return static_cast<size_t>(
      std::count_if(log.begin(), log.end(), [&](const std::string& l) { return StartsWith(l, prefix); }));
}

// The calls of the log that start with one of the prefixes, in order, cut to their prefix.
std::vector<std::string> Sequence(const std::vector<std::string>& log,
                                  const std::vector<std::string>& prefixes) {
  std::vector<std::string> out;
  for (const std::string& line : log) {
    for (const std::string& p : prefixes) {
      if (StartsWith(line, p.c_str())) out.push_back(p);
    }
  }
  return out;
}

class SceneDrawing : public RenderDeviceTest {
 protected:
  // A triangle in the plane z = 0 around the origin, uploaded.
  MeshObj& AddTriangle() {
    MeshObj& m = *scene.meshes[scene.AddMesh()];
    m.AllocateVertices(3);
    m.AllocateVertexNormals(3);
    m.AllocateMapping(3);
    m.AllocateFaces(1);
    m.vertices[0] = {-0.5f, -0.5f, 0.0f, 0};
    m.vertices[1] = {0.0f, 0.5f, 0.0f, 0};
    m.vertices[2] = {0.5f, -0.5f, 0.0f, 0};
    m.faces[0] = {0, 1, 2, 0};
    m.ComputeNormals();
    m.Upload(&rd);
    return m;
  }

  // A keyframer with `lights` lights at fixed places; animated at frame 0.
  void AddLights(uint32_t lights) {
    scene.keyframer = new Keyframer;
    for (uint32_t i = 0; i < lights; ++i) {
      LightTrack* l = scene.keyframer->AddLightTrack();
      l->posX->addKey(0.0f, static_cast<float>(i));
      l->colorR->addKey(0.0f, 0.5f);
      for (FloatTrack* t : {l->posX, l->posY, l->posZ, l->colorR, l->colorG, l->colorB}) t->finish();
    }
    scene.animateLights(0.0f);
  }

  std::vector<std::string> LogOf(void (*draw)(D3DDemoEngineScene&, RenderDevice*)) {
    zelk4::d3d8::ClearCallLog();
    zelk4::d3d8::EnableCallLog(true);
    draw(scene, &rd);
    zelk4::d3d8::EnableCallLog(false);
    return zelk4::d3d8::CallLog();
  }

  D3DDemoEngineScene scene;
};

constexpr const char* kLightingState = "SetRenderState(LIGHTING,";

TEST_F(SceneDrawing, UnlitDrawTouchesNoLightMaterialOrLightingState) {
  AddTriangle();
  AddTriangle();
  AddLights(2);  // lights exist but must not be set
  const auto log = LogOf([](D3DDemoEngineScene& s, RenderDevice* d) { s.drawScene(d, 0); });
  EXPECT_EQ(CountCalls(log, "SetLight("), 0u);
  EXPECT_EQ(CountCalls(log, "LightEnable("), 0u);
  EXPECT_EQ(CountCalls(log, "SetMaterial("), 0u);
  EXPECT_EQ(CountCalls(log, kLightingState), 0u);
  EXPECT_EQ(CountCalls(log, "DrawIndexedPrimitive(TRIANGLELIST, 0, 3, 0, 1)"), 2u);
  // View, projection, then per mesh texture, world and its own scene pair.
  const std::vector<std::string> expected = {
      "SetTransform(VIEW,", "SetTransform(PROJECTION,",
      "SetTexture(0,", "SetTransform(WORLD,", "BeginScene", "DrawIndexedPrimitive", "EndScene",
      "SetTexture(0,", "SetTransform(WORLD,", "BeginScene", "DrawIndexedPrimitive", "EndScene"};
  EXPECT_EQ(Sequence(log, {"SetTransform(VIEW,", "SetTransform(PROJECTION,", "SetTransform(WORLD,", "SetTexture(0,",
                           "BeginScene", "DrawIndexedPrimitive", "EndScene", "SetMaterial(", "SetLight("}),
            expected);
}

TEST_F(SceneDrawing, SceneWithoutKeyframerIsDrawnWithItsViewAndProjection) {
  AddTriangle();
  scene.fieldOfView = 0.7853982f;
  scene.viewMatrix._43 = 2.0f;  // the triangle 2 units ahead
  rd.DisableLighting();  // the caller's switch, as the demo sets it
  rd.CullNone();
  scene.drawScene(&rd, 0);
  D3DMATRIX projection, view;
  rd.device->GetTransform(D3DTS_PROJECTION, &projection);
  rd.device->GetTransform(D3DTS_VIEW, &view);
  D3DXMATRIX expected;
  D3DXMatrixPerspectiveFovLH(&expected, 0.7853982f, 1.0f, 0.0001f, 4.0f);
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) EXPECT_EQ(projection.m[r][c], expected.m[r][c]) << r << c;
  }
  EXPECT_EQ(view.m[3][2], 2.0f);

  // Where the triangle lands: y = +-0.5 at depth 2 with a 45 degree field of view spans
  // 0.5 / (2 tan 22.5) of the half height; aspect 1.0 stretches x by 640 / 480.
  const std::vector<uint32_t> picture = PresentedPicture();
  const float half = 0.5f / (2.0f * std::tan(0.7853982f / 2.0f));
  const int top = static_cast<int>(240.0f - half * 240.0f), bottom = static_cast<int>(240.0f + half * 240.0f);
  const int left = static_cast<int>(320.0f - half * 320.0f), right = static_cast<int>(320.0f + half * 320.0f);
  int minX = 640, minY = 480, maxX = -1, maxY = -1;
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) {
      if ((picture[static_cast<size_t>(y) * 640 + x] & 0xFFFFFF) == 0) continue;
      minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
    }
  }
  EXPECT_NEAR(minX, left, 2);
  EXPECT_NEAR(maxX, right, 2);
  EXPECT_NEAR(minY, top, 2);
  EXPECT_NEAR(maxY, bottom, 2);
}

TEST_F(SceneDrawing, HiddenMeshesAreNotDrawnButTheCameraIsSet) {
  AddTriangle();
  AddTriangle();
  scene.HideMesh(0);
  scene.HideMesh(1);
  auto log = LogOf([](D3DDemoEngineScene& s, RenderDevice* d) { s.drawScene(d, 1); });
  EXPECT_EQ(Sequence(log, {"SetTransform(", "SetTexture(", "SetMaterial(", "BeginScene", "Draw"}),
            (std::vector<std::string>{"SetTransform(", "SetTransform("}));
  scene.ShowMesh(1);
  log = LogOf([](D3DDemoEngineScene& s, RenderDevice* d) { s.drawScene(d, 0); });
  EXPECT_EQ(CountCalls(log, "DrawIndexedPrimitive("), 1u);
}

TEST_F(SceneDrawing, LitDrawsSetMaterialsAndAtMostEightPointLights) {
  AddTriangle().material.d3dMaterial.Power = 7.0f;
  AddLights(10);
  auto log = LogOf([](D3DDemoEngineScene& s, RenderDevice* d) { s.drawSceneLit(d); });
  EXPECT_EQ(CountCalls(log, "SetLight("), 8u);
  EXPECT_EQ(CountCalls(log, "LightEnable("), 8u);
  EXPECT_EQ(CountCalls(log, "SetLight(8"), 0u);
  EXPECT_EQ(Sequence(log, {"SetTransform(PROJECTION", "SetLight(", "SetMaterial(", "SetTexture(0,",
                           "SetTransform(WORLD"}).back(),
            "SetTransform(WORLD");
  // Point light 3 at its animated place, black ambient, white specular, range 1000.
  const auto light3 = std::find_if(log.begin(), log.end(), [](const std::string& l) { return StartsWith(l, "SetLight(3,"); });
  ASSERT_NE(light3, log.end());
  EXPECT_NE(light3->find("POINT"), std::string::npos) << *light3;
  EXPECT_NE(light3->find("pos(3 0 0)"), std::string::npos) << *light3;
  EXPECT_NE(light3->find("1000"), std::string::npos) << *light3;
  D3DLIGHT8 light{};
  rd.device->GetLight(3, &light);
  EXPECT_EQ(light.Diffuse.r, 0.5f);
  EXPECT_EQ(light.Ambient.r, 0.0f);
  EXPECT_EQ(light.Specular.g, 1.0f);
  EXPECT_EQ(light.Range, 1000.0f);
  D3DMATERIAL8 material{};
  rd.device->GetMaterial(&material);
  EXPECT_EQ(material.Power, 7.0f);

  // The aspect ratio goes into the projection.
  scene.fieldOfView = 1.0f;
  scene.drawSceneLitWithAspect(&rd, 4.0f / 3.0f);
  D3DMATRIX projection;
  rd.device->GetTransform(D3DTS_PROJECTION, &projection);
  D3DXMATRIX expected;
  D3DXMatrixPerspectiveFovLH(&expected, 1.0f, 4.0f / 3.0f, 0.0001f, 4.0f);
  EXPECT_EQ(projection.m[0][0], expected.m[0][0]);

  // applyLights sets the lights and nothing else.
  log = LogOf([](D3DDemoEngineScene& s, RenderDevice* d) { s.applyLights(d); });
  EXPECT_EQ(CountCalls(log, "SetLight("), 8u);
  EXPECT_EQ(CountCalls(log, "SetTransform("), 0u);
  EXPECT_EQ(CountCalls(log, "Draw"), 0u);
}

TEST_F(SceneDrawing, LitDrawWithoutLightsLeavesTheLightingSwitchAlone) {
  AddTriangle();
  AddTriangle();
  AddLights(0);
  auto log = LogOf([](D3DDemoEngineScene& s, RenderDevice* d) { s.drawSceneLit(d); });
  EXPECT_EQ(CountCalls(log, "SetLight("), 0u);
  EXPECT_EQ(CountCalls(log, kLightingState), 0u);
  EXPECT_EQ(CountCalls(log, "SetMaterial("), 2u);
  // Without a keyframer there are no lights to set either.
  delete scene.keyframer;
  scene.keyframer = nullptr;
  log = LogOf([](D3DDemoEngineScene& s, RenderDevice* d) { s.drawSceneLit(d); });
  EXPECT_EQ(CountCalls(log, "SetLight("), 0u);
  EXPECT_EQ(CountCalls(log, "SetMaterial("), 2u);
}

}  // namespace
