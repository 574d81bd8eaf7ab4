// A software Direct3D 8 device: the interfaces of the DirectX 8.1 SDK's d3d8.h with their
// method names, argument order, constants and results, backed by a fixed-function pipeline that
// draws on the CPU. Objects are reference counted: creation hands out one reference, Release
// drops one and frees the object at zero. Results are HRESULTs: D3D_OK (0) on success, negative
// D3DERR_* values on failure. Every call is made from one thread; the device may use worker
// threads of its own inside, and the pictures it produces do not depend on how many.
//
// What is not Direct3D (choosing where Present sends frames, the creation-failure hook for tests,
// the call log) is in platform/d3d8/device_control.h, included below.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/d3d8/d3d8types.h"
#include "platform/win/win.h"


class IDirect3D8;
class IDirect3DDevice8;
class IDirect3DSurface8;
class IDirect3DBaseTexture8;
class IDirect3DTexture8;
class IDirect3DCubeTexture8;
class IDirect3DVertexBuffer8;
class IDirect3DIndexBuffer8;

namespace zelk4::d3d8 {
struct DeviceCore;  // the device's state and pipeline (private to the library)
}

// Reference counting shared by every interface. Objects that live inside another (texture
// levels, cube faces) forward their counts to that container, as Direct3D does.
class IDirect3DUnknown8 {
 public:
  ULONG AddRef();
  ULONG Release();

  IDirect3DUnknown8(const IDirect3DUnknown8&) = delete;
  IDirect3DUnknown8& operator=(const IDirect3DUnknown8&) = delete;

 protected:
  IDirect3DUnknown8() = default;
  virtual ~IDirect3DUnknown8() = default;

 public:
  // Software-device bookkeeping, not part of the Direct3D interface.
  ULONG refCount_ = 1;
  IDirect3DUnknown8* container_ = nullptr;  // non-null: counts go to the container
  uint32_t objectId_ = 0;                   // creation number, shown in the call log
};

class IDirect3DResource8 : public IDirect3DUnknown8 {
 public:
  HRESULT GetDevice(IDirect3DDevice8** ppDevice);
  DWORD SetPriority(DWORD PriorityNew);
  DWORD GetPriority();
  void PreLoad() {}
  D3DRESOURCETYPE GetType() { return type_; }

 public:
  IDirect3DDevice8* device_ = nullptr;  // not counted: the device outlives what it created here
  D3DRESOURCETYPE type_ = D3DRTYPE_SURFACE;
  DWORD priority_ = 0;
};

// A 2D array of pixels: a texture level, a cube face level, a back buffer or a depth buffer.
class IDirect3DSurface8 : public IDirect3DUnknown8 {
 public:
  HRESULT GetDevice(IDirect3DDevice8** ppDevice);
  HRESULT GetContainer(IDirect3DUnknown8** ppContainer);
  HRESULT GetDesc(D3DSURFACE_DESC* pDesc);
  // pRect null locks the whole surface; a rectangle is not supported (D3DERR_INVALIDCALL).
  HRESULT LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags);
  HRESULT UnlockRect();

 public:
  IDirect3DDevice8* device_ = nullptr;
  D3DFORMAT format_ = D3DFMT_UNKNOWN;
  DWORD usage_ = 0;
  D3DPOOL pool_ = D3DPOOL_DEFAULT;
  UINT width_ = 0;
  UINT height_ = 0;
  INT pitch_ = 0;              // bytes per row
  std::vector<uint8_t> bits_;  // pitch_ * height_ bytes, zero at creation
  bool locked_ = false;
  // The largest texel alpha of each 8x8 block of texels together with the texels just right of
  // and below it, for alpha-tested drawing; made when first needed, thrown away by a lock.
  std::vector<uint8_t> alphaBlocks_;
  bool alphaBlocksValid_ = false;
};

class IDirect3DBaseTexture8 : public IDirect3DResource8 {
 public:
  DWORD SetLOD(DWORD LODNew);
  DWORD GetLOD() { return lod_; }
  DWORD GetLevelCount() { return levelCount_; }

