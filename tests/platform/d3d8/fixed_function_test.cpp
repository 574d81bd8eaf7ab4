// The rest of the fixed-function pipeline against hand-computed values: point lights (distance,
// angle, attenuation, range, specular power, ambient, normalisation), generated texture
// coordinates and texture transforms, cube-face selection, point sizes, render targets, the
// R5G6B5 back buffer, lines, strips and fans, and the vertex specular colour.
//
// Most cases draw one wide point with identity matrices: camera space is then world space, the
// point's colour is its vertex's lit colour, and the pixel under it can be read directly.
#include <cmath>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "test_device.h"

namespace {

using zelk4::d3d8::test::TestDevice;

constexpr UINT kSize = 64;  // test frames are 64 x 64; (0, 0) in clip space is pixel (32, 32)

DWORD Bits(float f) {
  DWORD d;
  std::memcpy(&d, &f, 4);
  return d;
}

struct NormalVertex {
  float x, y, z, nx, ny, nz;
};

struct UvVertex {
  float x, y, z;
  float u, v;
};

int Red(uint32_t p) { return static_cast<int>((p >> 16) & 255); }
int Green(uint32_t p) { return static_cast<int>((p >> 8) & 255); }
int Blue(uint32_t p) { return static_cast<int>(p & 255); }

#define EXPECT_RGB_NEAR(pixel, r, g, b)          \
  do {                                          \
    uint32_t p_ = (pixel);                      \
    EXPECT_NEAR(Red(p_), (r), 1) << std::hex << p_;   \
    EXPECT_NEAR(Green(p_), (g), 1) << std::hex << p_; \
    EXPECT_NEAR(Blue(p_), (b), 1) << std::hex << p_;  \
  } while (0)

// A device with identity matrices, a three-pixel point size and a black frame.
class FixedFunction : public ::testing::Test {
 protected:
  FixedFunction() : device_(kSize, kSize) {
    device_->SetRenderState(D3DRS_POINTSIZE, Bits(3.0f));
    device_->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  }

  // Draws a point at camera-space position (x, y, z) with normal n; returns the pixel under it.
  uint32_t LitPoint(float x, float y, float z, float nx, float ny, float nz) {
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    NormalVertex v{x, y, z, nx, ny, nz};
    device_->SetVertexShader(D3DFVF_XYZ | D3DFVF_NORMAL);
    EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &v, sizeof v), D3D_OK);
    zelk4::test::Picture frame = device_.Frame();
    int px = static_cast<int>(std::lround((1.0f + x) * kSize / 2));
    int py = static_cast<int>(std::lround((1.0f - y) * kSize / 2));
    return frame.at(static_cast<uint32_t>(px), static_cast<uint32_t>(py));
  }

  // A point light at `position` with the given diffuse colour and attenuation.
  void PointLight(float x, float y, float z, float r, float g, float b, float a0, float a1,
                  float a2, float range = 100.0f) {
    D3DLIGHT8 light{};
    light.Type = D3DLIGHT_POINT;
    light.Position = {x, y, z};
    light.Diffuse = {r, g, b, 0};
    light.Specular = {1, 1, 1, 0};
    light.Ambient = {1, 1, 1, 0};
    light.Range = range;
    light.Attenuation0 = a0;
    light.Attenuation1 = a1;
    light.Attenuation2 = a2;
    ASSERT_EQ(device_->SetLight(0, &light), D3D_OK);
    device_->LightEnable(0, TRUE);
  }

  void Material(float ambient, float diffuse, float specular, float power) {
    D3DMATERIAL8 m{};
    m.Ambient = {ambient, ambient, ambient, 1};
    m.Diffuse = {diffuse, diffuse, diffuse, 1};
    m.Specular = {specular, specular, specular, 1};
    m.Power = power;
    device_->SetMaterial(&m);
  }

  TestDevice device_;
};

