// Screen quads as the user sees them: the full-screen image, the veil, the alpha-tested
// overlay, camera-facing sprites, and the state a quad leaves behind.
#include <cmath>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "platform/d3dx/d3dx8.h"
#include "render/render_test_support.h"

namespace zelk4::test {
namespace {

constexpr uint32_t kWidth = 640;
constexpr uint32_t kHeight = 480;
constexpr uint32_t kBackground = 0xFF204060u;

// The quad camera sees 4.8 * tan(pi/8) units either side of the centre at z = 0.
const double kVisibleHalfExtent = 4.8 * std::tan(3.14159265358979 / 8);

class QuadDrawerTest : public RenderDeviceTest {
 protected:
  void Clear() { rd.ClearColor(255, 0x20, 0x40, 0x60); }
  // The camera and states DrawQuad uses, left in place for the sprite operations.
  void QuadCamera() {
    rd.DisableLighting();
    rd.CullNone();
    rd.DisableDepth();
    rd.SetView(0.0f, 0.0f, -4.8f, 0.0f, 0.0f, 0.0f, 0.0f);
    rd.SetProjection(0.001f, 100.0f, 0.7853982f, 1.0f);
  }
  QuadDrawer drawer;
};

// Texel (x, y) of a 1024 x 1024 texture carries its own coordinates: x in red and the low
// half of blue, y in green and the high half of blue.
uint32_t CoordinateTexel(uint32_t x, uint32_t y) {
  return 0xFF000000u | (x & 255) << 16 | (y & 255) << 8 | (x >> 8) | (y >> 8) << 2;
}
uint32_t TexelX(uint32_t p) { return ((p >> 16) & 255) | (p & 3) << 8; }
uint32_t TexelY(uint32_t p) { return ((p >> 8) & 255) | ((p >> 2) & 3) << 8; }

// A quad of half size 2.0 maps u = (x + 2) / 4 across world x, and the screen spans
// +-kVisibleHalfExtent: about 0.3 % of the image (0.6 % of the half width) is lost per edge.
// Direct3D 8 samples pixel (px, py) at the integer position itself.
std::vector<uint32_t> ExpectedFullScreen(uint32_t texels) {
  std::vector<uint32_t> picture(kWidth * kHeight);
  for (uint32_t py = 0; py < kHeight; ++py) {
    for (uint32_t px = 0; px < kWidth; ++px) {
      const double worldX = (px / (kWidth / 2.0) - 1.0) * kVisibleHalfExtent;
      const double worldY = (1.0 - py / (kHeight / 2.0)) * kVisibleHalfExtent;
      const auto tx = static_cast<uint32_t>((worldX + 2.0) / 4.0 * texels);
      const auto ty = static_cast<uint32_t>((2.0 - worldY) / 4.0 * texels);
      picture[py * kWidth + px] = CoordinateTexel(tx, ty);
    }
  }
  return picture;
}

TEST_F(QuadDrawerTest, FullScreenQuadShowsTheImageUprightLosingAThinBorder) {
  constexpr uint32_t kTexels = 1024;
  std::vector<uint32_t> pixels(kTexels * kTexels);
  for (uint32_t y = 0; y < kTexels; ++y) {
    for (uint32_t x = 0; x < kTexels; ++x) pixels[y * kTexels + x] = CoordinateTexel(x, y);
  }
  Texture image;
  image.CreateFromPixels(&rd, kTexels, kTexels, pixels.data());  // point-sampled
  const std::vector<uint32_t> expected = ExpectedFullScreen(kTexels);

  // Start-up draws with DrawQuad in opaque white; the drawer's own colour starts the same.
  for (bool fullScreenForm : {false, true}) {
    SCOPED_TRACE(fullScreenForm ? "DrawFullScreenQuad" : "DrawQuad");
    Clear();
    if (fullScreenForm) {
      drawer.DrawFullScreenQuad(&rd, &image);
    } else {
      drawer.DrawQuad(&rd, &image, 0.0f, 0.0f, 2.0f, 0xFFFFFFFFu);
    }
    const std::vector<uint32_t> actual = PresentedPicture();
    ASSERT_EQ(actual.size(), expected.size());
    // Within one texel of the ideal mapping everywhere; the top-left corner shows the lost
    // border: it starts at texel 3, not 0.
    size_t off = 0;
    for (size_t i = 0; i < actual.size(); ++i) {
      const int dx = static_cast<int>(TexelX(actual[i])) - static_cast<int>(TexelX(expected[i]));
      const int dy = static_cast<int>(TexelY(actual[i])) - static_cast<int>(TexelY(expected[i]));
      if (std::abs(dx) > 1 || std::abs(dy) > 1) ++off;
    }
    EXPECT_EQ(off, 0u) << SavePicturePair(kWidth, kHeight, expected, actual);
    EXPECT_NEAR(TexelX(actual.front()), 3, 1);
    EXPECT_NEAR(TexelY(actual.front()), 3, 1);
    EXPECT_NEAR(TexelX(actual.back()), 1019, 1);
    EXPECT_NEAR(TexelY(actual.back()), 1018, 1);
  }
  ReleaseTexture(&image);
}

TEST_F(QuadDrawerTest, NullTextureInAlpha31LaysAWhiteVeilOverTheWholeScreen) {
  Clear();
  rd.EnableAlphaBlend();
  rd.BlendAlpha();
  drawer.DrawQuad(&rd, nullptr, 0.0f, 0.0f, 2.0f, 0x1FFFFFFFu);
  const std::vector<uint32_t> actual = PresentedPicture();
  auto veiled = [](uint32_t c) { return static_cast<uint32_t>(std::lround(c * 224 / 255.0 + 31)); };
  const uint32_t pixel = 0xFF000000u | veiled(0x20) << 16 | veiled(0x40) << 8 | veiled(0x60);
  const std::vector<uint32_t> expected(kWidth * kHeight, pixel);
  EXPECT_EQ(CountDifferentPixels(expected, actual, 1), 0u)
      << SavePicturePair(kWidth, kHeight, expected, actual);
}

TEST_F(QuadDrawerTest, AlphaTestAt200KeepsOnlyTexelsOfAlpha200OrMore) {
  // Four columns of white with alphas 199, 200, 255 and 0, point-sampled.
  const uint32_t texels[4] = {0xC7FFFFFFu, 0xC8FFFFFFu, 0xFFFFFFFFu, 0x00FFFFFFu};
  Texture overlay;
  overlay.CreateFromPixels(&rd, 4, 1, texels);
  Clear();
  rd.EnableAlphaTest(200);
  drawer.DrawQuad(&rd, &overlay, 0.0f, 0.0f, 2.0f, 0xFFFFFFFFu);
  const std::vector<uint32_t> actual = PresentedPicture();
  std::vector<uint32_t> expected(kWidth * kHeight);
  for (uint32_t i = 0; i < expected.size(); ++i) {
    const uint32_t column = (i % kWidth) * 4 / kWidth;
    expected[i] = (column == 1 || column == 2) ? 0xFFFFFFFFu : kBackground;
  }
  // Only the pixels on the column borders may land either way.
  EXPECT_LE(CountDifferentPixels(expected, actual, 1), 3 * 2 * kHeight)
      << SavePicturePair(kWidth, kHeight, expected, actual);
  EXPECT_EQ(actual[240 * kWidth + 80] & 0xFFFFFFu, kBackground & 0xFFFFFFu);
  EXPECT_EQ(actual[240 * kWidth + 240] & 0xFFFFFFu, 0xFFFFFFu);
  EXPECT_EQ(actual[240 * kWidth + 560] & 0xFFFFFFu, kBackground & 0xFFFFFFu);
  ReleaseTexture(&overlay);
}

TEST_F(QuadDrawerTest, DrawQuadGivesTheViewBackAndLeavesTheQuadProjectionAndStates) {
  rd.SetView(1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 30.0f);
  D3DMATRIX before;
  rd.device->GetTransform(D3DTS_VIEW, &before);
  drawer.DrawQuad(&rd, nullptr, 0.5f, -0.5f, 0.25f, 0xFF00FF00u);

  D3DMATRIX after;
  rd.device->GetTransform(D3DTS_VIEW, &after);
  EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);

