// IDirect3DDevice8: resource creation, state, transforms, lights, scenes, clears and Present.
// The draw calls are in draw.cpp.
#include <cstring>
#include <set>

#include "platform/d3d8/call_log.h"
#include "platform/d3d8/device_core.h"
#include "platform/d3d8/presenter.h"
#include "platform/d3d8/rasterizer.h"

namespace zelk4::d3d8 {
namespace {

// Devices alive now: a resource outliving its device must not reach into a freed one.
std::set<const IDirect3DDevice8*>& LiveDevices() {
  static std::set<const IDirect3DDevice8*> live;
  return live;
}

// Swaps a counted reference.
template <typename T>
void Rebind(T** slot, T* object) {
  if (object != nullptr) object->AddRef();
  if (*slot != nullptr) (*slot)->Release();
  *slot = object;
}

bool IsWorldTransform(DWORD state) { return state >= 256 && state < 512; }

D3DMATRIX* TransformSlot(DeviceState& s, D3DTRANSFORMSTATETYPE state) {
  DWORD id = static_cast<DWORD>(state);
  if (id == D3DTS_VIEW) return &s.view;
  if (id == D3DTS_PROJECTION) return &s.projection;
  if (id >= D3DTS_TEXTURE0 && id <= D3DTS_TEXTURE7) return &s.textureTransforms[id - D3DTS_TEXTURE0];
  if (IsWorldTransform(id)) return &s.world[id - 256];
  return nullptr;
}

LightSlot* Light(DeviceState& s, DWORD index, bool grow) {
  if (index >= s.lights.size()) {
    if (!grow || index > 0xFFFF) return nullptr;  // a sane bound on the light table
    s.lights.resize(index + 1);
    for (size_t i = 0; i < s.lights.size(); ++i) {
      if (s.lights[i].light.Type == 0) {
        // The light LightEnable makes for an index never given to SetLight.
        D3DLIGHT8& l = s.lights[i].light;
        l.Type = D3DLIGHT_DIRECTIONAL;
        l.Diffuse = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 0.0f};
        l.Direction = D3DVECTOR{0.0f, 0.0f, 1.0f};
      }
    }
  }
  return &s.lights[index];
}

}  // namespace

DeviceCore::DeviceCore() { }

DeviceCore::~DeviceCore() {
  if (rasterizer) rasterizer->Finish();
  for (auto& texture : state.textures) Rebind<IDirect3DBaseTexture8>(&texture, nullptr);
  Rebind<IDirect3DVertexBuffer8>(&state.stream, nullptr);
  Rebind<IDirect3DIndexBuffer8>(&state.indices, nullptr);
  Rebind<IDirect3DSurface8>(&renderTarget, nullptr);
  Rebind<IDirect3DSurface8>(&depthStencil, nullptr);
  Rebind<IDirect3DSurface8>(&backBuffer, nullptr);
  Rebind<IDirect3DSurface8>(&autoDepth, nullptr);
  Rebind<IDirect3D8>(&direct3d, nullptr);
}

void FinishDrawing(IDirect3DDevice8* device) {
  if (device == nullptr || LiveDevices().count(device) == 0) return;
  if (device->core_ && device->core_->rasterizer) device->core_->rasterizer->Finish();
}

void RegisterDevice(IDirect3DDevice8* device) { LiveDevices().insert(device); }

}  // namespace zelk4::d3d8

using zelk4::d3d8::ObjectName;

IDirect3DDevice8::~IDirect3DDevice8() {
  zelk4::d3d8::LiveDevices().erase(this);
  core_.reset();
}

HRESULT IDirect3DDevice8::TestCooperativeLevel() { return D3D_OK; }

HRESULT IDirect3DDevice8::GetDirect3D(IDirect3D8** ppD3D8) {
  if (ppD3D8 == nullptr) return D3DERR_INVALIDCALL;
  *ppD3D8 = core_->direct3d;
  if (*ppD3D8 != nullptr) (*ppD3D8)->AddRef();
  return D3D_OK;
}

