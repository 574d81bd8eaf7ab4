// Per-pixel rules against hand-computed values: depth tests and writes, alpha test, blend
// factors, texture stage operations, texture filtering and mip level choice.
#include <gtest/gtest.h>

#include "test_device.h"

namespace {

using zelk4::d3d8::test::ScreenVertex;
using zelk4::d3d8::test::TestDevice;

constexpr D3DCOLOR kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF;

// A device with blending, culling and lighting out of the way and a cleared target.
void Plain(TestDevice& d, D3DCOLOR clear = 0xFF000000) {
  d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  d->SetRenderState(D3DRS_LIGHTING, FALSE);
  d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, clear, 1.0f, 0);
}

TEST(D3D8Depth, LessEqualKeepsTheNearerAndLetsAnEqualDepthThrough) {
  TestDevice d(4, 4);
  Plain(d);
  d.DrawRect(0, 0, 4, 4, 0.5f, kRed);
  d.DrawRect(0, 0, 4, 4, 0.7f, kGreen);  // farther: hidden
  EXPECT_EQ(d.Frame().at(1, 1), kRed);
  d.DrawRect(0, 0, 4, 4, 0.5f, kBlue);   // equal: passes LESSEQUAL (the default)
  EXPECT_EQ(d.Frame().at(1, 1), kBlue);
  d->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
  d.DrawRect(0, 0, 4, 4, 0.5f, kGreen);  // equal: fails LESS
  EXPECT_EQ(d.Frame().at(1, 1), kBlue);
}

TEST(D3D8Depth, WriteOffTestsButLeavesTheDepthBufferAlone) {
  TestDevice d(4, 4);
  Plain(d);
  d->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
  d.DrawRect(0, 0, 4, 4, 0.3f, kRed);
  EXPECT_EQ(d.Frame().at(2, 2), kRed);
  d.DrawRect(0, 0, 4, 4, 0.5f, kGreen);  // still passes: the depth is still 1.0
  EXPECT_EQ(d.Frame().at(2, 2), kGreen);
  d->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
  d->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
  d.DrawRect(0, 0, 4, 4, 0.9f, kBlue);  // no test and no write with depth off
  EXPECT_EQ(d.Frame().at(2, 2), kBlue);
  d->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
  d.DrawRect(0, 0, 4, 4, 0.95f, kRed);
  EXPECT_EQ(d.Frame().at(2, 2), kRed);
}

TEST(D3D8Depth, EveryComparisonAgainstAStoredDepth) {
  struct Case {
    DWORD func;
    bool nearer, equal, farther;
  } cases[] = {
      {D3DCMP_NEVER, false, false, false},       {D3DCMP_LESS, true, false, false},
      {D3DCMP_EQUAL, false, true, false},        {D3DCMP_LESSEQUAL, true, true, false},
      {D3DCMP_GREATER, false, false, true},      {D3DCMP_NOTEQUAL, true, false, true},
      {D3DCMP_GREATEREQUAL, false, true, true},  {D3DCMP_ALWAYS, true, true, true},
  };
  for (D3DFORMAT depth : {D3DFMT_D24X8, D3DFMT_D16}) {
    for (const Case& c : cases) {
      TestDevice d(6, 2, D3DFMT_A8R8G8B8, depth);
      Plain(d);
      d.DrawRect(0, 0, 6, 2, 0.5f, kRed);  // stored depth 0.5 everywhere
      d->SetRenderState(D3DRS_ZFUNC, c.func);
      d.DrawRect(0, 0, 2, 2, 0.25f, kGreen);
      d.DrawRect(2, 0, 4, 2, 0.5f, kGreen);
      d.DrawRect(4, 0, 6, 2, 0.75f, kGreen);
      zelk4::test::Picture frame = d.Frame();
      EXPECT_EQ(frame.at(0, 0) == kGreen, c.nearer) << "func " << c.func << " depth " << depth;
      EXPECT_EQ(frame.at(2, 0) == kGreen, c.equal) << "func " << c.func << " depth " << depth;
      EXPECT_EQ(frame.at(4, 0) == kGreen, c.farther) << "func " << c.func << " depth " << depth;
    }
  }
}

