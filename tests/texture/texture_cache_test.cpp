// Textures loaded from the data archive and the cache that shares them.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kit/image_writers.h"
#include "render/render_test_support.h"

namespace zelk4::test {
namespace {

std::vector<uint32_t> Checkerboard(uint32_t width, uint32_t height) {
  std::vector<uint32_t> pixels(width * height);
  for (uint32_t i = 0; i < pixels.size(); ++i) {
    pixels[i] = ((i % width + i / width) % 2) ? 0x80FF0000u : 0xFF0000FFu;
  }
  return pixels;
}

// The first `keep` bytes of a file (0: half of it).
std::vector<uint8_t> Cut(std::vector<uint8_t> file, size_t keep) {
  file.resize(keep != 0 ? keep : file.size() / 2);
  return file;
}

std::vector<uint8_t> CheckerboardJpeg() {
  kit::Picture picture(64, 64);
  picture.pixels = Checkerboard(64, 64);
  return kit::WriteJpeg(picture, 90);
}

// An 8x8 24-bit TGA, red over blue, stored top row first (origin bit set) behind a
// four-byte identification field.
std::vector<uint8_t> RedOverBlueTga() {
  std::vector<uint8_t> tga = {4, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 8, 0, 8, 0, 24, 0x20, 'f', 'l', 'a', 'g'};
  for (int i = 0; i < 64; ++i) {
    const bool red = i < 32;
    tga.insert(tga.end(), {static_cast<uint8_t>(red ? 0 : 255), 0, static_cast<uint8_t>(red ? 255 : 0)});
  }
  return tga;
}

class TextureLoad : public RenderDeviceTest {
 protected:
  void SetUp() override {
    RenderDeviceTest::SetUp();
    archive_ = std::make_unique<ScopedDataArchive>(std::vector<ArchiveFile>{
        {"graphics\\a.png", EncodePng(16, 8, Checkerboard(16, 8))},
        {"graphics\\b.png", EncodePng(4, 4, Checkerboard(4, 4))},
        {"graphics\\broken.png", {0x42, 0x00, 0x13, 0x37, 0x00, 0x00}},
        {"graphics\\loading.png", Cut(EncodePng(64, 64, Checkerboard(64, 64)), 100)},
        {"graphics\\cut.jpg", Cut(CheckerboardJpeg(), 0)},
        {"graphics\\flag.tga", RedOverBlueTga()},
    });
  }
  void TearDown() override {
    for (IDirect3DTexture8* texture : made_) texture->Release();
    archive_.reset();
    RenderDeviceTest::TearDown();
  }
  // A load that creates a texture; the test gives it back at the end. (A copy from the cache
  // owns nothing.)
  void LoadNew(Texture* texture, const char* name, uint8_t levels = 0) {
    levels == 0 ? texture->Load(&rd, name) : texture->Load(&rd, name, levels);
    made_.push_back(texture->d3dTexture);
  }