HRESULT IDirect3DDevice8::GetDisplayMode(D3DDISPLAYMODE* pMode) {
  if (pMode == nullptr) return D3DERR_INVALIDCALL;
  pMode->Width = core_->backBuffer->width_;
  pMode->Height = core_->backBuffer->height_;
  pMode->RefreshRate = core_->params.FullScreen_RefreshRateInHz;
  pMode->Format = core_->params.Windowed ? D3DFMT_X8R8G8B8 : core_->params.BackBufferFormat;
  return D3D_OK;
}

HRESULT IDirect3DDevice8::Reset(D3DPRESENT_PARAMETERS*) {
  D3D8_LOG("Reset()");
  return D3DERR_INVALIDCALL;  // the program never resets; a lost device is not emulated
}

HRESULT IDirect3DDevice8::Present(const RECT* pSourceRect, const RECT* pDestRect,
                                  HWND hDestWindowOverride, const _RGNDATA* pDirtyRegion) {
  D3D8_LOG("Present(%s, %s, %s, %s)", pSourceRect ? "rect" : "null", pDestRect ? "rect" : "null",
           hDestWindowOverride ? "window" : "null", pDirtyRegion ? "region" : "null");
  // A frame is shown only once its scene has ended.
  if (core_->inScene) return D3DERR_INVALIDCALL;
  core_->rasterizer->Finish();
  if (!core_->presenter->Present(*core_->backBuffer)) return D3DERR_DEVICELOST;
  return D3D_OK;
}

HRESULT IDirect3DDevice8::GetBackBuffer(UINT BackBuffer, D3DBACKBUFFER_TYPE,
                                        IDirect3DSurface8** ppBackBuffer) {
  if (ppBackBuffer == nullptr || BackBuffer != 0) return D3DERR_INVALIDCALL;
  *ppBackBuffer = core_->backBuffer;
  core_->backBuffer->AddRef();
  return D3D_OK;
}

// --- resources ---

HRESULT IDirect3DDevice8::CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage,
                                        D3DFORMAT Format, D3DPOOL Pool,
                                        IDirect3DTexture8** ppTexture) {
  HRESULT hr = D3D_OK;
  if (ppTexture == nullptr || Width == 0 || Height == 0 || Width > 4096 || Height > 4096 ||
      zelk4::d3d8::BytesPerPixel(Format) == 0 || Format == D3DFMT_D16 || Format == D3DFMT_D24X8) {
    hr = D3DERR_INVALIDCALL;
  } else if ((Usage & D3DUSAGE_RENDERTARGET) != 0 && Pool != D3DPOOL_DEFAULT) {
    hr = D3DERR_INVALIDCALL;  // render targets live in the default pool only
  }
  UINT fullChain = 1;
  for (UINT size = Width > Height ? Width : Height; size > 1; size >>= 1) ++fullChain;
  if (Levels == 0 || Levels > fullChain) Levels = fullChain;
  if (hr == D3D_OK) {
    auto* texture = new IDirect3DTexture8;
    texture->objectId_ = zelk4::d3d8::NextObjectId();
    texture->device_ = this;
    texture->type_ = D3DRTYPE_TEXTURE;
    texture->format_ = Format;
    texture->usage_ = Usage;
    texture->pool_ = Pool;
    texture->levelCount_ = Levels;
    UINT w = Width, h = Height;
    for (UINT level = 0; level < Levels; ++level) {
      IDirect3DSurface8* surface = zelk4::d3d8::NewSurface(this, w, h, Format, Usage, Pool);
      surface->container_ = texture;
      texture->levels_.push_back(surface);
      w = w > 1 ? w / 2 : 1;
      h = h > 1 ? h / 2 : 1;
    }
    *ppTexture = texture;
  } else if (ppTexture != nullptr) {
    *ppTexture = nullptr;
  }
  D3D8_LOG("CreateTexture(%u, %u, %u, %s, %s, %s) -> %s", Width, Height, Levels,
           zelk4::d3d8::UsageText(Usage).c_str(), zelk4::d3d8::FormatName(Format).c_str(),
           zelk4::d3d8::PoolName(Pool).c_str(), hr == D3D_OK ? ObjectName(*ppTexture).c_str() : "failed");
  return hr;
}

