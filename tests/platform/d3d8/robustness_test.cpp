// Hostile vertex data: whatever floats and colours arrive (NaN, infinities, huge values,
// points behind the eye), every draw returns and writes only inside the target. Fixed seeds
// keep the runs the same every time.
#include <cmath>
#include <cstring>
#include <random>

#include <gtest/gtest.h>

#include "test_device.h"

namespace {

using zelk4::d3d8::test::TestDevice;

float WildFloat(std::mt19937& rng) {
  static const float kSpecial[] = {NAN, INFINITY, -INFINITY, 0.0f, -0.0f, 1e30f, -1e30f,
                                   1e-30f, 1.0f, -1.0f, 4096.0f, -4096.0f};
  switch (rng() % 4) {
    case 0: return kSpecial[rng() % (sizeof kSpecial / sizeof kSpecial[0])];
    case 1: return std::uniform_real_distribution<float>(-3.0f, 3.0f)(rng);
    case 2: return std::uniform_real_distribution<float>(-1e6f, 1e6f)(rng);
    default: {
      uint32_t bits = static_cast<uint32_t>(rng());
      float f;
      std::memcpy(&f, &bits, 4);
      return f;
    }
  }
}

TEST(D3D8Robustness, WildVerticesNeverCrashOrWriteOutsideTheTarget) {
  TestDevice d(24, 16);
  D3DMATRIX projection{};
  projection._11 = 1;
  projection._22 = 1;
  projection._33 = 1.0f;
  projection._34 = 1;
  projection._43 = -0.1f;
  d->SetTransform(D3DTS_PROJECTION, &projection);
  IDirect3DTexture8* texture = d.MakeTexture(4, 4, {std::vector<uint32_t>(16, 0x80FF00FF),
                                                    std::vector<uint32_t>(4, 0xFF00FF00),
                                                    std::vector<uint32_t>(1, 0xFFFFFFFF)});
  d->SetTexture(0, texture);
  d->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
  d->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_LINEAR);
  D3DVIEWPORT8 vp{3, 2, 15, 11, 0.0f, 1.0f};
  d->SetViewport(&vp);
  std::mt19937 rng(1234);
  const DWORD formats[] = {D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1,
                           D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1,
                           D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1,
                           D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1};
  const D3DPRIMITIVETYPE types[] = {D3DPT_TRIANGLELIST, D3DPT_TRIANGLESTRIP, D3DPT_TRIANGLEFAN,
                                    D3DPT_POINTLIST};
  int drawnRounds = 0;
  for (int round = 0; round < 300; ++round) {
    d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    d->SetRenderState(D3DRS_LIGHTING, rng() % 2);
    d->SetRenderState(D3DRS_CULLMODE, 1 + rng() % 3);
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, rng() % 2);
    d->SetRenderState(D3DRS_SHADEMODE, 1 + rng() % 2);
    d->SetRenderState(D3DRS_POINTSPRITEENABLE, rng() % 2);
    d->SetRenderState(D3DRS_POINTSCALEENABLE, rng() % 2);
    float pointSize = WildFloat(rng);
    DWORD bits;
    std::memcpy(&bits, &pointSize, 4);
    d->SetRenderState(D3DRS_POINTSIZE, bits);
    DWORD fvf = formats[rng() % 4];
    D3DPRIMITIVETYPE type = types[rng() % 4];
    const UINT stride = 48;  // room for every format above
    std::vector<float> data(12 * 12);
    for (float& f : data) f = WildFloat(rng);
    for (int v = 0; v < 12; ++v) {
      // Keep colours as colours half the time, so plain draws happen too.
      if (rng() % 2) std::memcpy(&data[v * 12 + 6], "\xff\x80\x40\xc0", 4);
    }
    d->SetVertexShader(fvf);
    d->DrawPrimitiveUP(type, type == D3DPT_POINTLIST ? 12 : 3, data.data(), stride);
    zelk4::test::Picture frame = d.Frame();
    bool drawn = false;
    for (uint32_t p : frame.pixels) drawn = drawn || p != 0;
    drawnRounds += drawn;
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 24; ++x) {
        bool inViewport = x >= 3 && x < 18 && y >= 2 && y < 13;
        if (!inViewport) {
          ASSERT_EQ(frame.at(x, y), 0u) << "round " << round << " at " << x << "," << y;
        }
      }
    }
  }
  EXPECT_GT(drawnRounds, 30);  // the wild data still makes real pictures now and then
  d->SetTexture(0, nullptr);
  texture->Release();
}

}  // namespace