  D3DXMATRIX quadProjection;
  D3DXMatrixPerspectiveFovLH(&quadProjection, 0.7853982f, 1.0f, 0.001f, 100.0f);
  D3DMATRIX projection;
  rd.device->GetTransform(D3DTS_PROJECTION, &projection);
  EXPECT_EQ(std::memcmp(&projection, &quadProjection, sizeof projection), 0);
  EXPECT_EQ(std::memcmp(&rd.projection, &quadProjection, sizeof projection), 0);
  EXPECT_FLOAT_EQ(rd.view._43, 4.8f);  // the stored view is the quad camera's

  auto state = [&](D3DRENDERSTATETYPE s) {
    DWORD value = 0;
    rd.device->GetRenderState(s, &value);
    return value;
  };
  EXPECT_EQ(state(D3DRS_LIGHTING), static_cast<DWORD>(FALSE));
  EXPECT_EQ(state(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_NONE));
  EXPECT_EQ(state(D3DRS_ZENABLE), static_cast<DWORD>(TRUE));
  EXPECT_EQ(state(D3DRS_ZWRITEENABLE), static_cast<DWORD>(TRUE));
}

// Whatever the world rotation, the quads face the camera: the covered area stays an upright
// rectangle of the sprite's size.
TEST_F(QuadDrawerTest, SpritesFaceTheCameraUnderAnyWorldRotation) {
  QuadCamera();
  Clear();
  const Sprite sprite{0.0f, 0.0f, 0.0f, 1.0f, 0};
  drawer.DrawSprites(&rd, 0.4f, 0.9f, 0.6f, &sprite, 1, 0xFFFFFFFFu);
  const std::vector<uint32_t> actual = PresentedPicture();
  const double halfWidth = kWidth / 2.0 / kVisibleHalfExtent;   // pixels per unit
  const double halfHeight = kHeight / 2.0 / kVisibleHalfExtent;
  std::vector<uint32_t> expected(kWidth * kHeight, kBackground);
  for (uint32_t py = 0; py < kHeight; ++py) {
    for (uint32_t px = 0; px < kWidth; ++px) {
      if (std::abs(px - kWidth / 2.0) < halfWidth && std::abs(py - kHeight / 2.0) < halfHeight) {
        expected[py * kWidth + px] = 0xFFFFFFFFu;
      }
    }
  }
  // An edge pixel may fall either way; a turned quad would differ by thousands.
  EXPECT_LE(CountDifferentPixels(expected, actual, 1), 2 * (2 * halfWidth + 2 * halfHeight))
      << SavePicturePair(kWidth, kHeight, expected, actual);
}

TEST_F(QuadDrawerTest, ColouredSpritesTakeTheirOwnColoursAndStopAtTheBufferSize) {
  QuadCamera();
  Clear();
  // 4000 sprites: the buffer holds 3333. The last one drawn is red on the left; the first
  // one past the buffer would be blue on the right; the rest sit far off screen.
  std::vector<Sprite> sprites(4000, Sprite{100.0f, 100.0f, 0.0f, 0.1f, 0xFF00FF00u});
  sprites[3332] = Sprite{-1.0f, 0.0f, 0.0f, 0.5f, 0xFFFF0000u};
  sprites[3333] = Sprite{1.0f, 0.0f, 0.0f, 0.5f, 0xFF0000FFu};
  drawer.DrawSpritesColored(&rd, 0.0f, 0.0f, 0.0f, sprites.data(),
                            static_cast<uint32_t>(sprites.size()));
  const std::vector<uint32_t> actual = PresentedPicture();
  const uint32_t left = 240 * kWidth + 160;
  const uint32_t right = 240 * kWidth + 480;
  EXPECT_EQ(actual[left] & 0xFFFFFFu, 0xFF0000u);
  EXPECT_EQ(actual[right] & 0xFFFFFFu, kBackground & 0xFFFFFFu);
}

}  // namespace
}  // namespace zelk4::test