HRESULT IDirect3DDevice8::CreateCubeTexture(UINT EdgeLength, UINT Levels, DWORD Usage,
                                            D3DFORMAT Format, D3DPOOL Pool,
                                            IDirect3DCubeTexture8** ppCubeTexture) {
  HRESULT hr = D3D_OK;
  if (ppCubeTexture == nullptr || EdgeLength == 0 || EdgeLength > 4096 ||
      zelk4::d3d8::BytesPerPixel(Format) == 0 || Format == D3DFMT_D16 || Format == D3DFMT_D24X8) {
    hr = D3DERR_INVALIDCALL;
  }
  UINT fullChain = 1;
  for (UINT size = EdgeLength; size > 1; size >>= 1) ++fullChain;
  if (Levels == 0 || Levels > fullChain) Levels = fullChain;
  if (hr == D3D_OK) {
    auto* cube = new IDirect3DCubeTexture8;
    cube->objectId_ = zelk4::d3d8::NextObjectId();
    cube->device_ = this;
    cube->type_ = D3DRTYPE_CUBETEXTURE;
    cube->format_ = Format;
    cube->usage_ = Usage;
    cube->pool_ = Pool;
    cube->levelCount_ = Levels;
    for (auto& face : cube->faces_) {
      UINT size = EdgeLength;
      for (UINT level = 0; level < Levels; ++level) {
        IDirect3DSurface8* surface = zelk4::d3d8::NewSurface(this, size, size, Format, Usage, Pool);
        surface->container_ = cube;
        face.push_back(surface);
        size = size > 1 ? size / 2 : 1;
      }
    }
    *ppCubeTexture = cube;
  } else if (ppCubeTexture != nullptr) {
    *ppCubeTexture = nullptr;
  }
  D3D8_LOG("CreateCubeTexture(%u, %u, %s, %s, %s) -> %s", EdgeLength, Levels,
           zelk4::d3d8::UsageText(Usage).c_str(), zelk4::d3d8::FormatName(Format).c_str(),
           zelk4::d3d8::PoolName(Pool).c_str(),
           hr == D3D_OK ? ObjectName(*ppCubeTexture).c_str() : "failed");
  return hr;
}

HRESULT IDirect3DDevice8::CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                                             IDirect3DVertexBuffer8** ppVertexBuffer) {
  HRESULT hr = D3D_OK;
  // A sane upper bound keeps a wild length from exhausting memory.
  if (ppVertexBuffer == nullptr || Length == 0 || Length > (256u << 20)) hr = D3DERR_INVALIDCALL;
  if (hr == D3D_OK) hr = zelk4::d3d8::CreationResult({zelk4::d3d8::CreationCall::kCreateVertexBuffer});
  if (SUCCEEDED(hr)) {
    auto* buffer = new IDirect3DVertexBuffer8;
    buffer->objectId_ = zelk4::d3d8::NextObjectId();
    buffer->device_ = this;
    buffer->type_ = D3DRTYPE_VERTEXBUFFER;
    buffer->desc_ = D3DVERTEXBUFFER_DESC{D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, Usage, Pool,
                                         Length, FVF};
    buffer->data_.assign(Length, 0);
    *ppVertexBuffer = buffer;
  } else if (ppVertexBuffer != nullptr) {
    *ppVertexBuffer = nullptr;
  }
  D3D8_LOG("CreateVertexBuffer(%u, %s, %s, %s) -> %s", Length, zelk4::d3d8::UsageText(Usage).c_str(),
           zelk4::d3d8::FvfText(FVF).c_str(), zelk4::d3d8::PoolName(Pool).c_str(),
           SUCCEEDED(hr) ? ObjectName(*ppVertexBuffer).c_str() : "failed");
  return hr;
}

