// The fast span code gives the general code's pixels, in each of its kernels (four lanes of
// SSE2, eight of AVX2, sixteen of AVX-512) and whatever the thread count: every way it reads a texture and writes
// a pixel, constant-colour blends over a varied destination (alpha 0 leaving it as it was,
// alpha 255 replacing it, runs of every length modulo four) and alpha-tested textured spans,
// whose texels may be passed over unfiltered when none of them can pass the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "platform/d3d8/fast_span.h"
#include "test_device.h"

namespace {

using zelk4::d3d8::test::TestDevice;
using zelk4::d3d8::test::WorldVertex;
using zelk4::test::Picture;

// The same drawing by the general code, by each kernel of the fast code on one thread (with
// opaque draws shaded as their rows are walked, and deferred to the tile's end), and by the
// widest kernel on three threads.
template <class Draw>
void ExpectEveryWayAlike(const std::string& name, Draw draw) {
  zelk4::d3d8::SetFastShadingEnabled(false);
  const Picture general = draw(1u);
  zelk4::d3d8::SetFastShadingEnabled(true);
  zelk4::d3d8::SetDeferredShadingEnabled(false);
  const Picture forward = draw(1u);
  zelk4::d3d8::SetDeferredShadingEnabled(true);
  zelk4::d3d8::SetWideLanesEnabled(false);
  const Picture fourLanes = draw(1u);
  zelk4::d3d8::SetWideLanesEnabled(true);
  zelk4::d3d8::SetWidestLanesEnabled(false);
  const Picture eightLanes = draw(1u);
  zelk4::d3d8::SetWidestLanesEnabled(true);
  const Picture widest = draw(1u);  // sixteen lanes where the processor has AVX-512
  EXPECT_TRUE(zelk4::test::PicturesMatch(name + "_forward", general, forward));
  EXPECT_TRUE(zelk4::test::PicturesMatch(name + "_four_lanes", general, fourLanes));
  EXPECT_TRUE(zelk4::test::PicturesMatch(name + "_eight_lanes", general, eightLanes));
  EXPECT_TRUE(zelk4::test::PicturesMatch(name + "_widest_lanes", general, widest));
  EXPECT_TRUE(zelk4::test::PicturesMatch(name + "_threads", widest, draw(3u)));
}

// Levels of a width x height texture whose texels (alpha included) all differ.
std::vector<std::vector<uint32_t>> Levels(UINT width, UINT height, int count, uint32_t seed) {
  std::vector<std::vector<uint32_t>> levels;
  for (int level = 0; level < count; ++level) {
    const UINT w = std::max(1u, width >> level), h = std::max(1u, height >> level);
    std::vector<uint32_t> texels(static_cast<size_t>(w) * h);
    for (size_t i = 0; i < texels.size(); ++i) texels[i] = static_cast<uint32_t>((i + seed * 977 + level * 131) * 2654435761u);
    levels.push_back(texels);
  }
  return levels;
}

// Draw after draw, each with its own choice of filters, mip filter, addressing, texture (a
// mipmapped power-of-two one, one whose sizes are not powers of two, one without alpha),
// colour and alpha sources, blend, depth test and write and alpha test: a receding fan of
// small triangles under perspective and a large triangle across several tiles.
Picture StateMatrix(D3DFORMAT target, unsigned threads) {
  TestDevice d(150, 90, target, D3DFMT_D24X8, threads);
  d->SetRenderState(D3DRS_LIGHTING, FALSE);
  d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x80406080, 1.0f, 0);
  d.SetPerspective(1.0f, 1.6f);
  IDirect3DTexture8* textures[3] = {d.MakeTexture(32, 32, Levels(32, 32, 6, 1)),
                                    d.MakeTexture(24, 20, Levels(24, 20, 1, 2)), nullptr};
  d->CreateTexture(16, 16, 5, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &textures[2]);
  const std::vector<std::vector<uint32_t>> opaque = Levels(16, 16, 5, 3);
  for (UINT level = 0; level < 5; ++level) {
    D3DLOCKED_RECT locked;
    textures[2]->LockRect(level, &locked, nullptr, 0);
    const UINT size = 16 >> level;
    for (UINT y = 0; y < size; ++y) {
      std::memcpy(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch, opaque[level].data() + y * size, size * 4);
    }
    textures[2]->UnlockRect(level);
  }
  const DWORD filters[3][2] = {{D3DTEXF_LINEAR, D3DTEXF_LINEAR}, {D3DTEXF_POINT, D3DTEXF_POINT},
                               {D3DTEXF_POINT, D3DTEXF_LINEAR}};
  const DWORD mips[3] = {D3DTEXF_LINEAR, D3DTEXF_NONE, D3DTEXF_POINT};
  const DWORD addresses[2] = {D3DTADDRESS_WRAP, D3DTADDRESS_CLAMP};
  const DWORD blends[3][2] = {{D3DBLEND_ONE, D3DBLEND_ZERO}, {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA},
                              {D3DBLEND_DESTCOLOR, D3DBLEND_ONE}};
  const DWORD depthFuncs[4] = {D3DCMP_LESSEQUAL, D3DCMP_GREATER, D3DCMP_LESS, D3DCMP_ALWAYS};
  const DWORD alphaFuncs[3][2] = {{D3DCMP_ALWAYS, 0}, {D3DCMP_GREATEREQUAL, 128}, {D3DCMP_LESS, 100}};
  const DWORD colourOps[2][3] = {{D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE},
                                 {D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE}};
  const DWORD alphaOps[3][3] = {{D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE},
                                {D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE},
                                {D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE}};
  for (int k = 0; k < 36; ++k) {
    d->SetTexture(0, textures[k % 3]);
    d->SetTextureStageState(0, D3DTSS_MINFILTER, filters[k / 3 % 3][0]);
    d->SetTextureStageState(0, D3DTSS_MAGFILTER, filters[k / 3 % 3][1]);
    d->SetTextureStageState(0, D3DTSS_MIPFILTER, mips[(k + k / 9) % 3]);
    d->SetTextureStageState(0, D3DTSS_ADDRESSU, addresses[k / 2 % 2]);
    d->SetTextureStageState(0, D3DTSS_ADDRESSV, addresses[k / 4 % 2]);
    d->SetTextureStageState(0, D3DTSS_COLOROP, colourOps[k / 5 % 2][0]);
    d->SetTextureStageState(0, D3DTSS_COLORARG1, colourOps[k / 5 % 2][1]);
    d->SetTextureStageState(0, D3DTSS_COLORARG2, colourOps[k / 5 % 2][2]);
    d->SetTextureStageState(0, D3DTSS_ALPHAOP, alphaOps[k / 7 % 3][0]);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG1, alphaOps[k / 7 % 3][1]);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG2, alphaOps[k / 7 % 3][2]);
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, k % 5 != 0);
    d->SetRenderState(D3DRS_SRCBLEND, blends[k % 3][0]);
    d->SetRenderState(D3DRS_DESTBLEND, blends[k % 3][1]);
    d->SetRenderState(D3DRS_ZFUNC, depthFuncs[k / 6 % 4]);
    d->SetRenderState(D3DRS_ZWRITEENABLE, k % 4 != 3);
    d->SetRenderState(D3DRS_ALPHATESTENABLE, k / 2 % 3 != 0);
    d->SetRenderState(D3DRS_ALPHAFUNC, alphaFuncs[k / 2 % 3][0]);
    d->SetRenderState(D3DRS_ALPHAREF, alphaFuncs[k / 2 % 3][1]);
    const bool flat = k % 7 == 3;
    std::vector<WorldVertex> v;
    const float cx = -1.1f + 0.3f * static_cast<float>(k % 8), cy = -0.8f + 0.4f * static_cast<float>(k / 8);
    for (int i = 0; i < 12; ++i) {
      const float a = 0.52f * static_cast<float>(i), z = 0.3f + 0.35f * static_cast<float>(i % 5);
      const D3DCOLOR c = flat ? 0xFFFFFFFFu : 0x40000000u + static_cast<uint32_t>(i * 0x0B1F3E7 + k * 0x3F00F1);
      const float r = 0.02f + 0.012f * static_cast<float>(i);
      v.push_back({cx * z, cy * z, z, c, -0.3f + 0.2f * static_cast<float>(i), 0.1f * static_cast<float>(k)});
      v.push_back({(cx + r * std::cos(a)) * z, (cy + r * std::sin(a)) * z, z + 0.2f, c ^ 0x00FF00FFu, 1.7f, 2.3f});
      v.push_back({(cx + r * std::cos(a + 0.5f)) * z, (cy + r * std::sin(a + 0.5f)) * z, z + 0.1f, c, -0.9f, 0.6f});
    }
    const float z = 0.6f + 0.1f * static_cast<float>(k % 4);
    v.push_back({(cx - 0.4f) * z, (cy - 0.5f) * z, z, 0xC0FFFFFF, -1.5f, -0.5f});
    v.push_back({(cx + 0.6f) * z, (cy - 0.3f) * z, z * 1.8f, 0x80FF8040, 4.5f, 0.2f});
    v.push_back({(cx + 0.1f) * z, (cy + 0.7f) * z, z * 1.2f, 0xFF40C0FF, 1.0f, 3.5f});
    d.DrawWorld(v);
  }
  for (IDirect3DTexture8* texture : textures) texture->Release();
  return d.Frame();
}