// The light sits two units in front of a surface point facing it: d = 2, and with attenuation
// (0.5, 0.25, 0.125) att = 1 / (0.5 + 0.5 + 0.5) = 2/3; diffuse (0.9, 0.6, 0.3) gives
// (0.6, 0.4, 0.2) of the material's white.
TEST_F(FixedFunction, PointLightDiffuseFollowsDistanceAngleAndAttenuation) {
  Material(0, 1, 0, 0);
  PointLight(0, 0, -1.5f, 0.9f, 0.6f, 0.3f, 0.5f, 0.25f, 0.125f);
  EXPECT_RGB_NEAR(LitPoint(0, 0, 0.5f, 0, 0, -1), 153, 102, 51);
  // The normal turned 60 degrees away from the light halves N.L.
  const float s = std::sin(1.0471976f), c = std::cos(1.0471976f);
  EXPECT_RGB_NEAR(LitPoint(0, 0, 0.5f, s, 0, -c), 77, 51, 26);
  // Facing away: no diffuse at all.
  EXPECT_RGB_NEAR(LitPoint(0, 0, 0.5f, 0, 0, 1), 0, 0, 0);
  // Only the constant term: att = 2, and the sum is clamped to the material's colour.
  PointLight(0, 0, -1.5f, 0.9f, 0.6f, 0.3f, 0.5f, 0, 0);
  EXPECT_RGB_NEAR(LitPoint(0, 0, 0.5f, 0, 0, -1), 255, 255, 153);
}

TEST_F(FixedFunction, BeyondItsRangeALightGivesNothingNotEvenAmbient) {
  Material(1, 1, 0, 0);
  PointLight(0, 0, -1.5f, 0.9f, 0.6f, 0.3f, 0.5f, 0.25f, 0.125f, 1.9f);
  EXPECT_RGB_NEAR(LitPoint(0, 0, 0.5f, 0, 0, -1), 0, 0, 0);
  // In range its ambient (1, 1, 1) counts, attenuated like the rest: 2/3 + (0.6, 0.4, 0.2).
  PointLight(0, 0, -1.5f, 0.9f, 0.6f, 0.3f, 0.5f, 0.25f, 0.125f, 2.1f);
  EXPECT_RGB_NEAR(LitPoint(0, 0, 0.5f, 0, 0, 1), 170, 170, 170);
}

TEST_F(FixedFunction, SpecularAddsOnlyWhenEnabledAndFollowsThePower) {
  Material(0, 1, 1, 2);
  PointLight(0, 0, -1.5f, 0.9f, 0.6f, 0.3f, 0.5f, 0.25f, 0.125f);
  const float s = std::sin(1.0471976f), c = std::cos(1.0471976f);
  EXPECT_RGB_NEAR(LitPoint(0, 0, 0.5f, s, 0, -c), 77, 51, 26);
  device_->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
  // Eye and light both straight ahead: H = L, N.H = 0.5, 0.5^2 * 2/3 = 1/6 added.
  EXPECT_RGB_NEAR(LitPoint(0, 0, 0.5f, s, 0, -c), 119, 94, 68);
  Material(0, 1, 1, 0);  // power 0: the full attenuated light specular
  EXPECT_RGB_NEAR(LitPoint(0, 0, 0.5f, s, 0, -c), 247, 221, 196);
}

TEST_F(FixedFunction, GlobalAmbientScalesTheMaterialAmbient) {
  Material(0.5f, 1, 0, 0);
  device_->SetRenderState(D3DRS_AMBIENT, 0x00406080);
  EXPECT_RGB_NEAR(LitPoint(0, 0, 0.5f, 0, 0, -1), 32, 48, 64);
}

TEST_F(FixedFunction, NormalizeNormalsUndoesALongNormal) {
  Material(0, 1, 0, 0);
  PointLight(0, 0, -1.5f, 0.9f, 0.6f, 0.3f, 0.5f, 0.25f, 0.125f);
  const float s = 2 * std::sin(1.0471976f), c = 2 * std::cos(1.0471976f);
  // Twice as long: N.L = 1 instead of 0.5.
  EXPECT_RGB_NEAR(LitPoint(0, 0, 0.5f, s, 0, -c), 153, 102, 51);
  device_->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE);
  EXPECT_RGB_NEAR(LitPoint(0, 0, 0.5f, s, 0, -c), 77, 51, 26);
}