TEST(D3D8AlphaTest, GreaterEqual200KeepsAlpha200AndUpAndRejectedPixelsWriteNoDepth) {
  TestDevice d(6, 2);
  Plain(d);
  d->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  d->SetRenderState(D3DRS_ALPHAREF, 200);
  d->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
  d.DrawRect(0, 0, 2, 2, 0.2f, 0xC7FF0000);  // alpha 199
  d.DrawRect(2, 0, 4, 2, 0.2f, 0xC8FF0000);  // alpha 200
  d.DrawRect(4, 0, 6, 2, 0.2f, 0xFFFF0000);
  zelk4::test::Picture frame = d.Frame();
  EXPECT_EQ(frame.at(0, 0), 0xFF000000u);
  EXPECT_EQ(frame.at(2, 0), 0xC8FF0000u);
  EXPECT_EQ(frame.at(4, 0), 0xFFFF0000u);
  // The rejected rectangle left the depth at 1.0, so a farther one still shows there.
  d->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
  d.DrawRect(0, 0, 6, 2, 0.5f, kGreen);
  frame = d.Frame();
  EXPECT_EQ(frame.at(0, 0), kGreen);
  EXPECT_EQ(frame.at(2, 0), 0xC8FF0000u);
}

TEST(D3D8Blend, EachFactorAgainstHandComputedValues) {
  // Source 0x80FF4000 over destination 0x40204080: result = round((S*Fs + D*Fd) / 255),
  // saturated, per channel (a, r, g, b).
  struct Case {
    DWORD src, dest;
    D3DCOLOR expected;
  } cases[] = {
      {D3DBLEND_ZERO, D3DBLEND_ONE, 0x40204080},
      {D3DBLEND_ONE, D3DBLEND_ZERO, 0x80FF4000},
      {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 0x60904040},
      {D3DBLEND_SRCCOLOR, D3DBLEND_INVSRCCOLOR, 0x60FF4080},
      {D3DBLEND_DESTALPHA, D3DBLEND_INVDESTALPHA, 0x50584060},
      {D3DBLEND_ONE, D3DBLEND_ONE, 0xC0FF8080},
      {D3DBLEND_SRCALPHA, D3DBLEND_ONE, 0x80A06080},
      {D3DBLEND_INVDESTALPHA, D3DBLEND_DESTALPHA, 0x70C74020},
  };
  for (const Case& c : cases) {
    TestDevice d(2, 2);
    Plain(d, 0x40204080);
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    d->SetRenderState(D3DRS_SRCBLEND, c.src);
    d->SetRenderState(D3DRS_DESTBLEND, c.dest);
    d.DrawRect(0, 0, 2, 2, 0.5f, 0x80FF4000);
    EXPECT_EQ(d.Frame().at(1, 1), c.expected) << "src " << c.src << " dest " << c.dest;
  }
}

TEST(D3D8Blend, TargetsWithoutAlphaReadDestinationAlphaAsOne) {
  TestDevice d(2, 2, D3DFMT_X8R8G8B8);
  Plain(d, 0x00204080);
  d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_INVDESTALPHA);  // 0
  d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_DESTALPHA);    // 1
  d.DrawRect(0, 0, 2, 2, 0.5f, 0x80FF4000);
  EXPECT_EQ(d.Frame().at(0, 0) & 0x00FFFFFFu, 0x00204080u);
}

class D3D8Stages : public ::testing::Test {
 protected:
  static constexpr D3DCOLOR kTexel = 0xC080FF20, kDiffuse = 0x604080FF;

  D3DCOLOR Draw(const std::vector<std::pair<DWORD, DWORD>>& stage0,
                const std::vector<std::pair<DWORD, DWORD>>& stage1 = {}, bool bindTexture = true) {
    TestDevice d(2, 2);
    Plain(d);
    IDirect3DTexture8* texture = d.MakeTexture(1, 1, {{kTexel}});
    if (bindTexture) {
      d->SetTexture(0, texture);
      d->SetTexture(1, texture);
    }
    for (auto [type, value] : stage0) d->SetTextureStageState(0, static_cast<D3DTEXTURESTAGESTATETYPE>(type), value);
    for (auto [type, value] : stage1) d->SetTextureStageState(1, static_cast<D3DTEXTURESTAGESTATETYPE>(type), value);
    d.DrawRect(0, 0, 2, 2, 0.5f, kDiffuse);
    D3DCOLOR result = d.Frame().at(0, 0);
    d->SetTexture(0, nullptr);
    d->SetTexture(1, nullptr);
    texture->Release();
    return result;
  }
};