HRESULT IDirect3DDevice8::CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format,
                                            D3DPOOL Pool, IDirect3DIndexBuffer8** ppIndexBuffer) {
  HRESULT hr = D3D_OK;
  if (ppIndexBuffer == nullptr || Length == 0 || Length > (256u << 20) ||
      (Format != D3DFMT_INDEX16 && Format != D3DFMT_INDEX32)) {
    hr = D3DERR_INVALIDCALL;
  }
  if (hr == D3D_OK) {
    auto* buffer = new IDirect3DIndexBuffer8;
    buffer->objectId_ = zelk4::d3d8::NextObjectId();
    buffer->device_ = this;
    buffer->type_ = D3DRTYPE_INDEXBUFFER;
    buffer->desc_ = D3DINDEXBUFFER_DESC{Format, D3DRTYPE_INDEXBUFFER, Usage, Pool, Length};
    buffer->data_.assign(Length, 0);
    *ppIndexBuffer = buffer;
  } else if (ppIndexBuffer != nullptr) {
    *ppIndexBuffer = nullptr;
  }
  D3D8_LOG("CreateIndexBuffer(%u, %s, %s, %s) -> %s", Length, zelk4::d3d8::UsageText(Usage).c_str(),
           zelk4::d3d8::FormatName(Format).c_str(), zelk4::d3d8::PoolName(Pool).c_str(),
           hr == D3D_OK ? ObjectName(*ppIndexBuffer).c_str() : "failed");
  return hr;
}

HRESULT IDirect3DDevice8::CreateImageSurface(UINT Width, UINT Height, D3DFORMAT Format,
                                             IDirect3DSurface8** ppSurface) {
  if (ppSurface == nullptr) return D3DERR_INVALIDCALL;
  *ppSurface = nullptr;
  if (Width == 0 || Height == 0 || Width > 4096 || Height > 4096 ||
      zelk4::d3d8::BytesPerPixel(Format) == 0) {
    return D3DERR_INVALIDCALL;
  }
  *ppSurface = zelk4::d3d8::NewSurface(this, Width, Height, Format, 0, D3DPOOL_SYSTEMMEM);
  return D3D_OK;
}

// --- render targets ---

HRESULT IDirect3DDevice8::SetRenderTarget(IDirect3DSurface8* pRenderTarget,
                                          IDirect3DSurface8* pNewZStencil) {
  D3D8_LOG("SetRenderTarget(%s, %s)", ObjectName(pRenderTarget).c_str(),
           ObjectName(pNewZStencil).c_str());
  zelk4::d3d8::DeviceCore& c = *core_;
  if (pRenderTarget != nullptr) {
    bool renderable = pRenderTarget == c.backBuffer ||
                      (pRenderTarget->usage_ & D3DUSAGE_RENDERTARGET) != 0;
    D3DFORMAT f = pRenderTarget->format_;
    if (!renderable || (f != D3DFMT_A8R8G8B8 && f != D3DFMT_X8R8G8B8 && f != D3DFMT_R5G6B5)) {
      return D3DERR_INVALIDCALL;
    }
  }
  if (pNewZStencil != nullptr) {
    D3DFORMAT f = pNewZStencil->format_;
    if (f != D3DFMT_D16 && f != D3DFMT_D24X8) return D3DERR_INVALIDCALL;
    IDirect3DSurface8* target = pRenderTarget != nullptr ? pRenderTarget : c.renderTarget;
    if (pNewZStencil->width_ < target->width_ || pNewZStencil->height_ < target->height_) {
      return D3DERR_INVALIDCALL;
    }
  }
  // A texture drawn into may be read by the next draw: finish what is queued first.
  c.rasterizer->Finish();
  if (pRenderTarget != nullptr) {
    zelk4::d3d8::Rebind(&c.renderTarget, pRenderTarget);
    c.state.viewport = D3DVIEWPORT8{0, 0, pRenderTarget->width_, pRenderTarget->height_, 0.0f, 1.0f};
  }
  zelk4::d3d8::Rebind(&c.depthStencil, pNewZStencil);
  return D3D_OK;
}

HRESULT IDirect3DDevice8::GetRenderTarget(IDirect3DSurface8** ppRenderTarget) {
  D3D8_LOG("GetRenderTarget() -> %s", ObjectName(core_->renderTarget).c_str());
  if (ppRenderTarget == nullptr) return D3DERR_INVALIDCALL;
  *ppRenderTarget = core_->renderTarget;
  core_->renderTarget->AddRef();
  return D3D_OK;
}