// Texel (x, y) of a 4 x 4 texture: red = 64x, green = 64y.
uint32_t GridTexel(int x, int y) {
  return 0xFF000000u | (static_cast<uint32_t>(64 * x) << 16) | (static_cast<uint32_t>(64 * y) << 8);
}

TEST_F(FixedFunction, SphereMapCoordinatesComeFromCameraSpaceNormals) {
  std::vector<uint32_t> texels;
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) texels.push_back(GridTexel(x, y));
  }
  IDirect3DTexture8* texture = device_.MakeTexture(4, 4, {texels});
  device_->SetTexture(0, texture);
  device_->SetRenderState(D3DRS_LIGHTING, FALSE);
  D3DMATRIX sphere{};
  sphere._11 = 0.5f;
  sphere._22 = -0.5f;
  sphere._33 = 1;
  sphere._41 = 0.5f;
  sphere._42 = 0.5f;
  sphere._44 = 1;
  device_->SetTransform(D3DTS_TEXTURE0, &sphere);
  device_->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL);
  device_->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
  // u = 0.5 nx + 0.5, v = 0.5 - 0.5 ny.
  EXPECT_EQ(LitPoint(0, 0, 0.5f, 0.6f, 0.6f, -0.53f), GridTexel(3, 0));
  EXPECT_EQ(LitPoint(0, 0, 0.5f, -0.6f, -0.2f, -0.7f), GridTexel(0, 2));
  // The world matrix turns the normal before it is used: 90 degrees about z.
  D3DMATRIX turn{};
  turn._12 = 1;
  turn._21 = -1;
  turn._33 = 1;
  turn._44 = 1;
  device_->SetTransform(D3DTS_WORLD, &turn);
  EXPECT_EQ(LitPoint(0, 0, 0.5f, 0.6f, -0.6f, -0.53f), GridTexel(3, 0));  // (0.6, 0.6, -0.53)
  device_->SetTexture(0, nullptr);
  texture->Release();
}

TEST_F(FixedFunction, StoredCoordinatesTakeA2DTranslationFromTheThirdRow) {
  std::vector<uint32_t> texels;
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) texels.push_back(GridTexel(x, y));
  }
  IDirect3DTexture8* texture = device_.MakeTexture(4, 4, {texels});
  device_->SetTexture(0, texture);
  device_->SetRenderState(D3DRS_LIGHTING, FALSE);
  device_->SetVertexShader(D3DFVF_XYZ | D3DFVF_TEX1);
  auto draw = [&]() {
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    UvVertex v{0, 0, 0.5f, 0.1f, 0.1f};
    device_->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &v, sizeof v);
    return device_.Frame().at(32, 32);
  };
  D3DMATRIX m{};
  m._11 = m._22 = m._33 = m._44 = 1;
  m._31 = 0.5f;
  m._32 = 0.25f;
  device_->SetTransform(D3DTS_TEXTURE0, &m);
  EXPECT_EQ(draw(), GridTexel(0, 0));  // DISABLE: no transform
  device_->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
  EXPECT_EQ(draw(), GridTexel(2, 1));  // (0.6, 0.35)
  m._31 = m._32 = 0;
  m._41 = 0.5f;  // the fourth row meets the 0 after (u, v, 1): no effect
  device_->SetTransform(D3DTS_TEXTURE0, &m);
  EXPECT_EQ(draw(), GridTexel(0, 0));
  device_->SetTexture(0, nullptr);
  texture->Release();
}

// Face f's texel (x, y) of a 2 x 2 cube: red = 40 f, green = 128 x, blue = 128 y.
uint32_t CubeTexel(int face, int x, int y) {
  return 0xFF000000u | (static_cast<uint32_t>(40 * face) << 16) |
         (static_cast<uint32_t>(128 * x) << 8) | static_cast<uint32_t>(128 * y);
}

