// Device creation with its fallback chain, frame control and the render-target switches.
#include "render/render_device.h"

#include <cstring>
#include <new>

#include "base/fatal_error.h"
#include "render/texture_records.h"

IDirect3DSurface8* backBufferSurface = nullptr;
IDirect3DSurface8* depthSurface = nullptr;

namespace {

constexpr UINT kDirect3DSdkVersion = 220;

// Only exactly D3D_OK counts: a creation call returning another success code moves on to the
// next attempt, and whatever it may have handed out is given back first.
bool TryCreateDevice(RenderDevice& rd, HWND window, DWORD behaviour,
                     D3DPRESENT_PARAMETERS* params) {
  rd.device = nullptr;
  HRESULT result = rd.direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                             behaviour, params, &rd.device);
  if (result == D3D_OK && rd.device != nullptr) return true;
  if (rd.device != nullptr) {
    rd.device->Release();
    rd.device = nullptr;
  }
  return false;
}

}  // namespace

void RenderDevice::Init(HWND window, uint32_t width, uint32_t height, uint8_t windowedFlag) {
  windowed = windowedFlag;
  direct3d = nullptr;
  device = nullptr;
  quadVertexBuffer = nullptr;
  textureCache = nullptr;

  direct3d = Direct3DCreate8(kDirect3DSdkVersion);
  if (direct3d == nullptr) FatalError("Unable to create a Direct3D8 object", "D3D error");

  // The desktop mode matters only to a windowed device, whose back buffer takes its format.
  D3DDISPLAYMODE desktop;
  std::memset(&desktop, 0, sizeof desktop);
  if (windowed && FAILED(direct3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &desktop))) {
    FatalError("Error getting display mode", "D3D error");
  }

  D3DPRESENT_PARAMETERS params;
  std::memset(&params, 0, sizeof params);
  if (windowed) {
    params.Windowed = TRUE;
    params.BackBufferFormat = desktop.Format;  // size 0 x 0: the window's client area
  } else {
    params.Windowed = FALSE;
    params.BackBufferWidth = width;
    params.BackBufferHeight = height;
    params.BackBufferFormat = D3DFMT_A8R8G8B8;
    params.FullScreen_RefreshRateInHz = 0;
  }
  params.SwapEffect = D3DSWAPEFFECT_DISCARD;
  params.EnableAutoDepthStencil = TRUE;
  params.MultiSampleType = D3DMULTISAMPLE_NONE;
  params.BackBufferCount = 0;
  params.hDeviceWindow = nullptr;
  params.Flags = 0;
  params.FullScreen_PresentationInterval = 0;

  // 24-bit depth with hardware vertex processing first, then what older cards can do.
  params.AutoDepthStencilFormat = D3DFMT_D24X8;
  bool created = TryCreateDevice(*this, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &params);
  if (!created) {
    params.AutoDepthStencilFormat = D3DFMT_D16;
    created = TryCreateDevice(*this, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &params);
  }
  if (!created) {
    created = TryCreateDevice(*this, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params);
  }
  if (!created) {
    // Only a full-screen device can still choose its colour depth.
    if (windowed) FatalError("Unable to create a 3d device", "D3D Error");
    params.BackBufferFormat = D3DFMT_R5G6B5;
    created = TryCreateDevice(*this, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params);
    if (!created) FatalError("Unable to create a 3d device", "D3D Error");
  }

  device->GetDepthStencilSurface(&depthSurface);
  device->GetRenderTarget(&backBufferSurface);

  if (FAILED(device->CreateVertexBuffer(kQuadVertexBufferBytes, 0, kQuadVertexFvf,
                                        D3DPOOL_MANAGED, &quadVertexBuffer))) {
    FatalError("Unable to create vertexbuffer", "D3D error");
  }

  device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
  device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);

  textureCache = new (std::nothrow) TextureCache();
}

// The program never calls this: the device lives until the process ends. Besides the three
// objects it gives back the two surface references Init took and frees the cache with the
// texture records it has taken over, so a device can be brought up and down cleanly (the
// Direct3D textures stay their holders' to release).
void RenderDevice::Release() {
  if (backBufferSurface != nullptr) {
    backBufferSurface->Release();
    backBufferSurface = nullptr;
  }
  if (depthSurface != nullptr) {
    depthSurface->Release();
    depthSurface = nullptr;
  }
  if (quadVertexBuffer != nullptr) {
    quadVertexBuffer->Release();
    quadVertexBuffer = nullptr;
  }
  if (device != nullptr) {
    device->Release();
    device = nullptr;
  }
  if (direct3d != nullptr) {
    direct3d->Release();
    direct3d = nullptr;
  }
  delete textureCache;
  textureCache = nullptr;
}

void RenderDevice::Present() { device->Present(nullptr, nullptr, nullptr, nullptr); }

void RenderDevice::ClearColor(int32_t alpha, int32_t red, int32_t green, int32_t blue) {
  const D3DCOLOR colour = (static_cast<uint32_t>(alpha) << 24) |
                          ((static_cast<uint32_t>(red) & 255u) << 16) |
                          ((static_cast<uint32_t>(green) & 255u) << 8) |
                          (static_cast<uint32_t>(blue) & 255u);
  device->Clear(0, nullptr, D3DCLEAR_TARGET, colour, 1.0f, 0);
}

void RenderDevice::ClearDepth() { device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0); }

uint8_t RenderDevice::IsWindowed() const { return windowed; }

void RenderDevice::SetRenderTargetTexture(const Texture* texture) {
  IDirect3DSurface8* surface = nullptr;
  if (texture != nullptr && texture->d3dTexture != nullptr) {
    texture->d3dTexture->GetSurfaceLevel(0, &surface);
  }
  // A null target would keep the current one and report success: a texture without a level
  // is a failed switch.
  if (surface == nullptr) FatalError("Unable to change render target", "D3D error");
  const HRESULT result = device->SetRenderTarget(surface, depthSurface);
  surface->Release();  // the device holds its own reference to its render target
  if (result != D3D_OK) FatalError("Unable to change render target", "D3D error");
}

void RenderDevice::RestoreRenderTarget() {
  if (device->SetRenderTarget(backBufferSurface, depthSurface) != D3D_OK) {
    FatalError("Unable to change render target", "D3D error");
  }
}