TEST_F(D3D8Stages, OperationsAgainstHandComputedValues) {
  // Texel 0xC080FF20, diffuse 0x604080FF (a, r, g, b).
  EXPECT_EQ(Draw({{D3DTSS_COLOROP, D3DTOP_SELECTARG1}, {D3DTSS_ALPHAOP, D3DTOP_SELECTARG1}}),
            kTexel);
  EXPECT_EQ(Draw({{D3DTSS_COLOROP, D3DTOP_SELECTARG2}, {D3DTSS_COLORARG2, D3DTA_DIFFUSE},
                  {D3DTSS_ALPHAOP, D3DTOP_SELECTARG2}, {D3DTSS_ALPHAARG2, D3DTA_DIFFUSE}}),
            kDiffuse);
  // round(x * y / 255) per channel.
  EXPECT_EQ(Draw({{D3DTSS_COLOROP, D3DTOP_MODULATE}, {D3DTSS_COLORARG2, D3DTA_DIFFUSE},
                  {D3DTSS_ALPHAOP, D3DTOP_MODULATE}, {D3DTSS_ALPHAARG2, D3DTA_DIFFUSE}}),
            0x48208020u);
  // min(255, x + y).
  EXPECT_EQ(Draw({{D3DTSS_COLOROP, D3DTOP_ADD}, {D3DTSS_COLORARG2, D3DTA_DIFFUSE},
                  {D3DTSS_ALPHAOP, D3DTOP_ADD}, {D3DTSS_ALPHAARG2, D3DTA_DIFFUSE}}),
            0xFFC0FFFFu);
  // Stage 1 blends texture and CURRENT by CURRENT's alpha (0x60): round((T*a + C*(255-a))/255);
  // its alpha adds CURRENT and the texture, as the engine's blend-alpha stages do.
  EXPECT_EQ(Draw({{D3DTSS_COLOROP, D3DTOP_SELECTARG1}, {D3DTSS_COLORARG1, D3DTA_DIFFUSE},
                  {D3DTSS_ALPHAOP, D3DTOP_SELECTARG1}, {D3DTSS_ALPHAARG1, D3DTA_DIFFUSE}},
                 {{D3DTSS_COLOROP, D3DTOP_BLENDCURRENTALPHA}, {D3DTSS_COLORARG1, D3DTA_TEXTURE},
                  {D3DTSS_COLORARG2, D3DTA_CURRENT}, {D3DTSS_ALPHAOP, D3DTOP_ADD},
                  {D3DTSS_ALPHAARG2, D3DTA_TEXTURE}, {D3DTSS_ALPHAARG1, D3DTA_CURRENT}}),
            0xFF58B0ABu);
}

TEST_F(D3D8Stages, DisabledStagesAndMissingTexturesLeaveTheDiffuseColour) {
  EXPECT_EQ(Draw({{D3DTSS_COLOROP, D3DTOP_DISABLE}}), kDiffuse);
  // Default stages (MODULATE texture by current, alpha from the texture) without a texture.
  EXPECT_EQ(Draw({}, {}, false), kDiffuse);
  // With a texture, the defaults modulate colour and take alpha from the texture.
  EXPECT_EQ(Draw({}), 0xC0208020u);
}

// 2x1 texture, black then white, drawn over four pixels with u = 0, 0.25, 0.5, 0.75 at the
// pixel centres.
std::vector<uint32_t> FilterRow(DWORD filter, DWORD address) {
  TestDevice d(4, 1);
  Plain(d);
  IDirect3DTexture8* texture = d.MakeTexture(2, 1, {{0xFF000000, 0xFFFFFFFF}});
  d->SetTexture(0, texture);
  d->SetTextureStageState(0, D3DTSS_MAGFILTER, filter);
  d->SetTextureStageState(0, D3DTSS_MINFILTER, filter);
  d->SetTextureStageState(0, D3DTSS_ADDRESSU, address);
  d->SetTextureStageState(0, D3DTSS_ADDRESSV, address);
  const D3DCOLOR white = 0xFFFFFFFF;
  d.DrawScreen({{0, 0, 0.5f, 1, white, 0, 0.5f}, {4, 0, 0.5f, 1, white, 1, 0.5f},
                {0, 1, 0.5f, 1, white, 0, 0.5f}, {4, 0, 0.5f, 1, white, 1, 0.5f},
                {4, 1, 0.5f, 1, white, 1, 0.5f}, {0, 1, 0.5f, 1, white, 0, 0.5f}});
  zelk4::test::Picture frame = d.Frame();
  d->SetTexture(0, nullptr);
  texture->Release();
  std::vector<uint32_t> row;
  for (int x = 0; x < 4; ++x) row.push_back(frame.at(x, 0) & 0xFF);
  return row;
}