TEST_F(FixedFunction, CubeLookupsPickTheFaceOfTheLargestComponentAndItsTexel) {
  IDirect3DCubeTexture8* cube = nullptr;
  ASSERT_EQ(device_->CreateCubeTexture(2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &cube), D3D_OK);
  for (int f = 0; f < 6; ++f) {
    D3DLOCKED_RECT r;
    ASSERT_EQ(cube->LockRect(static_cast<D3DCUBEMAP_FACES>(f), 0, &r, nullptr, 0), D3D_OK);
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 2; ++x) {
        uint32_t t = CubeTexel(f, x, y);
        std::memcpy(static_cast<uint8_t*>(r.pBits) + y * r.Pitch + 4 * x, &t, 4);
      }
    }
    cube->UnlockRect(static_cast<D3DCUBEMAP_FACES>(f), 0);
  }
  device_->SetTexture(0, cube);
  device_->SetRenderState(D3DRS_LIGHTING, FALSE);
  device_->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL);
  device_->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT3);
  struct Case {
    float x, y, z;
    int face, s, t;
  };
  const Case cases[] = {
      {1, 0.5f, 0.5f, D3DCUBEMAP_FACE_POSITIVE_X, 0, 0},
      {1, -0.5f, -0.5f, D3DCUBEMAP_FACE_POSITIVE_X, 1, 1},
      {-1, 0.5f, 0.5f, D3DCUBEMAP_FACE_NEGATIVE_X, 1, 0},
      {0.5f, 1, -0.5f, D3DCUBEMAP_FACE_POSITIVE_Y, 1, 0},
      {0.5f, -1, -0.5f, D3DCUBEMAP_FACE_NEGATIVE_Y, 1, 1},
      {-0.5f, 0.5f, 1, D3DCUBEMAP_FACE_POSITIVE_Z, 0, 0},
      {-0.5f, -0.5f, -1, D3DCUBEMAP_FACE_NEGATIVE_Z, 1, 1},
      {0.2f, -3, 0.1f, D3DCUBEMAP_FACE_NEGATIVE_Y, 1, 0},  // length does not matter
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LitPoint(0, 0, 0.5f, c.x, c.y, c.z), CubeTexel(c.face, c.s, c.t))
        << c.x << " " << c.y << " " << c.z;
  }
  // The reflection of the eye ray (0, 0, 1) off the unit normal (0.3, 0.2, -0.9327) is
  // (0.56, 0.37, -0.74): the -z face, top-left texel.
  device_->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR);
  EXPECT_EQ(LitPoint(0, 0, 0.5f, 0.3f, 0.2f, -0.9327f), CubeTexel(D3DCUBEMAP_FACE_NEGATIVE_Z, 0, 0));
  // Off the normal straight at the eye it comes back at the eye: the -z face's far corner.
  EXPECT_EQ(LitPoint(0, 0, 0.5f, -0.1f, -0.1f, -1), CubeTexel(D3DCUBEMAP_FACE_NEGATIVE_Z, 1, 1));
  device_->SetTexture(0, nullptr);
  cube->Release();
}

// Width in pixels of what a white point at (0, 0, 0.5) lights on its row.
int PointWidth(TestDevice& device) {
  struct V {
    float x, y, z;
    D3DCOLOR c;
  } v{0, 0, 0.5f, 0xFFFFFFFF};
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  device->SetVertexShader(D3DFVF_XYZ | D3DFVF_DIFFUSE);
  device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &v, sizeof v);
  zelk4::test::Picture frame = device.Frame();
  int width = 0;
  for (uint32_t x = 0; x < kSize; ++x) width += frame.at(x, 32) == 0xFFFFFFFF ? 1 : 0;
  return width;
}