TEST(D3D8SpanEquivalence, EveryWayOfReadingTexturesAndWritingPixelsMatchesTheGeneralCode) {
  for (D3DFORMAT target : {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8}) {
    ExpectEveryWayAlike("state_matrix", [&](unsigned threads) { return StateMatrix(target, threads); });
  }
}

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

// Opaque draws whose depth tests decide which triangle's colour stays: interleaved and
// intersecting sheets of small triangles, some at equal depths, flat and interpolated
// colours side by side, two textures and an untextured draw in one tile, draws that test
// without writing depth and under other depth functions, with a blended draw and a partial
// clear between them.
Picture OpaqueLayers(unsigned threads) {
  TestDevice d(140, 100, D3DFMT_A8R8G8B8, D3DFMT_D24X8, threads);
  d->SetRenderState(D3DRS_LIGHTING, FALSE);
  d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF203040, 1.0f, 0);
  d.SetPerspective(1.2f, 1.6f);
  IDirect3DTexture8* textures[2] = {d.MakeTexture(32, 32, Levels(32, 32, 6, 4)),
                                    d.MakeTexture(16, 16, Levels(16, 16, 5, 5))};
  d->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
  d->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
  d->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_LINEAR);
  d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  // A sheet of cells tilted by (tx, ty), at depth z: every other cell flat white.
  auto sheet = [&](float z, float tx, float ty, float offset, float scale, int rows = 14, int cols = 18) {
    std::vector<WorldVertex> v;
    for (int row = 0; row < rows; ++row) {
      for (int col = 0; col < cols; ++col) {
        const float x0 = -1.0f + 0.11f * static_cast<float>(col) + offset, y0 = -0.9f + 0.13f * static_cast<float>(row);
        const float x1 = x0 + 0.11f, y1 = y0 + 0.13f;
        auto depth = [&](float x, float y) { return z + tx * x + ty * y; };
        const bool flat = (row + col) % 2 == 0;
        auto colour = [&](int corner) {
          return flat ? 0xFFFFFFFFu : 0xFF000000u | static_cast<uint32_t>((row * 37 + col * 11 + corner * 53) * 0x010305);
        };
        auto at = [&](float x, float y, int corner) {
          const float w = depth(x, y);
          return WorldVertex{x * w, y * w, w, colour(corner), x * scale, y * scale};
        };
        v.push_back(at(x0, y0, 0));
        v.push_back(at(x1, y0, 1));
        v.push_back(at(x0, y1, 2));
        v.push_back(at(x1, y0, 1));
        v.push_back(at(x1, y1, 3));
        v.push_back(at(x0, y1, 2));
      }
    }
    d.DrawWorld(v);
  };
  d->SetTexture(0, textures[0]);
  sheet(1.0f, 0.3f, 0.2f, 0.0f, 3.0f);
  d->SetTexture(0, textures[1]);
  sheet(1.0f, -0.3f, 0.1f, 0.02f, 5.0f);  // crosses the first
  sheet(1.0f, 0.3f, 0.2f, 0.0f, 1.5f);    // the first's depths again: an equal depth passes
  d->SetTexture(0, nullptr);
  d->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
  sheet(0.9f, 0.0f, 0.3f, 0.05f, 1.0f, 5, 18);  // tested, not written
  d->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
  d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  d.DrawRect(10, 10, 120, 60, 0.0f, 0x80FF8000);
  d->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  const D3DRECT part{20, 30, 90, 80};
  d->Clear(1, &part, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  d->SetTexture(0, textures[0]);
  d->SetRenderState(D3DRS_ZFUNC, D3DCMP_GREATER);
  sheet(1.2f, 0.1f, -0.2f, 0.01f, 2.0f, 9, 10);
  d->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
  sheet(0.95f, 0.2f, 0.0f, 0.63f, 4.0f, 6, 7);
  for (IDirect3DTexture8* texture : textures) texture->Release();
  return d.Frame();
}

TEST(D3D8SpanEquivalence, OpaqueLayersMatchTheGeneralCode) {
  ExpectEveryWayAlike("opaque_layers", [](unsigned threads) { return OpaqueLayers(threads); });
}

TEST(D3D8SpanEquivalence, ConstantAndOverlayBlendsMatchTheGeneralCode) {
  for (D3DFORMAT target : {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8}) {
    ExpectEveryWayAlike("constant_blends", [&](unsigned threads) { return ConstantBlends(target, threads); });
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
  ExpectEveryWayAlike("sparse_alpha", [](unsigned threads) { return SparseAlphaOverlays(threads); });
}

}  // namespace
