// Textures from pixel arrays, render-target textures and cube textures.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "render/render_test_support.h"
#include "texture/texture_internal.h"

namespace zelk4::test {
namespace {

// Each pixel names its own position, so a level shows which source pixel it took.
std::vector<uint32_t> PositionPixels(uint32_t width, uint32_t height) {
  std::vector<uint32_t> pixels(width * height);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) pixels[y * width + x] = 0xFF000000u | y << 12 | x;
  }
  return pixels;
}

TEST(TextureMipRule, LevelsStopAtEightPixelsOnTheLargerSide) {
  struct Case {
    uint32_t width, height;
    uint8_t wanted;
    uint32_t levels;
  };
  const Case cases[] = {
      {64, 16, 8, 4},   {256, 256, 8, 6}, {256, 256, 3, 3}, {16, 64, 8, 4},
      {256, 256, 0, 6},  // 0: as many as the rule allows
      {5, 5, 1, 1},     {3, 2, 4, 1},     {1, 1, 0, 1},     // small images: one level
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReducedMipLevels(c.width, c.height, c.wanted), c.levels)
        << c.width << "x" << c.height << " asking " << int(c.wanted);
  }
}

using TexturePixels = RenderDeviceTest;

// Every level takes the top-left source pixel of its block; a size that does not halve evenly
// (25 x 9) gets Direct3D's level sizes, never more words than a level holds.
TEST_F(TexturePixels, MipLevelsArePointSampledFromTheSource) {
  for (auto [width, height, wanted] : {std::tuple{64u, 16u, 8}, std::tuple{25u, 9u, 2}}) {
    const std::vector<uint32_t> source = PositionPixels(width, height);
    Texture texture;
    texture.CreateMipmappedFromPixels(&rd, width, height, source.data(), uint8_t(wanted));
    EXPECT_EQ(texture.width, width);
    EXPECT_EQ(texture.height, height);
    EXPECT_EQ(texture.mipmapped, 0);  // only file loads set the flags
    const uint32_t levels = texture.d3dTexture->GetLevelCount();
    EXPECT_EQ(levels, ReducedMipLevels(width, height, uint8_t(wanted)));
    for (uint32_t level = 0; level < levels; ++level) {
      uint32_t w = 0;
      uint32_t h = 0;
      const std::vector<uint32_t> got = ReadLevel(texture.d3dTexture, level, &w, &h);
      EXPECT_EQ(w, std::max(width >> level, 1u));
      EXPECT_EQ(h, std::max(height >> level, 1u));
      std::vector<uint32_t> expected(w * h);
      for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
          expected[y * w + x] = source[(y << level) * width + (x << level)];
        }
      }
      EXPECT_EQ(got, expected) << width << "x" << height << " level " << level;
    }
    ReleaseTexture(&texture);
  }
}

TEST_F(TexturePixels, RenderTargetTextureIsDrawnIntoAndTheBackBufferComesBack) {
  Texture target;
  target.CreateRenderTarget(&rd, 64, 32);
  EXPECT_EQ(target.width, 0u);  // size and flags are left as they were
  D3DSURFACE_DESC desc{};
  target.d3dTexture->GetLevelDesc(0, &desc);
  EXPECT_EQ(desc.Usage, static_cast<DWORD>(D3DUSAGE_RENDERTARGET));
  EXPECT_EQ(desc.Pool, D3DPOOL_DEFAULT);
  EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);

  rd.SetRenderTargetTexture(&target);
  rd.ClearColor(255, 10, 20, 30);
  rd.RestoreRenderTarget();
  // A default-pool target cannot be locked: show it on the screen instead.
  rd.ClearColor(255, 0, 0, 0);
  QuadDrawer drawer;
  drawer.DrawQuad(&rd, &target, 0.0f, 0.0f, 2.0f, 0xFFFFFFFFu);
  EXPECT_EQ(PresentedPicture()[240 * 640 + 320] & 0xFFFFFFu, 0x0A141Eu);
  IDirect3DSurface8* current = nullptr;
  rd.device->GetRenderTarget(&current);
  EXPECT_EQ(current, backBufferSurface);
  current->Release();
  ReleaseTexture(&target);

  GTEST_FLAG_SET(death_test_style, "threadsafe");
  Texture none;
  EXPECT_EXIT(rd.SetRenderTargetTexture(&none), ::testing::ExitedWithCode(1),
              "D3D error: Unable to change render target");
}