TEST_F(FixedFunction, ScaledPointSizesFollowABCAndTheClamps) {
  device_->SetRenderState(D3DRS_LIGHTING, FALSE);
  device_->SetRenderState(D3DRS_POINTSCALEENABLE, TRUE);
  device_->SetRenderState(D3DRS_POINTSIZE, Bits(0.25f));
  // size = 64 * 0.25 * sqrt(1 / (A + B d + C d^2)), d = 0.5 from the eye.
  struct Case {
    float a, b, c;
    int width;
  };
  const Case cases[] = {{1, 0, 0, 16}, {0.25f, 0, 0, 32}, {0, 2, 0, 16}, {0, 0, 16, 8}, {0, 1, 2, 16}};
  for (const Case& c : cases) {
    device_->SetRenderState(D3DRS_POINTSCALE_A, Bits(c.a));
    device_->SetRenderState(D3DRS_POINTSCALE_B, Bits(c.b));
    device_->SetRenderState(D3DRS_POINTSCALE_C, Bits(c.c));
    EXPECT_EQ(PointWidth(device_), c.width) << c.a << " " << c.b << " " << c.c;
  }
  device_->SetRenderState(D3DRS_POINTSIZE_MIN, Bits(20.0f));  // 8 becomes 20
  EXPECT_EQ(PointWidth(device_), 20);
  device_->SetRenderState(D3DRS_POINTSIZE_MIN, Bits(0.0f));
  device_->SetRenderState(D3DRS_POINTSCALE_A, Bits(0.25f));
  device_->SetRenderState(D3DRS_POINTSCALE_C, Bits(0.0f));
  device_->SetRenderState(D3DRS_POINTSIZE_MAX, Bits(9.0f));  // 32 becomes 9
  EXPECT_EQ(PointWidth(device_), 9);
  // Unscaled, the size is in pixels and the clamps still hold.
  device_->SetRenderState(D3DRS_POINTSCALEENABLE, FALSE);
  device_->SetRenderState(D3DRS_POINTSIZE, Bits(12.0f));
  EXPECT_EQ(PointWidth(device_), 9);
  device_->SetRenderState(D3DRS_POINTSIZE_MAX, Bits(64.0f));
  EXPECT_EQ(PointWidth(device_), 12);
}

TEST_F(FixedFunction, PointSpritesSpreadTheTextureOverTheSquare) {
  IDirect3DTexture8* texture =
      device_.MakeTexture(2, 2, {{0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF}});
  device_->SetTexture(0, texture);
  device_->SetRenderState(D3DRS_LIGHTING, FALSE);
  device_->SetRenderState(D3DRS_POINTSPRITEENABLE, TRUE);
  device_->SetRenderState(D3DRS_POINTSIZE, Bits(16.0f));
  device_->SetVertexShader(D3DFVF_XYZ | D3DFVF_TEX1);
  UvVertex v{0, 0, 0.5f, 0.9f, 0.9f};  // its own coordinates are replaced
  device_->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &v, sizeof v);
  zelk4::test::Picture frame = device_.Frame();
  EXPECT_EQ(frame.at(25, 25), 0xFFFF0000u);  // the square is 24..39
  EXPECT_EQ(frame.at(38, 25), 0xFF00FF00u);
  EXPECT_EQ(frame.at(25, 38), 0xFF0000FFu);
  EXPECT_EQ(frame.at(38, 38), 0xFFFFFFFFu);
  EXPECT_EQ(frame.at(23, 30), 0u);
  device_->SetTexture(0, nullptr);
  texture->Release();
}