 public:
  DWORD lod_ = 0;
  DWORD levelCount_ = 0;
  D3DFORMAT format_ = D3DFMT_UNKNOWN;
  DWORD usage_ = 0;
  D3DPOOL pool_ = D3DPOOL_MANAGED;
};

class IDirect3DTexture8 : public IDirect3DBaseTexture8 {
 public:
  HRESULT GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc);
  HRESULT GetSurfaceLevel(UINT Level, IDirect3DSurface8** ppSurfaceLevel);
  HRESULT LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags);
  HRESULT UnlockRect(UINT Level);
  HRESULT AddDirtyRect(const RECT*) { return D3D_OK; }

  ~IDirect3DTexture8() override;

 public:
  std::vector<IDirect3DSurface8*> levels_;  // owned; level 0 is the largest
};

class IDirect3DCubeTexture8 : public IDirect3DBaseTexture8 {
 public:
  HRESULT GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc);
  HRESULT GetCubeMapSurface(D3DCUBEMAP_FACES FaceType, UINT Level,
                            IDirect3DSurface8** ppCubeMapSurface);
  HRESULT LockRect(D3DCUBEMAP_FACES FaceType, UINT Level, D3DLOCKED_RECT* pLockedRect,
                   const RECT* pRect, DWORD Flags);
  HRESULT UnlockRect(D3DCUBEMAP_FACES FaceType, UINT Level);
  HRESULT AddDirtyRect(D3DCUBEMAP_FACES, const RECT*) { return D3D_OK; }

  ~IDirect3DCubeTexture8() override;

 public:
  std::vector<IDirect3DSurface8*> faces_[6];  // owned; per face, level 0 first
};

class IDirect3DVertexBuffer8 : public IDirect3DResource8 {
 public:
  // OffsetToLock 0 with SizeToLock 0 locks the whole buffer.
  HRESULT Lock(UINT OffsetToLock, UINT SizeToLock, BYTE** ppbData, DWORD Flags);
  HRESULT Unlock();
  HRESULT GetDesc(D3DVERTEXBUFFER_DESC* pDesc);

 public:
  D3DVERTEXBUFFER_DESC desc_{};
  std::vector<uint8_t> data_;
  bool locked_ = false;
};

class IDirect3DIndexBuffer8 : public IDirect3DResource8 {
 public:
  HRESULT Lock(UINT OffsetToLock, UINT SizeToLock, BYTE** ppbData, DWORD Flags);
  HRESULT Unlock();
  HRESULT GetDesc(D3DINDEXBUFFER_DESC* pDesc);

 public:
  D3DINDEXBUFFER_DESC desc_{};
  std::vector<uint8_t> data_;
  bool locked_ = false;
};

class IDirect3DDevice8 : public IDirect3DUnknown8 {
 public:
  HRESULT TestCooperativeLevel();
  HRESULT GetDirect3D(IDirect3D8** ppD3D8);
  HRESULT GetDisplayMode(D3DDISPLAYMODE* pMode);
  HRESULT Reset(D3DPRESENT_PARAMETERS* pPresentationParameters);
  HRESULT Present(const RECT* pSourceRect, const RECT* pDestRect,
                  HWND hDestWindowOverride, const _RGNDATA* pDirtyRegion);
  HRESULT GetBackBuffer(UINT BackBuffer, D3DBACKBUFFER_TYPE Type,
                        IDirect3DSurface8** ppBackBuffer);