HRESULT IDirect3DDevice8::GetDepthStencilSurface(IDirect3DSurface8** ppZStencilSurface) {
  D3D8_LOG("GetDepthStencilSurface() -> %s", ObjectName(core_->depthStencil).c_str());
  if (ppZStencilSurface == nullptr) return D3DERR_INVALIDCALL;
  *ppZStencilSurface = core_->depthStencil;
  if (core_->depthStencil == nullptr) return D3DERR_NOTFOUND;
  core_->depthStencil->AddRef();
  return D3D_OK;
}

// --- scenes and clears ---

HRESULT IDirect3DDevice8::BeginScene() {
  D3D8_LOG("BeginScene()");
  if (core_->inScene) return D3DERR_INVALIDCALL;
  core_->inScene = true;
  return D3D_OK;
}

HRESULT IDirect3DDevice8::EndScene() {
  D3D8_LOG("EndScene()");
  if (!core_->inScene) return D3DERR_INVALIDCALL;
  core_->inScene = false;
  return D3D_OK;
}

HRESULT IDirect3DDevice8::Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color,
                                float Z, DWORD Stencil) {
  D3D8_LOG("Clear(%u, %s, %s, 0x%08x, %.9g, %u)", Count, pRects ? "rects" : "null",
           zelk4::d3d8::ClearText(Flags).c_str(), Color, static_cast<double>(Z), Stencil);
  zelk4::d3d8::DeviceCore& c = *core_;
  if ((Flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) != 0 && c.depthStencil == nullptr) {
    return D3DERR_INVALIDCALL;
  }
  if ((Flags & D3DCLEAR_STENCIL) != 0) return D3DERR_INVALIDCALL;  // no stencil formats here
  if (!(Z >= 0.0f && Z <= 1.0f)) return D3DERR_INVALIDCALL;
  // Only inside the viewport, and inside each rectangle if rectangles are given.
  const D3DVIEWPORT8& vp = c.state.viewport;
  LONG vx0 = static_cast<LONG>(vp.X), vy0 = static_cast<LONG>(vp.Y);
  LONG vx1 = static_cast<LONG>(vp.X + vp.Width), vy1 = static_cast<LONG>(vp.Y + vp.Height);
  IDirect3DSurface8* target = (Flags & D3DCLEAR_TARGET) ? c.renderTarget : nullptr;
  IDirect3DSurface8* depth = (Flags & D3DCLEAR_ZBUFFER) ? c.depthStencil : nullptr;
  if ((target == nullptr && depth == nullptr) || zelk4::d3d8::DrawingSuspended()) return D3D_OK;
  auto clearRect = [&](LONG x0, LONG y0, LONG x1, LONG y1) {
    x0 = x0 > vx0 ? x0 : vx0;
    y0 = y0 > vy0 ? y0 : vy0;
    x1 = x1 < vx1 ? x1 : vx1;
    y1 = y1 < vy1 ? y1 : vy1;
    if (x0 < x1 && y0 < y1) c.rasterizer->Clear(target, depth, x0, y0, x1, y1, Flags, Color, Z);
  };
  if (Count == 0 && pRects == nullptr) {
    clearRect(vx0, vy0, vx1, vy1);
  } else if (Count != 0 && pRects == nullptr) {
    clearRect(vx0, vy0, vx1, vy1);
  } else {
    for (DWORD i = 0; i < Count; ++i) {
      const D3DRECT& r = pRects[i];
      if (r.x1 > r.x2 || r.y1 > r.y2) continue;
      clearRect(r.x1, r.y1, r.x2, r.y2);
    }
  }
  return D3D_OK;
}

// --- transforms, viewport, material, lights ---

HRESULT IDirect3DDevice8::SetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix) {
  D3D8_LOG("SetTransform(%s, %s)", zelk4::d3d8::TransformName(State).c_str(),
           zelk4::d3d8::MatrixText(pMatrix).c_str());
  D3DMATRIX* slot = zelk4::d3d8::TransformSlot(core_->state, State);
  if (slot == nullptr || pMatrix == nullptr) return D3DERR_INVALIDCALL;
  *slot = *pMatrix;
  return D3D_OK;
}