TEST(D3D8RenderTarget, DrawnIntoATextureAndReadBackThroughIt) {
  TestDevice device(kSize, kSize);
  IDirect3DTexture8* target = nullptr;
  ASSERT_EQ(device->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                  D3DPOOL_DEFAULT, &target),
            D3D_OK);
  IDirect3DSurface8 *level = nullptr, *back = nullptr, *depth = nullptr;
  ASSERT_EQ(target->GetSurfaceLevel(0, &level), D3D_OK);
  device->GetRenderTarget(&back);
  device->GetDepthStencilSurface(&depth);
  ASSERT_EQ(device->SetRenderTarget(level, depth), D3D_OK);
  D3DVIEWPORT8 vp{};
  device->GetViewport(&vp);
  EXPECT_EQ(vp.Width, 16u);  // the viewport follows the new target
  EXPECT_EQ(vp.Height, 16u);
  device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0);
  device.DrawRect(4, 2, 12, 6, 0.5f, 0xFF00FF00);  // pre-transformed, in target pixels
  ASSERT_EQ(device->SetRenderTarget(back, depth), D3D_OK);
  device->GetViewport(&vp);
  EXPECT_EQ(vp.Width, kSize);

  // Texels to pixels one to one: the quad's edges on pixel boundaries.
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  device->SetTexture(0, target);
  device.DrawScreen({{-0.5f, -0.5f, 0.5f, 1, 0xFFFFFFFF, 0, 0},
                     {15.5f, -0.5f, 0.5f, 1, 0xFFFFFFFF, 1, 0},
                     {-0.5f, 15.5f, 0.5f, 1, 0xFFFFFFFF, 0, 1},
                     {15.5f, -0.5f, 0.5f, 1, 0xFFFFFFFF, 1, 0},
                     {15.5f, 15.5f, 0.5f, 1, 0xFFFFFFFF, 1, 1},
                     {-0.5f, 15.5f, 0.5f, 1, 0xFFFFFFFF, 0, 1}});
  zelk4::test::Picture frame = device.Frame();
  for (uint32_t y = 0; y < 16; ++y) {
    for (uint32_t x = 0; x < 16; ++x) {
      bool green = x >= 4 && x < 12 && y >= 2 && y < 6;
      EXPECT_EQ(frame.at(x, y), green ? 0xFF00FF00u : 0xFFFF0000u) << x << "," << y;
    }
  }
  EXPECT_EQ(frame.at(20, 20), 0xFF000000u);
  device->SetTexture(0, nullptr);
  level->Release();
  back->Release();
  depth->Release();
  target->Release();
}

// The same picture drawn into R5G6B5 and into A8R8G8B8 differs by at most one step of the
// 5- and 6-bit channels (blending reads the 16-bit destination back).
TEST(D3D8Rgb565, ASceneDrawnIntoA16BitBackBuffer) {
  auto draw = [](D3DFORMAT format) {
    TestDevice device(kSize, kSize, format);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF8040C0, 1.0f, 0);
    device.DrawScreen({{4, 4, 0.5f, 1, 0xFFFF0000, 0, 0},
                       {60, 8, 0.5f, 1, 0xFF00FF00, 1, 0},
                       {10, 58, 0.5f, 1, 0xFF0000FF, 0, 1}});
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device.DrawRect(20, 20, 50, 50, 0.5f, 0x80FFFFFF);
    return device.Frame();
  };
  zelk4::test::Picture wide = draw(D3DFMT_A8R8G8B8), narrow = draw(D3DFMT_R5G6B5);
  // The clear colour widened back: 0x80 -> 16 of 31 -> 0x84, 0x40 -> 16 of 63 -> 0x41, 0xC0 -> 23 of 31 -> 0xBD.
  EXPECT_EQ(narrow.at(62, 62), 0xFF8441BDu);
  int worst = 0;
  for (size_t i = 0; i < wide.pixels.size(); ++i) {
    for (int shift : {0, 8, 16}) {
      int d = std::abs(static_cast<int>((wide.pixels[i] >> shift) & 255) -
                       static_cast<int>((narrow.pixels[i] >> shift) & 255));
      worst = std::max(worst, d);
    }
  }
  EXPECT_LE(worst, 8);
}

struct ColourVertex {
  float x, y, z, rhw;
  D3DCOLOR c;
};

// Pixels of colour c in a frame, as (x, y) pairs in row order.
std::vector<std::pair<int, int>> Lit(const zelk4::test::Picture& f, uint32_t c) {
  std::vector<std::pair<int, int>> out;
  for (uint32_t y = 0; y < f.height; ++y) {
    for (uint32_t x = 0; x < f.width; ++x) {
      if (f.at(x, y) == c) out.emplace_back(static_cast<int>(x), static_cast<int>(y));
    }
  }
  return out;
}

