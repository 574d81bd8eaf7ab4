// Arbitrary bytes as a texture file through D3DXCreateTextureFromFileInMemoryEx, with the full mip
// chain: every reader the platform's texture decoder uses (PNG, JPEG, BMP, DDS, TGA, and the
// engine's PCX and PKM loaders). The call must only ever succeed or fail: a fatal error from a
// decoder inside it would end the run, and the fuzzer reports that.
#include <cstddef>
#include <cstdint>

#include "platform/d3d8/d3d8.h"
#include "platform/d3dx/d3dx8.h"

namespace {

IDirect3DDevice8* Device() {
  static IDirect3DDevice8* device = [] {
    IDirect3D8* direct3d = Direct3DCreate8(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = 8;
    pp.BackBufferHeight = 8;
    pp.BackBufferFormat = D3DFMT_A8R8G8B8;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    IDirect3DDevice8* created = nullptr;
    direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                           D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &created);
    direct3d->Release();
    return created;
  }();
  return device;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  IDirect3DTexture8* texture = nullptr;
  const HRESULT result = D3DXCreateTextureFromFileInMemoryEx(
      Device(), data, static_cast<UINT>(size), D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
      D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, &texture);
  if (SUCCEEDED(result) != (texture != nullptr)) __builtin_trap();  // a result and a texture that disagree
  if (texture != nullptr) texture->Release();
  return 0;
}
