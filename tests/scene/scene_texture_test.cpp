// Material textures through the texture layer: a scene packed in a data archive with its
// texture loads it onto the device and every mesh bound to the material shares it.
#include <gtest/gtest.h>

#include "render/render_test_support.h"
#include "scene/scene.h"
#include "support/corpus.h"

namespace {

class SceneTextures : public zelk4::test::RenderDeviceTest {
 protected:
  // Data.rar with "3ds\jeep1.3ds" and "graphics\jeep1.jpg" from the corpus.
  static std::vector<zelk4::test::ArchiveFile> JeepFiles() {
    const auto dir = zelk4::test::CorpusPath("3ds");
    return {{"3ds\\jeep1.3ds", zelk4::test::ReadFileBytes(dir / "jeep1.3ds")},
            {"graphics\\jeep1.jpg", zelk4::test::ReadFileBytes(dir / "jeep1.jpg")}};
  }
};

TEST_F(SceneTextures, JeepLoadsItsJpegWhenPackedWithIt) {
  ZELK4_REQUIRE_CORPUS("3ds");
  zelk4::test::ScopedDataArchive archive(JeepFiles());
  D3DDemoEngineScene scene;
  scene.Load3ds(&rd, "3ds\\jeep1.3ds");

  ASSERT_EQ(scene.materialCount, 1u);
  Texture* texture = scene.materials[0]->texture;
  ASSERT_NE(texture->d3dTexture, nullptr);
  EXPECT_EQ(texture->filtered, 1);
  EXPECT_EQ(texture->mipmapped, 0);
  uint32_t width = 0, height = 0;
  zelk4::test::ReadLevel(texture->d3dTexture, 0, &width, &height);
  EXPECT_EQ(width, 512u);
  EXPECT_EQ(height, 512u);
  for (uint32_t i = 0; i < scene.meshCount; ++i) EXPECT_EQ(scene.meshes[i]->material.texture, texture);
  ReleaseTexture(texture);
}

TEST_F(SceneTextures, MipLevelsAreAskedForWhenSet) {
  ZELK4_REQUIRE_CORPUS("3ds");
  zelk4::test::ScopedDataArchive archive(JeepFiles());
  D3DDemoEngineScene scene;
  scene.SetTextureMipLevels(4);
  scene.Load3ds(&rd, "3ds\\jeep1.3ds");
  Texture* texture = scene.materials[0]->texture;
  ASSERT_NE(texture->d3dTexture, nullptr);
  EXPECT_EQ(texture->mipmapped, 1);
  EXPECT_EQ(texture->mipLevels, 4);
  ReleaseTexture(texture);
}

TEST_F(SceneTextures, SceneMissingFromTheArchiveIsFatal) {
  zelk4::test::ScopedDataArchive archive({{"graphics\\other.png", {1, 2, 3}}});
  EXPECT_EXIT(
      {
        D3DDemoEngineScene scene;
        scene.Load3ds(&rd, "3ds\\vw.3ds");
      },
      ::testing::ExitedWithCode(1), "3ds load error: Unable to load 3ds file from data file");
  EXPECT_EXIT(
      {
        MeshObj mesh;
        mesh.Load3ds("3ds\\vw.3ds");
      },
      ::testing::ExitedWithCode(1), "3ds load error: Unable to load 3ds file from data file");
}

}  // namespace
