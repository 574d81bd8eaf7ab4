// Material textures through the texture layer: a scene packed in a data archive with its
// texture loads it onto the device and every mesh bound to the material shares it.
#include <gtest/gtest.h>

#include "render/render_test_support.h"
#include "scene/chunk_writer.h"
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

// A scene of materials, each naming its texture maps in order ({"a.png"}: one MAT_TEXMAP with
// one name; {"a.png", "b.png"}: two MAT_TEXMAP chunks), and one mesh.
std::vector<uint8_t> MaterialScene(const std::vector<std::vector<std::string>>& materials,
                                   bool twoNamesInOneMap = false) {
  zelk4::test::ChunkWriter w;
  w.Begin(0x4D4D).Begin(0x3D3D);
  for (size_t m = 0; m < materials.size(); ++m) {
    w.Begin(0xAFFF).StrChunk(0xA000, "M" + std::to_string(m));
    if (twoNamesInOneMap) w.Begin(0xA200);
    for (const std::string& map : materials[m]) {
      if (!twoNamesInOneMap) w.Begin(0xA200);
      w.StrChunk(0xA300, map);
      if (!twoNamesInOneMap) w.End();
    }
    if (twoNamesInOneMap) w.End();
    w.End();
  }
  w.Begin(0x4000).Str("box").Begin(0x4100).Points({0, 0, 0, 1, 0, 0, 0, 1, 0}).End().End();
  w.End().End();
  return w.bytes;
}

constexpr uint32_t kRed = 0xFFFF0000u, kBlue = 0xFF0000FFu;

std::vector<uint8_t> CutPng() {
  std::vector<uint8_t> png = zelk4::test::EncodePng(16, 16, std::vector<uint32_t>(256, kRed));
  png.resize(png.size() / 2);
  return png;
}

class SceneTextureRecords : public zelk4::test::RenderDeviceTest {
 protected:
  void SetUp() override {
    RenderDeviceTest::SetUp();
    archive_ = std::make_unique<zelk4::test::ScopedDataArchive>(std::vector<zelk4::test::ArchiveFile>{
        {"graphics\\a.png", zelk4::test::EncodePng(4, 4, std::vector<uint32_t>(16, kRed))},
        {"graphics\\b.png", zelk4::test::EncodePng(2, 2, std::vector<uint32_t>(4, kBlue))},
        {"graphics\\cut.png", CutPng()}});
  }
  void TearDown() override {
    // The engine never releases textures; the test gives back what the device made.
    for (uint32_t i = 0; i < rd.textureCache->count; ++i) ReleaseTexture(rd.textureCache->slots[i]);
    archive_.reset();
    RenderDeviceTest::TearDown();
  }
  static uint32_t TopLeftTexel(const Texture* texture) {
    uint32_t width = 0, height = 0;
    return zelk4::test::ReadLevel(texture->d3dTexture, 0, &width, &height).at(0);
  }

  std::unique_ptr<zelk4::test::ScopedDataArchive> archive_;
};

// A material naming a second map replaces its record, but the cache still points at the first
// one: a later material naming the first file must get that file's texture, read from a record
// that is still alive (a freed one is reused for the next record of its size).
TEST_F(SceneTextureRecords, ASecondMapNameKeepsTheFirstRecordTheCacheHolds) {
  for (const bool oneMapChunk : {false, true}) {
    SCOPED_TRACE(oneMapChunk ? "two names in one map chunk" : "two map chunks");
    const std::vector<uint8_t> file = MaterialScene({{"a.png", "b.png"}, {"a.png"}}, oneMapChunk);
    auto scene = std::make_unique<D3DDemoEngineScene>();
    scene->Load3dsFromMemory(&rd, file.data(), file.size());
    ASSERT_EQ(scene->materialCount, 2u);
    EXPECT_EQ(TopLeftTexel(scene->materials[0]->texture), kBlue);
    EXPECT_EQ(TopLeftTexel(scene->materials[1]->texture), kRed);
    EXPECT_EQ(rd.textureCache->count, 2u);
  }
}

// A tool that destroys a scene and loads another on the same device: the cache's slots still
// point at the first scene's records.
TEST_F(SceneTextureRecords, ADestroyedSceneLeavesTheCacheItsRecords) {
  const std::vector<uint8_t> file = MaterialScene({{"a.png"}, {"b.png"}});
  auto first = std::make_unique<D3DDemoEngineScene>();
  first->Load3dsFromMemory(&rd, file.data(), file.size());
  IDirect3DTexture8* const loaded = first->materials[0]->texture->d3dTexture;
  first.reset();

  auto second = std::make_unique<D3DDemoEngineScene>();
  second->Load3dsFromMemory(&rd, file.data(), file.size());
  EXPECT_EQ(second->materials[0]->texture->d3dTexture, loaded);
  EXPECT_EQ(TopLeftTexel(second->materials[0]->texture), kRed);
  EXPECT_EQ(TopLeftTexel(second->materials[1]->texture), kBlue);
  EXPECT_EQ(rd.textureCache->count, 2u);
}

// A damaged material texture stops the load with the texture layer's message naming the file.
TEST_F(SceneTextureRecords, ADamagedMaterialTextureStopsWithTheLoadMessage) {
  zelk4::test::CaptureFatalErrors capture;
  const std::vector<uint8_t> file = MaterialScene({{"a.png"}, {"cut.png"}});
  auto scene = std::make_unique<D3DDemoEngineScene>();
  try {
    scene->Load3dsFromMemory(&rd, file.data(), file.size());
    ADD_FAILURE() << "a damaged texture should stop the load";
  } catch (const zelk4::test::FatalEnd& end) {
    EXPECT_EQ(end.caption, "Texture error");
    EXPECT_EQ(end.text, "Unable to load : graphics\\cut.png");
  }
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
