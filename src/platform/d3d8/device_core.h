// The device's state and the parts of the pipeline it owns (private to the library).
// Render and texture-stage states live in tables indexed by their real D3DRS_* / D3DTSS_*
// numbers, so any state the program sets is kept and can be read back, whether or not the
// pipeline uses it yet.
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "platform/d3d8/d3d8.h"

namespace zelk4::d3d8 {

class Rasterizer;
class Presenter;

constexpr int kStageCount = 8;
constexpr int kRenderStateCount = 256;
constexpr int kStageStateCount = 32;
constexpr int kWorldMatrixCount = 256;

struct LightSlot {
  D3DLIGHT8 light{};
  bool enabled = false;
};

struct DeviceState {
  std::array<DWORD, kRenderStateCount> renderStates{};
  std::array<std::array<DWORD, kStageStateCount>, kStageCount> stageStates{};
  std::array<D3DMATRIX, kWorldMatrixCount> world{};
  D3DMATRIX view{};
  D3DMATRIX projection{};
  std::array<D3DMATRIX, kStageCount> textureTransforms{};
  D3DVIEWPORT8 viewport{};
  D3DMATERIAL8 material{};
  std::vector<LightSlot> lights;  // index = light number; grows on SetLight / LightEnable
  std::array<IDirect3DBaseTexture8*, kStageCount> textures{};  // counted references
  IDirect3DVertexBuffer8* stream = nullptr;                     // counted reference
  UINT streamStride = 0;
  IDirect3DIndexBuffer8* indices = nullptr;  // counted reference
  UINT baseVertexIndex = 0;
  DWORD vertexShader = 0;  // the FVF code

  DWORD rs(D3DRENDERSTATETYPE state) const { return renderStates[state]; }
  DWORD tss(int stage, D3DTEXTURESTAGESTATETYPE type) const { return stageStates[stage][type]; }
};

// Direct3D 8's values at device creation (zEnable follows EnableAutoDepthStencil).
void SetDefaultStates(DeviceState* state, bool autoDepth, UINT width, UINT height);

struct DeviceCore {
  IDirect3D8* direct3d = nullptr;  // counted reference
  D3DPRESENT_PARAMETERS params{};
  DWORD behaviorFlags = 0;
  HWND focusWindow = nullptr;
  IDirect3DSurface8* backBuffer = nullptr;        // owned (one reference)
  IDirect3DSurface8* autoDepth = nullptr;         // owned, may be null
  IDirect3DSurface8* renderTarget = nullptr;      // counted reference
  IDirect3DSurface8* depthStencil = nullptr;      // counted reference, may be null
  DeviceState state;
  bool inScene = false;
  std::unique_ptr<Rasterizer> rasterizer;
  std::unique_ptr<Presenter> presenter;

  DeviceCore();
  ~DeviceCore();
};

// Makes queued drawing land in memory before a surface's pixels are read or changed.
void FinishDrawing(IDirect3DDevice8* device);

// Adds a new device to those alive, which FinishDrawing will reach.
void RegisterDevice(IDirect3DDevice8* device);

// A new surface with zeroed memory; row pitch is width times the format's bytes per pixel.
IDirect3DSurface8* NewSurface(IDirect3DDevice8* device, UINT width, UINT height,
                              D3DFORMAT format, DWORD usage, D3DPOOL pool);
UINT BytesPerPixel(D3DFORMAT format);

uint32_t NextObjectId();

// The creation result hook's answer for one call (D3D_OK without a hook).
HRESULT CreationResult(const CreationRequest& request);

}  // namespace zelk4::d3d8
