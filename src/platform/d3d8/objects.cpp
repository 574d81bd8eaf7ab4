// Reference counting, surfaces, textures and vertex/index buffers. Locks hand out the object's
// own memory; a lock first lets any queued drawing finish, so the caller sees and changes the
// pixels as they stand after every earlier call.
#include <cstring>

#include "platform/d3d8/call_log.h"
#include "platform/d3d8/device_core.h"

namespace zelk4::d3d8 {

uint32_t NextObjectId() {
  static uint32_t next = 0;
  return ++next;
}

UINT BytesPerPixel(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_D24X8:
    case D3DFMT_D24S8:
    case D3DFMT_D32:
      return 4;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_D16:
    case D3DFMT_D16_LOCKABLE:
      return 2;
    default:
      return 0;
  }
}

IDirect3DSurface8* NewSurface(IDirect3DDevice8* device, UINT width, UINT height,
                              D3DFORMAT format, DWORD usage, D3DPOOL pool) {
  auto* surface = new IDirect3DSurface8;
  surface->objectId_ = NextObjectId();
  surface->device_ = device;
  surface->format_ = format;
  surface->usage_ = usage;
  surface->pool_ = pool;
  surface->width_ = width;
  surface->height_ = height;
  surface->pitch_ = static_cast<INT>(width * BytesPerPixel(format));
  // Colour starts black; depth starts at the far plane, so a first draw is seen even before
  // a clear.
  bool depth = format == D3DFMT_D16 || format == D3DFMT_D24X8 || format == D3DFMT_D24S8 ||
               format == D3DFMT_D16_LOCKABLE || format == D3DFMT_D32;
  surface->bits_.assign(static_cast<size_t>(surface->pitch_) * height, depth ? 0xFF : 0);
  return surface;
}

}  // namespace zelk4::d3d8

using zelk4::d3d8::FinishDrawing;

// --- reference counts ---

ULONG IDirect3DUnknown8::AddRef() {
  if (container_ != nullptr) return container_->AddRef();
  return ++refCount_;
}

ULONG IDirect3DUnknown8::Release() {
  if (container_ != nullptr) return container_->Release();
  if (refCount_ == 0) return 0;  // released once too often: ignored rather than freed twice
  ULONG left = --refCount_;
  if (left == 0) delete this;
  return left;
}

HRESULT IDirect3DResource8::GetDevice(IDirect3DDevice8** ppDevice) {
  if (ppDevice == nullptr) return D3DERR_INVALIDCALL;
  *ppDevice = device_;
  if (device_ != nullptr) device_->AddRef();
  return D3D_OK;
}

DWORD IDirect3DResource8::SetPriority(DWORD PriorityNew) {
  DWORD old = priority_;
  priority_ = PriorityNew;
  return old;
}

DWORD IDirect3DResource8::GetPriority() { return priority_; }

DWORD IDirect3DBaseTexture8::SetLOD(DWORD LODNew) {
  DWORD old = lod_;
  if (pool_ == D3DPOOL_MANAGED) lod_ = LODNew < levelCount_ ? LODNew : levelCount_ - 1;
  return old;
}

// --- surfaces ---

HRESULT IDirect3DSurface8::GetDevice(IDirect3DDevice8** ppDevice) {
  if (ppDevice == nullptr) return D3DERR_INVALIDCALL;
  *ppDevice = device_;
  if (device_ != nullptr) device_->AddRef();
  return D3D_OK;
}

HRESULT IDirect3DSurface8::GetContainer(IDirect3DUnknown8** ppContainer) {
  if (ppContainer == nullptr) return D3DERR_INVALIDCALL;
  IDirect3DUnknown8* container = container_ != nullptr ? container_ : device_;
  *ppContainer = container;
  if (container != nullptr) container->AddRef();
  return D3D_OK;
}

HRESULT IDirect3DSurface8::GetDesc(D3DSURFACE_DESC* pDesc) {
  if (pDesc == nullptr) return D3DERR_INVALIDCALL;
  pDesc->Format = format_;
  pDesc->Type = D3DRTYPE_SURFACE;
  pDesc->Usage = usage_;
  pDesc->Pool = pool_;
  pDesc->Size = static_cast<UINT>(bits_.size());
  pDesc->MultiSampleType = D3DMULTISAMPLE_NONE;
  pDesc->Width = width_;
  pDesc->Height = height_;
  return D3D_OK;
}