HRESULT IDirect3DDevice8::GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) {
  D3D8_LOG("GetTransform(%s)", zelk4::d3d8::TransformName(State).c_str());
  D3DMATRIX* slot = zelk4::d3d8::TransformSlot(core_->state, State);
  if (slot == nullptr || pMatrix == nullptr) return D3DERR_INVALIDCALL;
  *pMatrix = *slot;
  return D3D_OK;
}

HRESULT IDirect3DDevice8::MultiplyTransform(D3DTRANSFORMSTATETYPE State,
                                            const D3DMATRIX* pMatrix) {
  D3D8_LOG("MultiplyTransform(%s, %s)", zelk4::d3d8::TransformName(State).c_str(),
           zelk4::d3d8::MatrixText(pMatrix).c_str());
  D3DMATRIX* slot = zelk4::d3d8::TransformSlot(core_->state, State);
  if (slot == nullptr || pMatrix == nullptr) return D3DERR_INVALIDCALL;
  D3DMATRIX out{};
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      out.m[i][j] = pMatrix->m[i][0] * slot->m[0][j] + pMatrix->m[i][1] * slot->m[1][j] +
                    pMatrix->m[i][2] * slot->m[2][j] + pMatrix->m[i][3] * slot->m[3][j];
    }
  }
  *slot = out;
  return D3D_OK;
}

HRESULT IDirect3DDevice8::SetViewport(const D3DVIEWPORT8* pViewport) {
  if (pViewport == nullptr) return D3DERR_INVALIDCALL;
  D3D8_LOG("SetViewport(%u, %u, %u, %u, %.9g, %.9g)", pViewport->X, pViewport->Y,
           pViewport->Width, pViewport->Height, static_cast<double>(pViewport->MinZ),
           static_cast<double>(pViewport->MaxZ));
  const IDirect3DSurface8* target = core_->renderTarget;
  uint64_t right = static_cast<uint64_t>(pViewport->X) + pViewport->Width;
  uint64_t bottom = static_cast<uint64_t>(pViewport->Y) + pViewport->Height;
  if (pViewport->Width == 0 || pViewport->Height == 0 || right > target->width_ ||
      bottom > target->height_ || !(pViewport->MinZ >= 0.0f && pViewport->MinZ <= 1.0f) ||
      !(pViewport->MaxZ >= 0.0f && pViewport->MaxZ <= 1.0f)) {
    return D3DERR_INVALIDCALL;
  }
  core_->state.viewport = *pViewport;
  return D3D_OK;
}

HRESULT IDirect3DDevice8::GetViewport(D3DVIEWPORT8* pViewport) {
  if (pViewport == nullptr) return D3DERR_INVALIDCALL;
  *pViewport = core_->state.viewport;
  return D3D_OK;
}

HRESULT IDirect3DDevice8::SetMaterial(const D3DMATERIAL8* pMaterial) {
  if (pMaterial == nullptr) return D3DERR_INVALIDCALL;
  const D3DMATERIAL8& m = *pMaterial;
  D3D8_LOG("SetMaterial(d(%.9g %.9g %.9g %.9g) a(%.9g %.9g %.9g %.9g) s(%.9g %.9g %.9g %.9g) "
           "e(%.9g %.9g %.9g %.9g) p %.9g)",
           double(m.Diffuse.r), double(m.Diffuse.g), double(m.Diffuse.b), double(m.Diffuse.a),
           double(m.Ambient.r), double(m.Ambient.g), double(m.Ambient.b), double(m.Ambient.a),
           double(m.Specular.r), double(m.Specular.g), double(m.Specular.b),
           double(m.Specular.a), double(m.Emissive.r), double(m.Emissive.g),
           double(m.Emissive.b), double(m.Emissive.a), double(m.Power));
  core_->state.material = m;
  return D3D_OK;
}