  std::unique_ptr<ScopedDataArchive> archive_;
  std::vector<IDirect3DTexture8*> made_;
};

TEST_F(TextureLoad, AFileTextureKeepsTheImageAndIsMarkedFiltered) {
  Texture a;
  LoadNew(&a, "graphics\\a.png");
  ASSERT_NE(a.d3dTexture, nullptr);
  EXPECT_EQ(a.filtered, 1);
  EXPECT_EQ(a.mipmapped, 0);
  EXPECT_EQ(a.mipLevels, 1);
  EXPECT_EQ(a.d3dTexture->GetLevelCount(), 1u);
  uint32_t width = 0;
  uint32_t height = 0;
  EXPECT_EQ(ReadLevel(a.d3dTexture, 0, &width, &height), Checkerboard(16, 8));
}

TEST_F(TextureLoad, OneFileLoadedTwiceSharesOneTextureAndOneEntry) {
  Texture first;
  Texture second;
  LoadNew(&first, "graphics\\a.png");
  second.Load(&rd, "graphics\\a.png");
  EXPECT_EQ(second.d3dTexture, first.d3dTexture);
  EXPECT_EQ(second.filtered, 1);
  EXPECT_EQ(second.mipLevels, 1);
  EXPECT_EQ(rd.textureCache->count, 1u);
  EXPECT_EQ(rd.textureCache->slots[0], &first);  // the record that loaded it, not a copy
}

// The cache key is the exact name and the level count.
TEST_F(TextureLoad, LevelCountAndLetterCaseMakeSeparateEntries) {
  Texture one;
  Texture four;
  Texture upper;
  LoadNew(&one, "graphics\\a.png");
  LoadNew(&four, "graphics\\a.png", 4);
  LoadNew(&upper, "GRAPHICS\\A.PNG");  // the archive finds it; the cache does not
  EXPECT_EQ(rd.textureCache->count, 3u);
  EXPECT_NE(four.d3dTexture, one.d3dTexture);
  EXPECT_NE(upper.d3dTexture, one.d3dTexture);
  EXPECT_EQ(four.mipmapped, 1);
  EXPECT_EQ(four.mipLevels, 4);
  EXPECT_EQ(four.d3dTexture->GetLevelCount(), 4u);

  Texture again;
  again.Load(&rd, "graphics\\a.png", 4);
  EXPECT_EQ(again.d3dTexture, four.d3dTexture);
  EXPECT_EQ(rd.textureCache->count, 3u);
}

TEST_F(TextureLoad, FindNeedsTheWholeNameAndNeverMatchesAnEmptyOne) {
  Texture record;
  record.mipLevels = 1;
  rd.textureCache->Add("graphics\\a.png", &record);
  rd.textureCache->Add("", &record);
  Texture probe;
  EXPECT_FALSE(rd.textureCache->Find("graphics\\a.pn", 1, &probe));
  EXPECT_FALSE(rd.textureCache->Find("graphics\\a.png2", 1, &probe));
  EXPECT_FALSE(rd.textureCache->Find("", 1, &probe));
  EXPECT_TRUE(rd.textureCache->Find("graphics\\a.png", 1, &probe));
}

TEST_F(TextureLoad, The1025thDistinctTextureIsFatal) {
  std::vector<Texture> records(TextureCache::kSlots);
  for (uint32_t i = 0; i < TextureCache::kSlots; ++i) {
    records[i].mipLevels = 1;
    rd.textureCache->Add(("t" + std::to_string(i)).c_str(), &records[i]);
  }
  Texture another;
  another.Load(&rd, "t5");  // a hit still works when the cache is full
  EXPECT_EQ(rd.textureCache->count, TextureCache::kSlots);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(another.Load(&rd, "graphics\\b.png"), ::testing::ExitedWithCode(1),
              "Fatal error: No more slots in texture cache");
}

TEST_F(TextureLoad, MissingUndecodableAndOverlongNamesStopWithTheLoadMessage) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  Texture t;
  EXPECT_EXIT(t.Load(&rd, "graphics\\missing.png"), ::testing::ExitedWithCode(1),
              "Texture error: Unable to load : graphics.missing\\.png");
  EXPECT_EXIT(t.Load(&rd, "graphics\\broken.png", 2), ::testing::ExitedWithCode(1),
              "Texture error: Unable to load : graphics.broken\\.png");
  // A name that does not fit a cache slot is refused, not cut into the cache.
  CaptureFatalErrors capture;
  const std::string overlong = "graphics\\" + std::string(250, 'x') + ".png";
  try {
    t.Load(&rd, overlong.c_str());
    ADD_FAILURE() << "an overlong name should be fatal";
  } catch (const FatalEnd& end) {
    EXPECT_EQ(end.caption, "Texture error");
    EXPECT_EQ(end.text.rfind("Unable to load : graphics\\xxx", 0), 0u);
  }
  EXPECT_EQ(rd.textureCache->count, 0u);
}

// A texture file made for the original platform shows in its true colours: a 24-bit TGA whose
// top row is stored first is drawn red at the top and blue at the bottom.
TEST_F(TextureLoad, A24BitTgaIsDrawnInItsTrueColoursTheRightWayUp) {
  Texture flag;
  LoadNew(&flag, "graphics\\flag.tga");
  QuadDrawer quads;
  rd.ClearColor(255, 0, 0, 0);
  quads.DrawQuad(&rd, &flag, 0.0f, 0.0f, 2.0f, 0xFFFFFFFFu);
  const std::vector<uint32_t> frame = PresentedPicture();
  EXPECT_EQ(frame[60 * 640 + 320] & 0xFFFFFFu, 0xFF0000u);
  EXPECT_EQ(frame[420 * 640 + 320] & 0xFFFFFFu, 0x0000FFu);
}

// A damaged picture fails the D3DX call, so the load stops with its own message naming the file
// (a loading screen cut to 100 bytes, a JPEG cut in half), never with the image reader's.
TEST_F(TextureLoad, ADamagedPictureStopsWithTheLoadMessageNamingTheFile) {
  CaptureFatalErrors capture;
  for (const std::string name : {"graphics\\loading.png", "graphics\\cut.jpg"}) {
    Texture t;
    try {
      t.Load(&rd, name.c_str());
      ADD_FAILURE() << name << " should not load";
    } catch (const FatalEnd& end) {
      EXPECT_EQ(end.caption, "Texture error");
      EXPECT_EQ(end.text, "Unable to load : " + name);
    }
  }
  EXPECT_EQ(rd.textureCache->count, 0u);
}

}  // namespace
}  // namespace zelk4::test