class CubeTextures : public RenderDeviceTest {
 protected:
  void SetUp() override {
    RenderDeviceTest::SetUp();
    archive_ = std::make_unique<ScopedDataArchive>(std::vector<ArchiveFile>{
        {"env\\sky.png", EncodePng(256, 256, PositionPixels(256, 256))},
        {"env\\wide.png", EncodePng(256, 128, PositionPixels(256, 128))},
        {"env\\small.png", EncodePng(128, 128, PositionPixels(128, 128))},
        {"env\\tall.png", EncodePng(128, 256, PositionPixels(128, 256))},
    });
    cube.Create(&rd);
  }
  void TearDown() override {
    if (cube.d3dCubeTexture != nullptr) cube.d3dCubeTexture->Release();
    archive_.reset();
    RenderDeviceTest::TearDown();
  }
  std::vector<uint32_t> Face(uint32_t face) {
    D3DLOCKED_RECT locked{};
    cube.d3dCubeTexture->LockRect(static_cast<D3DCUBEMAP_FACES>(face), 0, &locked, nullptr, 0);
    std::vector<uint32_t> words(256 * 256);
    for (uint32_t y = 0; y < 256; ++y) {
      std::memcpy(&words[y * 256], static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch, 1024);
    }
    cube.d3dCubeTexture->UnlockRect(static_cast<D3DCUBEMAP_FACES>(face), 0);
    for (uint32_t& w : words) w &= 0xFFFFFFu;  // an X8R8G8B8 face keeps no alpha
    return words;
  }

  CubeTexture cube;
  std::unique_ptr<ScopedDataArchive> archive_;
};

TEST_F(CubeTextures, FacesAre256SquareIn32BitsAndFilledFromTheImage) {
  D3DSURFACE_DESC desc{};
  cube.d3dCubeTexture->GetLevelDesc(0, &desc);
  EXPECT_EQ(desc.Width, 256u);
  EXPECT_TRUE(desc.Format == D3DFMT_X8R8G8B8 || desc.Format == D3DFMT_A8R8G8B8);
  EXPECT_EQ(cube.d3dCubeTexture->GetLevelCount(), 1u);

  std::vector<uint32_t> image = PositionPixels(256, 256);
  for (uint32_t& w : image) w &= 0xFFFFFFu;
  const std::vector<uint32_t> empty(256 * 256, 0);

  cube.LoadFace(&rd, "env\\sky.png", 2);
  for (uint32_t face = 0; face < 6; ++face) {
    EXPECT_EQ(Face(face) == image, face == 2) << "face " << face;
  }
  cube.LoadFaces(&rd, "env\\sky.png");
  for (uint32_t face = 0; face < 6; ++face) EXPECT_EQ(Face(face), image) << "face " << face;
}

// The width is tested first, then squareness.
TEST_F(CubeTextures, FaceImagesOfOtherSizesStopWithTheirMessages) {
  CaptureFatalErrors capture;
  const std::pair<const char*, const char*> cases[] = {
      {"env\\wide.png", "Cube textures must be square"},
      {"env\\small.png", "Cube textures must be 256*256"},
      {"env\\tall.png", "Cube textures must be 256*256"},
  };
  for (const auto& [file, message] : cases) {
    try {
      cube.LoadFaces(&rd, file);
      ADD_FAILURE() << file << " should be fatal";
    } catch (const FatalEnd& end) {
      EXPECT_EQ(end.text, message) << file;
      EXPECT_EQ(end.caption, "Texture error");
    }
  }
}

}  // namespace
}  // namespace zelk4::test