HRESULT IDirect3DDevice8::GetMaterial(D3DMATERIAL8* pMaterial) {
  if (pMaterial == nullptr) return D3DERR_INVALIDCALL;
  *pMaterial = core_->state.material;
  return D3D_OK;
}

HRESULT IDirect3DDevice8::SetLight(DWORD Index, const D3DLIGHT8* pLight) {
  if (pLight == nullptr) return D3DERR_INVALIDCALL;
  const D3DLIGHT8& l = *pLight;
  D3D8_LOG("SetLight(%u, %s, pos(%.9g %.9g %.9g) dir(%.9g %.9g %.9g) d(%.9g %.9g %.9g) "
           "s(%.9g %.9g %.9g) a(%.9g %.9g %.9g) range %.9g att(%.9g %.9g %.9g))",
           Index, zelk4::d3d8::LightTypeName(l.Type).c_str(), double(l.Position.x), double(l.Position.y),
           double(l.Position.z), double(l.Direction.x), double(l.Direction.y),
           double(l.Direction.z), double(l.Diffuse.r), double(l.Diffuse.g), double(l.Diffuse.b),
           double(l.Specular.r), double(l.Specular.g), double(l.Specular.b), double(l.Ambient.r),
           double(l.Ambient.g), double(l.Ambient.b), double(l.Range), double(l.Attenuation0),
           double(l.Attenuation1), double(l.Attenuation2));
  if (l.Type < D3DLIGHT_POINT || l.Type > D3DLIGHT_DIRECTIONAL) return D3DERR_INVALIDCALL;
  if (l.Type != D3DLIGHT_DIRECTIONAL &&
      (l.Attenuation0 < 0.0f || l.Attenuation1 < 0.0f || l.Attenuation2 < 0.0f)) {
    return D3DERR_INVALIDCALL;
  }
  zelk4::d3d8::LightSlot* slot = zelk4::d3d8::Light(core_->state, Index, true);
  if (slot == nullptr) return D3DERR_INVALIDCALL;
  slot->light = l;
  return D3D_OK;
}

HRESULT IDirect3DDevice8::GetLight(DWORD Index, D3DLIGHT8* pLight) {
  zelk4::d3d8::LightSlot* slot = zelk4::d3d8::Light(core_->state, Index, false);
  if (pLight == nullptr || slot == nullptr) return D3DERR_INVALIDCALL;
  *pLight = slot->light;
  return D3D_OK;
}

HRESULT IDirect3DDevice8::LightEnable(DWORD Index, BOOL Enable) {
  D3D8_LOG("LightEnable(%u, %d)", Index, Enable);
  zelk4::d3d8::LightSlot* slot = zelk4::d3d8::Light(core_->state, Index, true);
  if (slot == nullptr) return D3DERR_INVALIDCALL;
  slot->enabled = Enable != FALSE;
  return D3D_OK;
}

HRESULT IDirect3DDevice8::GetLightEnable(DWORD Index, BOOL* pEnable) {
  zelk4::d3d8::LightSlot* slot = zelk4::d3d8::Light(core_->state, Index, false);
  if (pEnable == nullptr || slot == nullptr) return D3DERR_INVALIDCALL;
  *pEnable = slot->enabled ? TRUE : FALSE;
  return D3D_OK;
}

// --- render and texture-stage states ---

HRESULT IDirect3DDevice8::SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) {
  D3D8_LOG("SetRenderState(%s)", zelk4::d3d8::RenderStateText(State, Value).c_str());
  if (State <= 0 || State >= zelk4::d3d8::kRenderStateCount) return D3DERR_INVALIDCALL;
  core_->state.renderStates[State] = Value;
  return D3D_OK;
}

HRESULT IDirect3DDevice8::GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) {
  if (pValue == nullptr || State <= 0 || State >= zelk4::d3d8::kRenderStateCount) {
    return D3DERR_INVALIDCALL;
  }
  *pValue = core_->state.renderStates[State];
  return D3D_OK;
}