TEST(D3D8Lines, OnePixelPerColumnFromTheFirstEndAndTheLastOnlyWithLastPixel) {
  TestDevice device(16, 16);
  device->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
  device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
  auto draw = [&](std::vector<ColourVertex> v, D3DPRIMITIVETYPE type, UINT count) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    device->DrawPrimitiveUP(type, count, v.data(), sizeof(ColourVertex));
    return Lit(device.Frame(), 0xFFFFFFFF);
  };
  const D3DCOLOR w = 0xFFFFFFFF;
  using P = std::vector<std::pair<int, int>>;
  // LASTPIXEL is TRUE by default.
  EXPECT_EQ(draw({{2, 3, 0, 1, w}, {6, 3, 0, 1, w}}, D3DPT_LINELIST, 1),
            (P{{2, 3}, {3, 3}, {4, 3}, {5, 3}, {6, 3}}));
  device->SetRenderState(D3DRS_LASTPIXEL, FALSE);
  EXPECT_EQ(draw({{2, 3, 0, 1, w}, {6, 3, 0, 1, w}}, D3DPT_LINELIST, 1),
            (P{{2, 3}, {3, 3}, {4, 3}, {5, 3}}));
  // Drawn the other way it starts at the other end.
  EXPECT_EQ(draw({{6, 3, 0, 1, w}, {2, 3, 0, 1, w}}, D3DPT_LINELIST, 1),
            (P{{3, 3}, {4, 3}, {5, 3}, {6, 3}}));
  // A y-major line: one pixel per row, x rounded from the line (1, 1.67, 2.33).
  EXPECT_EQ(draw({{1, 1, 0, 1, w}, {3, 4, 0, 1, w}}, D3DPT_LINELIST, 1),
            (P{{1, 1}, {2, 2}, {2, 3}}));
  // A strip lights each corner once: the end of one line is the start of the next.
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
  std::vector<ColourVertex> strip = {{2, 8, 0, 1, 0xFF404040}, {8, 8, 0, 1, 0xFF404040},
                                     {8, 14, 0, 1, 0xFF404040}};
  device->DrawPrimitiveUP(D3DPT_LINESTRIP, 2, strip.data(), sizeof(ColourVertex));
  zelk4::test::Picture f = device.Frame();
  EXPECT_EQ(f.at(8, 8), 0xFF404040u);
  EXPECT_EQ(f.at(8, 13), 0xFF404040u);
  EXPECT_EQ(f.at(8, 14), 0u);
  EXPECT_EQ(Lit(f, 0xFF404040).size(), 12u);
}

TEST(D3D8Lines, ClippedAtTheNearPlane) {
  TestDevice device(16, 16);
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  device->SetRenderState(D3DRS_LASTPIXEL, FALSE);
  struct V {
    float x, y, z;
    D3DCOLOR c;
  } v[2] = {{-0.75f, 0.1f, -1.0f, 0xFFFFFFFF}, {0.75f, 0.1f, 0.5f, 0xFFFFFFFF}};
  device->SetVertexShader(D3DFVF_XYZ | D3DFVF_DIFFUSE);
  device->DrawPrimitiveUP(D3DPT_LINELIST, 1, v, sizeof(V));
  auto lit = Lit(device.Frame(), 0xFFFFFFFF);
  ASSERT_FALSE(lit.empty());
  // z reaches 0 two thirds of the way along, at x = 0.25: screen column 10; nothing left of it.
  EXPECT_EQ(lit.front().first, 10);
  EXPECT_EQ(lit.back().first, 13);
}

// Lines through wild coordinates are dropped or clipped, never drawn out of bounds.
TEST(D3D8Lines, WildEndsAreClippedOrDropped) {
  TestDevice device(16, 16);
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  const float inf = INFINITY, nan = NAN;
  struct V {
    float x, y, z;
    D3DCOLOR c;
  };
  const V ends[][2] = {{{nan, 0, 0.5f, ~0u}, {0.5f, 0, 0.5f, ~0u}},
                       {{-inf, 0, 0.5f, ~0u}, {0.5f, 0, 0.5f, ~0u}},
                       {{-1e30f, 0.2f, 0.5f, ~0u}, {1e30f, 0.3f, 0.5f, ~0u}},
                       {{0, 0, 1e-30f, ~0u}, {0, 0, 2.0f, ~0u}},
                       {{0.25f, 0.25f, 0.5f, ~0u}, {0.25f, 0.25f, 0.5f, ~0u}}};
  device->SetVertexShader(D3DFVF_XYZ | D3DFVF_DIFFUSE);
  for (const auto& line : ends) {
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_LINELIST, 1, line, sizeof(V)), D3D_OK);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_LINESTRIP, 1, line, sizeof(V)), D3D_OK);
  }
  // A long line across the frame is cut to it: one pixel in every column.
  const V across[2] = {{-1e4f, 0.2f, 0.5f, ~0u}, {1e4f, 0.3f, 0.5f, ~0u}};
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
  device->DrawPrimitiveUP(D3DPT_LINELIST, 1, across, sizeof(V));
  EXPECT_EQ(Lit(device.Frame(), 0xFFFFFFFF).size(), 16u);
}

