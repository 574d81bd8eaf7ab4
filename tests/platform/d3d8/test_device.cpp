#include "test_device.h"

#include <cstring>

#include <gtest/gtest.h>

#include "platform/d3d8/device_control.h"

namespace zelk4::d3d8::test {

TestDevice::TestDevice(UINT width, UINT height, D3DFORMAT backBuffer, D3DFORMAT depth,
                       unsigned threads) {
  zelk4::d3d8::ResetControls();
  zelk4::d3d8::PresentOffscreen();
  zelk4::d3d8::SetWorkerThreads(threads);
  direct3d_ = Direct3DCreate8(D3D_SDK_VERSION);
  D3DPRESENT_PARAMETERS pp{};
  pp.BackBufferWidth = width;
  pp.BackBufferHeight = height;
  pp.BackBufferFormat = backBuffer;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.EnableAutoDepthStencil = depth != D3DFMT_UNKNOWN;
  pp.AutoDepthStencilFormat = depth;
  HRESULT hr = direct3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                       D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device_);
  EXPECT_EQ(hr, D3D_OK);
  if (device_ != nullptr) device_->BeginScene();
}

TestDevice::~TestDevice() {
  if (device_ != nullptr) {
    device_->EndScene();
    EXPECT_EQ(device_->Release(), 0u);
  }
  if (direct3d_ != nullptr) direct3d_->Release();
  zelk4::d3d8::ResetControls();
}

zelk4::test::Picture TestDevice::Frame() {
  device_->EndScene();
  EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  device_->BeginScene();
  const zelk4::d3d8::Frame& frame = zelk4::d3d8::LastPresentedFrame();
  zelk4::test::Picture picture(frame.width, frame.height);
  picture.pixels = frame.pixels;
  return picture;
}

void TestDevice::DrawScreen(const std::vector<ScreenVertex>& vertices) {
  device_->SetVertexShader(kScreenFvf);
  EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(vertices.size() / 3),
                                     vertices.data(), sizeof(ScreenVertex)),
            D3D_OK);
}

void TestDevice::DrawWorld(const std::vector<WorldVertex>& vertices) {
  device_->SetVertexShader(kWorldFvf);
  EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(vertices.size() / 3),
                                     vertices.data(), sizeof(WorldVertex)),
            D3D_OK);
}

void TestDevice::SetPerspective(float xScale, float yScale) {
  D3DMATRIX projection{};
  projection._11 = xScale;
  projection._22 = yScale;
  projection._33 = 1.01f;
  projection._34 = 1;
  projection._43 = -0.101f;
  device_->SetTransform(D3DTS_PROJECTION, &projection);
}

void TestDevice::DrawRect(float x0, float y0, float x1, float y1, float z, D3DCOLOR colour) {
  DrawScreen({{x0, y0, z, 1, colour, 0, 0},
              {x1, y0, z, 1, colour, 1, 0},
              {x0, y1, z, 1, colour, 0, 1},
              {x1, y0, z, 1, colour, 1, 0},
              {x1, y1, z, 1, colour, 1, 1},
              {x0, y1, z, 1, colour, 0, 1}});
}

IDirect3DTexture8* TestDevice::MakeTexture(UINT width, UINT height,
                                           const std::vector<std::vector<uint32_t>>& levels) {
  IDirect3DTexture8* texture = nullptr;
  EXPECT_EQ(device_->CreateTexture(width, height, static_cast<UINT>(levels.size()), 0,
                                   D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture),
            D3D_OK);
  for (UINT level = 0; level < levels.size(); ++level) {
    D3DLOCKED_RECT locked;
    EXPECT_EQ(texture->LockRect(level, &locked, nullptr, 0), D3D_OK);
    UINT w = width >> level ? width >> level : 1, h = height >> level ? height >> level : 1;
    for (UINT y = 0; y < h; ++y) {
      std::memcpy(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch,
                  levels[level].data() + y * w, w * 4);
    }
    texture->UnlockRect(level);
  }
  return texture;
}

}  // namespace zelk4::d3d8::test