  HRESULT CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format,
                        D3DPOOL Pool, IDirect3DTexture8** ppTexture);
  HRESULT CreateCubeTexture(UINT EdgeLength, UINT Levels, DWORD Usage, D3DFORMAT Format,
                            D3DPOOL Pool, IDirect3DCubeTexture8** ppCubeTexture);
  HRESULT CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                             IDirect3DVertexBuffer8** ppVertexBuffer);
  HRESULT CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                            IDirect3DIndexBuffer8** ppIndexBuffer);
  HRESULT CreateImageSurface(UINT Width, UINT Height, D3DFORMAT Format,
                             IDirect3DSurface8** ppSurface);

  HRESULT SetRenderTarget(IDirect3DSurface8* pRenderTarget, IDirect3DSurface8* pNewZStencil);
  HRESULT GetRenderTarget(IDirect3DSurface8** ppRenderTarget);
  HRESULT GetDepthStencilSurface(IDirect3DSurface8** ppZStencilSurface);

  HRESULT BeginScene();
  HRESULT EndScene();
  HRESULT Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z,
                DWORD Stencil);

  HRESULT SetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix);
  HRESULT GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix);
  HRESULT MultiplyTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix);
  HRESULT SetViewport(const D3DVIEWPORT8* pViewport);
  HRESULT GetViewport(D3DVIEWPORT8* pViewport);
  HRESULT SetMaterial(const D3DMATERIAL8* pMaterial);
  HRESULT GetMaterial(D3DMATERIAL8* pMaterial);
  HRESULT SetLight(DWORD Index, const D3DLIGHT8* pLight);
  HRESULT GetLight(DWORD Index, D3DLIGHT8* pLight);
  HRESULT LightEnable(DWORD Index, BOOL Enable);
  HRESULT GetLightEnable(DWORD Index, BOOL* pEnable);
  HRESULT SetRenderState(D3DRENDERSTATETYPE State, DWORD Value);
  HRESULT GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue);

  HRESULT GetTexture(DWORD Stage, IDirect3DBaseTexture8** ppTexture);
  HRESULT SetTexture(DWORD Stage, IDirect3DBaseTexture8* pTexture);
  HRESULT GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue);
  HRESULT SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value);

  HRESULT DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount);
  HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT minIndex, UINT NumVertices,
                               UINT startIndex, UINT primCount);
  HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount,
                          const void* pVertexStreamZeroData, UINT VertexStreamZeroStride);
  HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT MinVertexIndex,
                                 UINT NumVertexIndices, UINT PrimitiveCount,
                                 const void* pIndexData, D3DFORMAT IndexDataFormat,
                                 const void* pVertexStreamZeroData, UINT VertexStreamZeroStride);

  // In Direct3D 8 a flexible vertex format code selects the fixed-function pipeline.
  HRESULT SetVertexShader(DWORD Handle);
  HRESULT GetVertexShader(DWORD* pHandle);
  HRESULT SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer8* pStreamData, UINT Stride);
  HRESULT GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer8** ppStreamData,
                          UINT* pStride);
  HRESULT SetIndices(IDirect3DIndexBuffer8* pIndexData, UINT BaseVertexIndex);
  HRESULT GetIndices(IDirect3DIndexBuffer8** ppIndexData, UINT* pBaseVertexIndex);

  ~IDirect3DDevice8() override;

 public:
  std::unique_ptr<zelk4::d3d8::DeviceCore> core_;
};

class IDirect3D8 : public IDirect3DUnknown8 {
 public:
  UINT GetAdapterCount() { return 1; }
  UINT GetAdapterModeCount(UINT Adapter);
  HRESULT GetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE* pMode);
  HRESULT CheckDeviceType(UINT Adapter, D3DDEVTYPE CheckType, D3DFORMAT DisplayFormat,
                          D3DFORMAT BackBufferFormat, BOOL Windowed);
  HRESULT CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow,
                       DWORD BehaviorFlags, D3DPRESENT_PARAMETERS* pPresentationParameters,
                       IDirect3DDevice8** ppReturnedDeviceInterface);
};

// The one way in: returns a new IDirect3D8, or null for an SDK version other than 220.
IDirect3D8* Direct3DCreate8(UINT SDKVersion);

using LPDIRECT3D8 = IDirect3D8*;
using LPDIRECT3DDEVICE8 = IDirect3DDevice8*;
using LPDIRECT3DSURFACE8 = IDirect3DSurface8*;
using LPDIRECT3DBASETEXTURE8 = IDirect3DBaseTexture8*;
using LPDIRECT3DTEXTURE8 = IDirect3DTexture8*;
using LPDIRECT3DCUBETEXTURE8 = IDirect3DCubeTexture8*;
using LPDIRECT3DVERTEXBUFFER8 = IDirect3DVertexBuffer8*;
using LPDIRECT3DINDEXBUFFER8 = IDirect3DIndexBuffer8*;

#include "platform/d3d8/device_control.h"