// A strip and a fan wound clockwise keep every triangle under counter-clockwise culling.
TEST(D3D8Assembly, StripsAndFansKeepOneFacing) {
  TestDevice device(16, 16);
  device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
  device->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
  const D3DCOLOR w = 0xFFFFFFFF;
  std::vector<ColourVertex> strip = {{0, 8, 0, 1, w}, {0, 0, 0, 1, w}, {4, 8, 0, 1, w},
                                     {4, 0, 0, 1, w}, {8, 8, 0, 1, w}, {8, 0, 0, 1, w}};
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
  device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 4, strip.data(), sizeof(ColourVertex));
  EXPECT_EQ(Lit(device.Frame(), w).size(), 64u);  // 8 x 8
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
  device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 4, strip.data(), sizeof(ColourVertex));
  EXPECT_TRUE(Lit(device.Frame(), w).empty());
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
  std::vector<ColourVertex> fan = {{8, 8, 0, 1, w}, {0, 0, 0, 1, w}, {16, 0, 0, 1, w},
                                   {16, 16, 0, 1, w}, {0, 16, 0, 1, w}, {0, 0, 0, 1, w}};
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
  device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 4, fan.data(), sizeof(ColourVertex));
  EXPECT_EQ(Lit(device.Frame(), w).size(), 256u);
}

TEST(D3D8Specular, TheVertexSpecularColourIsAddedWhenEnabled) {
  TestDevice device(8, 8);
  device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
  struct V {
    float x, y, z, rhw;
    D3DCOLOR diffuse, specular;
  };
  const V quad[6] = {{-0.5f, -0.5f, 0, 1, 0xFF806040, 0xFF40C0C0}, {7.5f, -0.5f, 0, 1, 0xFF806040, 0xFF40C0C0},
                     {-0.5f, 7.5f, 0, 1, 0xFF806040, 0xFF40C0C0}, {7.5f, -0.5f, 0, 1, 0xFF806040, 0xFF40C0C0},
                     {7.5f, 7.5f, 0, 1, 0xFF806040, 0xFF40C0C0},  {-0.5f, 7.5f, 0, 1, 0xFF806040, 0xFF40C0C0}};
  device->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR);
  device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, quad, sizeof(V));
  EXPECT_EQ(device.Frame().at(4, 4), 0xFF806040u);
  device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
  device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, quad, sizeof(V));
  EXPECT_EQ(device.Frame().at(4, 4), 0xFFC0FFFFu);  // added and clamped; alpha untouched
}

// Lit, a vertex specular colour stands in for the material's own (SPECULARMATERIALSOURCE COLOR2).
TEST_F(FixedFunction, LitSpecularTakesTheVertexSpecularColour) {
  Material(0, 0, 1, 0);
  PointLight(0, 0, -1.5f, 0, 0, 0, 0.5f, 0.25f, 0.125f);
  device_->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
  struct V {
    float x, y, z, nx, ny, nz;
    D3DCOLOR specular;
  } v{0, 0, 0.5f, 0, 0, -1, 0xFF3060C0};
  device_->SetVertexShader(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_SPECULAR);
  device_->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &v, sizeof v);
  // att 2/3 times the light's white specular times (0x30, 0x60, 0xC0).
  EXPECT_RGB_NEAR(device_.Frame().at(32, 32), 32, 64, 128);
}

}  // namespace
