// A small software device for the D3DX texture tests, and the engine's texture call on it.
#pragma once

#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "platform/d3d8/device_control.h"
#include "platform/d3dx/d3dx8.h"
#include "support/picture.h"

namespace zelk4::test {

class D3DXDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    d3d8::ResetControls();
    direct3d_ = Direct3DCreate8(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = 16;
    pp.BackBufferHeight = 16;
    pp.BackBufferFormat = D3DFMT_A8R8G8B8;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    ASSERT_EQ(direct3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                      D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device_),
              D3D_OK);
  }
  void TearDown() override {
    if (device_ != nullptr) device_->Release();
    direct3d_->Release();
  }

  // The engine's call: the image's own size, n levels, A8R8G8B8, managed, default filters.
  HRESULT Load(const std::vector<uint8_t>& bytes, UINT levels, IDirect3DTexture8** texture) {
    return D3DXCreateTextureFromFileInMemoryEx(
        device_, bytes.empty() ? nullptr : bytes.data(), static_cast<UINT>(bytes.size()),
        D3DX_DEFAULT, D3DX_DEFAULT, levels, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DX_DEFAULT,
        D3DX_DEFAULT, 0, nullptr, nullptr, texture);
  }

  static Picture Level(IDirect3DTexture8* texture, UINT level) {
    D3DSURFACE_DESC desc;
    texture->GetLevelDesc(level, &desc);
    Picture picture(desc.Width, desc.Height);
    D3DLOCKED_RECT locked;
    EXPECT_EQ(texture->LockRect(level, &locked, nullptr, D3DLOCK_NOSYSLOCK), D3D_OK);
    EXPECT_EQ(locked.Pitch, static_cast<INT>(desc.Width * 4));
    for (UINT y = 0; y < desc.Height; ++y) {
      std::memcpy(&picture.at(0, y), static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch,
                  desc.Width * 4);
    }
    texture->UnlockRect(level);
    return picture;
  }

  IDirect3D8* direct3d_ = nullptr;
  IDirect3DDevice8* device_ = nullptr;
};

}  // namespace zelk4::test