TEST(D3D8Sampling, PointTakesTheTexelUnderTheCentreAndBilinearBlendsAroundIt) {
  EXPECT_EQ(FilterRow(D3DTEXF_POINT, D3DTADDRESS_WRAP), (std::vector<uint32_t>{0, 0, 255, 255}));
  // Bilinear centres on u * 2 - 0.5: -0.5 (half the wrapped white), 0, 0.5, 1.
  EXPECT_EQ(FilterRow(D3DTEXF_LINEAR, D3DTADDRESS_WRAP), (std::vector<uint32_t>{128, 0, 128, 255}));
  EXPECT_EQ(FilterRow(D3DTEXF_LINEAR, D3DTADDRESS_CLAMP), (std::vector<uint32_t>{0, 0, 128, 255}));
}

// A 16x16 texture whose five levels are red, green, blue, white and grey, drawn 1:1 onto a
// square of `size` pixels.
uint32_t MipColour(float size, DWORD mipFilter, DWORD maxLevel = 0) {
  TestDevice d(32, 32);
  Plain(d);
  const uint32_t colours[5] = {kRed, kGreen, kBlue, 0xFFFFFFFF, 0xFF808080};
  std::vector<std::vector<uint32_t>> levels;
  for (int i = 0; i < 5; ++i) levels.emplace_back((16 >> i) * (16 >> i), colours[i]);
  IDirect3DTexture8* texture = d.MakeTexture(16, 16, levels);
  d->SetTexture(0, texture);
  d->SetTextureStageState(0, D3DTSS_MIPFILTER, mipFilter);
  d->SetTextureStageState(0, D3DTSS_MAXMIPLEVEL, maxLevel);
  const D3DCOLOR white = 0xFFFFFFFF;
  d.DrawScreen({{0, 0, 0.5f, 1, white, 0, 0}, {size, 0, 0.5f, 1, white, 1, 0},
                {0, size, 0.5f, 1, white, 0, 1}, {size, 0, 0.5f, 1, white, 1, 0},
                {size, size, 0.5f, 1, white, 1, 1}, {0, size, 0.5f, 1, white, 0, 1}});
  uint32_t result = d.Frame().at(1, 1);
  d->SetTexture(0, nullptr);
  texture->Release();
  return result;
}

TEST(D3D8Sampling, MipLevelsFollowTexelsPerPixel) {
  EXPECT_EQ(MipColour(4, D3DTEXF_POINT), kBlue);    // 4 texels per pixel: level 2
  EXPECT_EQ(MipColour(8, D3DTEXF_POINT), kGreen);   // 2: level 1
  EXPECT_EQ(MipColour(32, D3DTEXF_POINT), kRed);    // magnified: level 0
  EXPECT_EQ(MipColour(4, D3DTEXF_NONE), kRed);      // no mipmapping
  EXPECT_EQ(MipColour(4, D3DTEXF_LINEAR), kBlue);   // exactly level 2
  EXPECT_EQ(MipColour(8, D3DTEXF_POINT, 3), 0xFFFFFFFFu);  // MAXMIPLEVEL 3 forbids 0..2
  // 3.2 texels per pixel: lod log2(3.2) = 1.68. POINT rounds to level 2; LINEAR mixes
  // green and blue about 32:68.
  EXPECT_EQ(MipColour(5, D3DTEXF_POINT), kBlue);
  uint32_t mixed = MipColour(5, D3DTEXF_LINEAR);
  EXPECT_EQ(mixed >> 16 & 0xFF, 0u);
  EXPECT_NEAR(static_cast<int>(mixed >> 8 & 0xFF), 82, 3);
  EXPECT_NEAR(static_cast<int>(mixed & 0xFF), 173, 3);
}

}  // namespace
