// The fast span code's shortcuts give the general code's pixels: constant-colour blends over a
// varied destination (alpha 0 leaving it as it was, alpha 255 replacing it, runs of every
// length modulo four) and alpha-tested textured spans, whose texels may be passed over
// unfiltered when none of them can pass the test.
#include <gtest/gtest.h>

#include <vector>

#include "platform/d3d8/fast_span.h"
#include "test_device.h"

namespace {

using d3d8test::TestDevice;
using zelk4::test::Picture;

Picture ConstantBlends(D3DFORMAT target, unsigned threads) {
  TestDevice d(53, 29, target, D3DFMT_D24X8, threads);
  d->SetRenderState(D3DRS_LIGHTING, FALSE);
  d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  d->SetRenderState(D3DRS_ZENABLE, FALSE);
  // A destination whose every channel, alpha included, varies from pixel to pixel.
  std::vector<uint32_t> texels(16 * 16);
  for (size_t i = 0; i < texels.size(); ++i) texels[i] = static_cast<uint32_t>(i * 2654435761u);
  IDirect3DTexture8* texture = d.MakeTexture(16, 16, {texels});
  d->SetTexture(0, texture);
  d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  d.DrawRect(0, 0, 53, 29, 0.5f, 0xFFFFFFFF);
  // Overlay-like: the texture modulated by white, alpha-tested and blended, clamped.
  d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  d->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
  d->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
  d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  d->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  d->SetRenderState(D3DRS_ALPHAREF, 120);
  d->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
  d.DrawRect(1.5f, 2.25f, 50.75f, 27.5f, 0.5f, 0xFFFFFFFF);
  // Stretched, wrapping, with the diffuse alpha modulating the texel's and a strict test.
  d->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
  d->SetRenderState(D3DRS_ALPHAREF, 90);
  d.DrawScreen({{0, 0, 0.5f, 1, 0xC0FFFFFF, -0.3f, -0.2f},
                {53, 0, 0.5f, 1, 0xC0FFFFFF, 2.1f, -0.2f},
                {0, 29, 0.5f, 1, 0xC0FFFFFF, -0.3f, 1.7f},
                {53, 0, 0.5f, 1, 0xC0FFFFFF, 2.1f, -0.2f},
                {53, 29, 0.5f, 1, 0xC0FFFFFF, 2.1f, 1.7f},
                {0, 29, 0.5f, 1, 0xC0FFFFFF, -0.3f, 1.7f}});
  d->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
  d->SetTexture(0, nullptr);
  // Spans of 1 to 8 pixels and longer ones, at alphas 0, 255 and between.
  const D3DCOLOR colours[] = {0x00FFFFFF, 0xFF3366CC, 0x1FFFFFFF, 0x80FF8000, 0x01000000};
  for (int i = 0; i < 5; ++i) {
    for (int width = 1; width <= 8; ++width) {
      float x = static_cast<float>(width * (width - 1) / 2), y = static_cast<float>(i * 3);
      d.DrawRect(x, y, x + width, y + 2, 0.0f, colours[i]);
    }
    d.DrawRect(3, 16.0f + i, 50, 17.0f + i, 0.0f, colours[i]);
  }
  d.DrawRect(0, 0, 53, 29, 0.0f, 0x00000000);
  texture->Release();
  return d.Frame();
}

TEST(D3D8SpanEquivalence, ConstantAndOverlayBlendsMatchTheGeneralCode) {
  for (D3DFORMAT target : {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8}) {
    Picture fast = ConstantBlends(target, 1);
    d3d8::SetFastShadingEnabled(false);
    Picture general = ConstantBlends(target, 1);
    d3d8::SetFastShadingEnabled(true);
    EXPECT_TRUE(zelk4::test::PicturesMatch("constant_blends", general, fast));
    EXPECT_TRUE(zelk4::test::PicturesMatch("constant_blends_threads", fast, ConstantBlends(target, 2)));
  }
}

// An overlay-like texture: alpha 0 but for single texels on and beside the 8x8 block edges,
// drawn alpha-tested, stretched, shrunk and wrapped; then texels are changed through a lock
// and the same draws repeated, so areas passed over before must be looked at again.
Picture SparseAlphaOverlays(unsigned threads) {
  TestDevice d(53, 29, D3DFMT_A8R8G8B8, D3DFMT_D24X8, threads);
  d->SetRenderState(D3DRS_LIGHTING, FALSE);
  d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  d->SetRenderState(D3DRS_ZENABLE, FALSE);
  d->Clear(0, nullptr, D3DCLEAR_TARGET, 0x80204060, 1.0f, 0);
  constexpr UINT kWidth = 41, kHeight = 37;
  std::vector<uint32_t> texels(kWidth * kHeight);
  for (size_t i = 0; i < texels.size(); ++i) texels[i] = static_cast<uint32_t>(i * 2654435761u) & 0x00FFFFFFu;
  auto island = [&](UINT x, UINT y, uint32_t alpha) { texels[y * kWidth + x] |= alpha << 24; };
  island(8, 8, 255);
  island(7, 15, 230);
  island(16, 0, 200);
  island(40, 36, 250);
  island(0, 24, 201);
  island(23, 17, 199);
  IDirect3DTexture8* texture = d.MakeTexture(kWidth, kHeight, {texels});
  d->SetTexture(0, texture);
  d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  d->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
  d->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
  d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  d->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  auto draws = [&] {
    d->SetRenderState(D3DRS_ALPHAREF, 100);
    d->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    d.DrawRect(0.5f, 0.25f, 52.5f, 28.75f, 0.5f, 0xFFFFFFFF);
    d->SetRenderState(D3DRS_ALPHAREF, 40);
    d->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
    d.DrawScreen({{0, 0, 0.5f, 1, 0xE0FFFFFF, -0.6f, -0.4f},
                  {53, 0, 0.5f, 1, 0xE0FFFFFF, 1.3f, -0.4f},
                  {0, 29, 0.5f, 1, 0xE0FFFFFF, -0.6f, 1.2f},
                  {53, 0, 0.5f, 1, 0xE0FFFFFF, 1.3f, -0.4f},
                  {53, 29, 0.5f, 1, 0xE0FFFFFF, 1.3f, 1.2f},
                  {0, 29, 0.5f, 1, 0xE0FFFFFF, -0.6f, 1.2f}});
    d.DrawRect(30, 3, 38, 9, 0.5f, 0xFFFFFFFF);  // shrunk about five times
    d->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
    d->SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_CLAMP);
    d.DrawScreen({{2, 1, 0.5f, 1, 0xFFFFFFFF, -0.2f, -0.1f},
                  {50, 1, 0.5f, 1, 0xFFFFFFFF, 1.1f, -0.1f},
                  {2, 27, 0.5f, 1, 0xFFFFFFFF, -0.2f, 1.05f}});
    d->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_WRAP);
    d->SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_WRAP);
  };
  draws();
  D3DLOCKED_RECT locked;
  EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
  auto* bits = static_cast<uint32_t*>(locked.pBits);
  const int pitch = locked.Pitch / 4;
  bits[8 * pitch + 8] &= 0x00FFFFFFu;  // one island gone, two new ones where all was clear
  bits[30 * pitch + 30] |= 0xFF000000u;
  bits[3 * pitch + 33] |= 0xD0000000u;
  texture->UnlockRect(0);
  draws();
  texture->Release();
  return d.Frame();
}

TEST(D3D8SpanEquivalence, SparseAlphaOverlaysMatchTheGeneralCode) {
  Picture fast = SparseAlphaOverlays(1);
  d3d8::SetFastShadingEnabled(false);
  Picture general = SparseAlphaOverlays(1);
  d3d8::SetFastShadingEnabled(true);
  EXPECT_TRUE(zelk4::test::PicturesMatch("sparse_alpha", general, fast));
  EXPECT_TRUE(zelk4::test::PicturesMatch("sparse_alpha_threads", fast, SparseAlphaOverlays(2)));
}

}  // namespace