HRESULT IDirect3DSurface8::LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect,
                                    DWORD Flags) {
  D3D8_LOG("Surface::LockRect(%s, %s, %s)", zelk4::d3d8::ObjectName(this).c_str(),
           pRect ? "rect" : "null", zelk4::d3d8::LockText(Flags).c_str());
  if (pLockedRect == nullptr || pRect != nullptr || locked_) return D3DERR_INVALIDCALL;
  // Depth buffers other than D16_LOCKABLE cannot be locked in Direct3D 8.
  if (format_ == D3DFMT_D16 || format_ == D3DFMT_D24X8 || format_ == D3DFMT_D24S8) {
    return D3DERR_INVALIDCALL;
  }
  if (device_ != nullptr) FinishDrawing(device_);
  locked_ = true;
  alphaBlocksValid_ = false;  // the texels may change
  pLockedRect->Pitch = pitch_;
  pLockedRect->pBits = bits_.data();
  return D3D_OK;
}

HRESULT IDirect3DSurface8::UnlockRect() {
  D3D8_LOG("Surface::UnlockRect(%s)", zelk4::d3d8::ObjectName(this).c_str());
  if (!locked_) return D3DERR_INVALIDCALL;
  locked_ = false;
  alphaBlocksValid_ = false;
  return D3D_OK;
}

// --- textures ---

// Queued drawing holds its own references, so a texture is never freed under it.
IDirect3DTexture8::~IDirect3DTexture8() {
  for (IDirect3DSurface8* level : levels_) {
    level->container_ = nullptr;
    delete level;
  }
}

HRESULT IDirect3DTexture8::GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) {
  if (Level >= levels_.size()) return D3DERR_INVALIDCALL;
  return levels_[Level]->GetDesc(pDesc);
}

HRESULT IDirect3DTexture8::GetSurfaceLevel(UINT Level, IDirect3DSurface8** ppSurfaceLevel) {
  D3D8_LOG("Texture::GetSurfaceLevel(%s, %u)", zelk4::d3d8::ObjectName(this).c_str(), Level);
  if (ppSurfaceLevel == nullptr || Level >= levels_.size()) return D3DERR_INVALIDCALL;
  *ppSurfaceLevel = levels_[Level];
  AddRef();
  return D3D_OK;
}

HRESULT IDirect3DTexture8::LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect,
                                    const RECT* pRect, DWORD Flags) {
  D3D8_LOG("Texture::LockRect(%s, %u, %s, %s)", zelk4::d3d8::ObjectName(this).c_str(), Level,
           pRect ? "rect" : "null", zelk4::d3d8::LockText(Flags).c_str());
  if (Level >= levels_.size()) return D3DERR_INVALIDCALL;
  // A render target in the default pool cannot be locked in Direct3D 8.
  if ((usage_ & D3DUSAGE_RENDERTARGET) != 0 && pool_ == D3DPOOL_DEFAULT) {
    return D3DERR_INVALIDCALL;
  }
  bool wasLogging = zelk4::d3d8::CallLogOn();
  zelk4::d3d8::EnableCallLog(false);  // the level's own lock is part of this call
  HRESULT hr = levels_[Level]->LockRect(pLockedRect, pRect, Flags);
  zelk4::d3d8::EnableCallLog(wasLogging);
  return hr;
}

HRESULT IDirect3DTexture8::UnlockRect(UINT Level) {
  D3D8_LOG("Texture::UnlockRect(%s, %u)", zelk4::d3d8::ObjectName(this).c_str(), Level);
  if (Level >= levels_.size()) return D3DERR_INVALIDCALL;
  if (!levels_[Level]->locked_) return D3DERR_INVALIDCALL;
  levels_[Level]->locked_ = false;
  levels_[Level]->alphaBlocksValid_ = false;
  return D3D_OK;
}

IDirect3DCubeTexture8::~IDirect3DCubeTexture8() {
  for (auto& face : faces_) {
    for (IDirect3DSurface8* level : face) {
      level->container_ = nullptr;
      delete level;
    }
  }
}

HRESULT IDirect3DCubeTexture8::GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) {
  if (Level >= faces_[0].size()) return D3DERR_INVALIDCALL;
  return faces_[0][Level]->GetDesc(pDesc);
}

HRESULT IDirect3DCubeTexture8::GetCubeMapSurface(D3DCUBEMAP_FACES FaceType, UINT Level,
                                                 IDirect3DSurface8** ppCubeMapSurface) {
  D3D8_LOG("CubeTexture::GetCubeMapSurface(%s, %d, %u)", zelk4::d3d8::ObjectName(this).c_str(),
           static_cast<int>(FaceType), Level);
  if (ppCubeMapSurface == nullptr || static_cast<unsigned>(FaceType) > 5 ||
      Level >= faces_[FaceType].size()) {
    return D3DERR_INVALIDCALL;
  }
  *ppCubeMapSurface = faces_[FaceType][Level];
  AddRef();
  return D3D_OK;
}