HRESULT IDirect3DDevice8::GetTexture(DWORD Stage, IDirect3DBaseTexture8** ppTexture) {
  if (ppTexture == nullptr || Stage >= zelk4::d3d8::kStageCount) return D3DERR_INVALIDCALL;
  *ppTexture = core_->state.textures[Stage];
  if (*ppTexture != nullptr) (*ppTexture)->AddRef();
  return D3D_OK;
}

HRESULT IDirect3DDevice8::SetTexture(DWORD Stage, IDirect3DBaseTexture8* pTexture) {
  D3D8_LOG("SetTexture(%u, %s)", Stage, ObjectName(pTexture).c_str());
  if (Stage >= zelk4::d3d8::kStageCount) return D3DERR_INVALIDCALL;
  zelk4::d3d8::Rebind(&core_->state.textures[Stage], pTexture);
  return D3D_OK;
}

HRESULT IDirect3DDevice8::GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type,
                                               DWORD* pValue) {
  if (pValue == nullptr || Stage >= zelk4::d3d8::kStageCount || Type <= 0 ||
      Type >= zelk4::d3d8::kStageStateCount) {
    return D3DERR_INVALIDCALL;
  }
  *pValue = core_->state.stageStates[Stage][Type];
  return D3D_OK;
}

HRESULT IDirect3DDevice8::SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type,
                                               DWORD Value) {
  D3D8_LOG("SetTextureStageState(%u, %s)", Stage, zelk4::d3d8::StageStateText(Type, Value).c_str());
  if (Stage >= zelk4::d3d8::kStageCount || Type <= 0 || Type >= zelk4::d3d8::kStageStateCount) {
    return D3DERR_INVALIDCALL;
  }
  core_->state.stageStates[Stage][Type] = Value;
  return D3D_OK;
}

// --- vertex sources ---

HRESULT IDirect3DDevice8::SetVertexShader(DWORD Handle) {
  D3D8_LOG("SetVertexShader(%s)", zelk4::d3d8::FvfText(Handle).c_str());
  core_->state.vertexShader = Handle;
  return D3D_OK;
}

HRESULT IDirect3DDevice8::GetVertexShader(DWORD* pHandle) {
  if (pHandle == nullptr) return D3DERR_INVALIDCALL;
  *pHandle = core_->state.vertexShader;
  return D3D_OK;
}

HRESULT IDirect3DDevice8::SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer8* pStreamData,
                                          UINT Stride) {
  D3D8_LOG("SetStreamSource(%u, %s, %u)", StreamNumber, ObjectName(pStreamData).c_str(), Stride);
  if (StreamNumber != 0) return D3DERR_INVALIDCALL;  // the fixed-function path reads stream 0
  zelk4::d3d8::Rebind(&core_->state.stream, pStreamData);
  core_->state.streamStride = Stride;
  return D3D_OK;
}

HRESULT IDirect3DDevice8::GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer8** ppStreamData,
                                          UINT* pStride) {
  if (StreamNumber != 0 || ppStreamData == nullptr || pStride == nullptr) {
    return D3DERR_INVALIDCALL;
  }
  *ppStreamData = core_->state.stream;
  if (*ppStreamData != nullptr) (*ppStreamData)->AddRef();
  *pStride = core_->state.streamStride;
  return D3D_OK;
}

HRESULT IDirect3DDevice8::SetIndices(IDirect3DIndexBuffer8* pIndexData, UINT BaseVertexIndex) {
  D3D8_LOG("SetIndices(%s, %u)", ObjectName(pIndexData).c_str(), BaseVertexIndex);
  zelk4::d3d8::Rebind(&core_->state.indices, pIndexData);
  core_->state.baseVertexIndex = BaseVertexIndex;
  return D3D_OK;
}

HRESULT IDirect3DDevice8::GetIndices(IDirect3DIndexBuffer8** ppIndexData, UINT* pBaseVertexIndex) {
  if (ppIndexData == nullptr || pBaseVertexIndex == nullptr) return D3DERR_INVALIDCALL;
  *ppIndexData = core_->state.indices;
  if (*ppIndexData != nullptr) (*ppIndexData)->AddRef();
  *pBaseVertexIndex = core_->state.baseVertexIndex;
  return D3D_OK;
}
