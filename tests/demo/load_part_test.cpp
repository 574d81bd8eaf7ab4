// LoadPart on the kit's Data.rar (in the build folder), then frames of the real scene.
#include <filesystem>
#include <set>

#include <gtest/gtest.h>

#include "base/runtime_rand.h"
#include "demo/demo.h"
#include "platform/d3d8/d3d8.h"
#include "platform/win/win.h"
#include "scene/scene.h"

namespace {

TEST(DemoLoadPart, LoadsEverythingDraws300RandomValuesAndTheSceneShows) {
  if (!std::filesystem::exists("Data.rar")) GTEST_SKIP() << "no Data.rar in the working folder";
  zelk4::d3d8::ResetControls();
  zelk4::d3d8::PresentOffscreen();
  zelk4::win::SetMessageBoxesEnabled(false);
  renderDevice.Init(nullptr, 640, 480, 0);
  SeedRuntimeRand(1);

  LoadPart();

  ASSERT_GT(scene->meshCount, 0u);
  ASSERT_NE(scene->keyframer, nullptr);
  EXPECT_GT(scene->keyframer->cameraCount, 0u);
  EXPECT_EQ(scene->textureMipLevels, 8u);
  for (uint32_t i = 0; i < scene->meshCount; ++i) EXPECT_NE(scene->meshes[i]->vertexBuffer, nullptr);
  for (const Texture* overlay : overlays) EXPECT_NE(overlay->d3dTexture, nullptr);
  EXPECT_NE(particleTexture->d3dTexture, nullptr);

  // 100 points, x then y then z from consecutive draws, in [-0.75, 0.75), plain positions only.
  ASSERT_EQ(particles->vertexCount, 100u);
  EXPECT_FLOAT_EQ(particles->vertices[0].x, (41.0f / 4096.0f - 0.5f) * 1.5f);
  EXPECT_FLOAT_EQ(particles->vertices[0].y, ((18467 & 4095) / 4096.0f - 0.5f) * 1.5f);
  for (uint32_t i = 0; i < 100; ++i) {
    for (float c : {particles->vertices[i].x, particles->vertices[i].y, particles->vertices[i].z}) {
      EXPECT_GE(c, -0.75f);
      EXPECT_LT(c, 0.75f);
    }
  }
  EXPECT_EQ(particles->useDiffuse + particles->useNormals + particles->useTexCoords, 0);
  EXPECT_NE(particles->vertexBuffer, nullptr);
  // The generator has moved on by exactly 300 draws.
  uint32_t state = 1;
  for (int i = 0; i < 301; ++i) state = state * 214013u + 2531011u;
  EXPECT_EQ(RuntimeRand(), static_cast<int>((state >> 16) & 32767u));

  // Once the opening flash has faded, the frame shows the scene in many colours.
  for (int i = 0; i < 40; ++i) PartFrame(20.0f);
  renderDevice.Present();
  const std::vector<uint32_t>& pixels = zelk4::d3d8::LastPresentedFrame().pixels;
  std::set<uint32_t> colours(pixels.begin(), pixels.end());
  EXPECT_GT(colours.size(), 200u);
  // The engine never gives textures back (the process ends); the test releases each through the
  // cache slot of the record that loaded it, before the device frees the records it took over.
  for (uint32_t i = 0; i < renderDevice.textureCache->count; ++i) {
    Texture* record = renderDevice.textureCache->slots[i];
    if (record->d3dTexture != nullptr) record->d3dTexture->Release();
    record->d3dTexture = nullptr;
  }
  renderDevice.Release();
  zelk4::d3d8::ResetControls();
}

}  // namespace