HRESULT IDirect3DCubeTexture8::LockRect(D3DCUBEMAP_FACES FaceType, UINT Level,
                                        D3DLOCKED_RECT* pLockedRect, const RECT* pRect,
                                        DWORD Flags) {
  D3D8_LOG("CubeTexture::LockRect(%s, %d, %u, %s, %s)", zelk4::d3d8::ObjectName(this).c_str(),
           static_cast<int>(FaceType), Level, pRect ? "rect" : "null", zelk4::d3d8::LockText(Flags).c_str());
  if (static_cast<unsigned>(FaceType) > 5 || Level >= faces_[FaceType].size()) {
    return D3DERR_INVALIDCALL;
  }
  bool wasLogging = zelk4::d3d8::CallLogOn();
  zelk4::d3d8::EnableCallLog(false);
  HRESULT hr = faces_[FaceType][Level]->LockRect(pLockedRect, pRect, Flags);
  zelk4::d3d8::EnableCallLog(wasLogging);
  return hr;
}

HRESULT IDirect3DCubeTexture8::UnlockRect(D3DCUBEMAP_FACES FaceType, UINT Level) {
  D3D8_LOG("CubeTexture::UnlockRect(%s, %d, %u)", zelk4::d3d8::ObjectName(this).c_str(),
           static_cast<int>(FaceType), Level);
  if (static_cast<unsigned>(FaceType) > 5 || Level >= faces_[FaceType].size()) {
    return D3DERR_INVALIDCALL;
  }
  IDirect3DSurface8* surface = faces_[FaceType][Level];
  if (!surface->locked_) return D3DERR_INVALIDCALL;
  surface->locked_ = false;
  surface->alphaBlocksValid_ = false;
  return D3D_OK;
}

// --- buffers ---

namespace {

// Whole buffer for offset 0 and size 0; otherwise the range must lie inside the buffer.
HRESULT LockRange(std::vector<uint8_t>& data, bool* locked, UINT offset, UINT size,
                  BYTE** ppbData) {
  if (ppbData == nullptr || *locked) return D3DERR_INVALIDCALL;
  size_t total = data.size();
  if (offset > total || (size != 0 && size > total - offset)) return D3DERR_INVALIDCALL;
  *ppbData = data.data() + offset;
  *locked = true;
  return D3D_OK;
}

}  // namespace

HRESULT IDirect3DVertexBuffer8::Lock(UINT OffsetToLock, UINT SizeToLock, BYTE** ppbData,
                                     DWORD Flags) {
  D3D8_LOG("VertexBuffer::Lock(%s, %u, %u, %s)", zelk4::d3d8::ObjectName(this).c_str(),
           OffsetToLock, SizeToLock, zelk4::d3d8::LockText(Flags).c_str());
  return LockRange(data_, &locked_, OffsetToLock, SizeToLock, ppbData);
}

HRESULT IDirect3DVertexBuffer8::Unlock() {
  D3D8_LOG("VertexBuffer::Unlock(%s)", zelk4::d3d8::ObjectName(this).c_str());
  if (!locked_) return D3DERR_INVALIDCALL;
  locked_ = false;
  return D3D_OK;
}

HRESULT IDirect3DVertexBuffer8::GetDesc(D3DVERTEXBUFFER_DESC* pDesc) {
  if (pDesc == nullptr) return D3DERR_INVALIDCALL;
  *pDesc = desc_;
  return D3D_OK;
}

HRESULT IDirect3DIndexBuffer8::Lock(UINT OffsetToLock, UINT SizeToLock, BYTE** ppbData,
                                    DWORD Flags) {
  D3D8_LOG("IndexBuffer::Lock(%s, %u, %u, %s)", zelk4::d3d8::ObjectName(this).c_str(), OffsetToLock,
           SizeToLock, zelk4::d3d8::LockText(Flags).c_str());
  return LockRange(data_, &locked_, OffsetToLock, SizeToLock, ppbData);
}

HRESULT IDirect3DIndexBuffer8::Unlock() {
  D3D8_LOG("IndexBuffer::Unlock(%s)", zelk4::d3d8::ObjectName(this).c_str());
  if (!locked_) return D3DERR_INVALIDCALL;
  locked_ = false;
  return D3D_OK;
}

HRESULT IDirect3DIndexBuffer8::GetDesc(D3DINDEXBUFFER_DESC* pDesc) {
  if (pDesc == nullptr) return D3DERR_INVALIDCALL;
  *pDesc = desc_;
  return D3D_OK;
}
