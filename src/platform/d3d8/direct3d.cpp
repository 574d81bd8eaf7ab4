// IDirect3D8 and device creation: the formats this device offers, the creation-failure hook,
// the back and depth buffers and the default states.
#include "platform/d3d8/call_log.h"
#include "platform/d3d8/device_control.h"
#include "platform/d3d8/device_core.h"
#include "platform/d3d8/presenter.h"
#include "platform/d3d8/rasterizer.h"

namespace zelk4::d3d8 {
namespace {

CreationResultHook g_creationHook;
unsigned g_workerThreads = 0;

// The display this device pretends to run on: 32-bit colour at the demo's size.
constexpr D3DDISPLAYMODE kDesktopMode{640, 480, 60, D3DFMT_X8R8G8B8};

bool IsBackBufferFormat(D3DFORMAT f) {
  return f == D3DFMT_A8R8G8B8 || f == D3DFMT_X8R8G8B8 || f == D3DFMT_R5G6B5;
}

}  // namespace

void SetCreationResultHook(CreationResultHook hook) { g_creationHook = std::move(hook); }

void SetCreateDeviceFailureHook(CreateDeviceFailureHook hook) {
  if (!hook) {
    g_creationHook = nullptr;
    return;
  }
  g_creationHook = [hook = std::move(hook)](const CreationRequest& r) -> HRESULT {
    if (r.call != CreationCall::kCreateDevice) return D3D_OK;
    return hook(r.backBuffer, r.depth, r.behaviorFlags) ? D3DERR_NOTAVAILABLE : D3D_OK;
  };
}

HRESULT CreationResult(const CreationRequest& request) {
  return g_creationHook ? g_creationHook(request) : D3D_OK;
}

void SetWorkerThreads(unsigned count) { g_workerThreads = count; }

unsigned WorkerThreads() { return g_workerThreads; }

}  // namespace zelk4::d3d8

IDirect3D8* Direct3DCreate8(UINT SDKVersion) {
  D3D8_LOG("Direct3DCreate8(%u)", SDKVersion);
  if (SDKVersion != D3D_SDK_VERSION) return nullptr;
  if (FAILED(zelk4::d3d8::CreationResult({zelk4::d3d8::CreationCall::kDirect3DCreate8}))) return nullptr;
  auto* direct3d = new IDirect3D8;
  direct3d->objectId_ = zelk4::d3d8::NextObjectId();
  return direct3d;
}

UINT IDirect3D8::GetAdapterModeCount(UINT Adapter) { return Adapter == D3DADAPTER_DEFAULT ? 1 : 0; }

HRESULT IDirect3D8::GetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE* pMode) {
  D3D8_LOG("GetAdapterDisplayMode(%u)", Adapter);
  if (Adapter != D3DADAPTER_DEFAULT || pMode == nullptr) return D3DERR_INVALIDCALL;
  const HRESULT result = zelk4::d3d8::CreationResult({zelk4::d3d8::CreationCall::kGetAdapterDisplayMode});
  if (FAILED(result)) return result;
  *pMode = zelk4::d3d8::kDesktopMode;
  return result;
}

HRESULT IDirect3D8::CheckDeviceType(UINT Adapter, D3DDEVTYPE CheckType, D3DFORMAT,
                                    D3DFORMAT BackBufferFormat, BOOL) {
  if (Adapter != D3DADAPTER_DEFAULT || CheckType != D3DDEVTYPE_HAL) return D3DERR_INVALIDCALL;
  return zelk4::d3d8::IsBackBufferFormat(BackBufferFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT IDirect3D8::CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow,
                                 DWORD BehaviorFlags,
                                 D3DPRESENT_PARAMETERS* pPresentationParameters,
                                 IDirect3DDevice8** ppReturnedDeviceInterface) {
  D3DPRESENT_PARAMETERS* pp = pPresentationParameters;
  D3D8_LOG("CreateDevice(%u, %d, %s, 0x%x, {%u, %u, %s, %u, %d, %d, %s, %d, %d, %s, 0x%x, %u, %u})",
           Adapter, static_cast<int>(DeviceType), hFocusWindow ? "window" : "null", BehaviorFlags,
           pp ? pp->BackBufferWidth : 0, pp ? pp->BackBufferHeight : 0,
           zelk4::d3d8::FormatName(pp ? pp->BackBufferFormat : D3DFMT_UNKNOWN).c_str(), pp ? pp->BackBufferCount : 0,
           pp ? static_cast<int>(pp->MultiSampleType) : 0, pp ? static_cast<int>(pp->SwapEffect) : 0,
           pp && pp->hDeviceWindow ? "window" : "null", pp ? pp->Windowed : 0,
           pp ? pp->EnableAutoDepthStencil : 0,
           zelk4::d3d8::FormatName(pp ? pp->AutoDepthStencilFormat : D3DFMT_UNKNOWN).c_str(),
           pp ? pp->Flags : 0, pp ? pp->FullScreen_RefreshRateInHz : 0,
           pp ? pp->FullScreen_PresentationInterval : 0);
  if (ppReturnedDeviceInterface == nullptr || pp == nullptr) return D3DERR_INVALIDCALL;
  *ppReturnedDeviceInterface = nullptr;
  if (Adapter != D3DADAPTER_DEFAULT || DeviceType != D3DDEVTYPE_HAL) return D3DERR_INVALIDCALL;

  // Exactly one vertex-processing mode must be asked for.
  DWORD vp = BehaviorFlags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING |
                              D3DCREATE_HARDWARE_VERTEXPROCESSING |
                              D3DCREATE_MIXED_VERTEXPROCESSING);
  if (vp != D3DCREATE_SOFTWARE_VERTEXPROCESSING && vp != D3DCREATE_HARDWARE_VERTEXPROCESSING &&
      vp != D3DCREATE_MIXED_VERTEXPROCESSING) {
    return D3DERR_INVALIDCALL;
  }

  D3DPRESENT_PARAMETERS params = *pp;
  const D3DFORMAT requestedDepth = params.EnableAutoDepthStencil ? params.AutoDepthStencilFormat
                                                                 : D3DFMT_UNKNOWN;
  const HRESULT hooked = zelk4::d3d8::CreationResult(
      {zelk4::d3d8::CreationCall::kCreateDevice, params.BackBufferFormat, requestedDepth, BehaviorFlags});
  if (FAILED(hooked)) return hooked;
  if (params.Windowed) {
    // A width or height of 0 takes the device window's client area (the focus window's when no
    // device window is given); without a window there is nothing to take it from.
    if (params.BackBufferWidth == 0 || params.BackBufferHeight == 0) {
      HWND window = params.hDeviceWindow != nullptr ? params.hDeviceWindow : hFocusWindow;
      RECT client{};
      if (window == nullptr || !GetClientRect(window, &client)) return D3DERR_INVALIDCALL;
      if (params.BackBufferWidth == 0) params.BackBufferWidth = static_cast<UINT>(client.right - client.left);
      if (params.BackBufferHeight == 0) params.BackBufferHeight = static_cast<UINT>(client.bottom - client.top);
    }
    if (params.BackBufferFormat == D3DFMT_UNKNOWN) params.BackBufferFormat = D3DFMT_X8R8G8B8;
  }
  if (params.BackBufferWidth == 0 || params.BackBufferHeight == 0 ||
      params.BackBufferWidth > 4096 || params.BackBufferHeight > 4096 ||
      !zelk4::d3d8::IsBackBufferFormat(params.BackBufferFormat) || params.BackBufferCount > 1 ||
      params.SwapEffect < D3DSWAPEFFECT_DISCARD || params.SwapEffect > D3DSWAPEFFECT_COPY_VSYNC) {
    return D3DERR_INVALIDCALL;
  }
  const D3DFORMAT depthFormat = requestedDepth;
  if (params.EnableAutoDepthStencil && depthFormat != D3DFMT_D16 && depthFormat != D3DFMT_D24X8) {
    return D3DERR_NOTAVAILABLE;
  }
  if (params.BackBufferCount == 0) params.BackBufferCount = 1;
  *pp = params;  // Direct3D writes the values it filled in back to the caller

  auto* device = new IDirect3DDevice8;
  device->objectId_ = zelk4::d3d8::NextObjectId();
  device->core_ = std::make_unique<zelk4::d3d8::DeviceCore>();
  zelk4::d3d8::DeviceCore& c = *device->core_;
  c.direct3d = this;
  AddRef();
  c.params = params;
  c.behaviorFlags = BehaviorFlags;
  c.focusWindow = hFocusWindow;
  c.backBuffer = zelk4::d3d8::NewSurface(device, params.BackBufferWidth, params.BackBufferHeight,
                                  params.BackBufferFormat, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT);
  c.renderTarget = c.backBuffer;
  c.backBuffer->AddRef();
  if (params.EnableAutoDepthStencil) {
    c.autoDepth = zelk4::d3d8::NewSurface(device, params.BackBufferWidth, params.BackBufferHeight,
                                   depthFormat, D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT);
    c.depthStencil = c.autoDepth;
    c.autoDepth->AddRef();
  }
  zelk4::d3d8::SetDefaultStates(&c.state, params.EnableAutoDepthStencil != FALSE,
                         params.BackBufferWidth, params.BackBufferHeight);
  c.rasterizer = std::make_unique<zelk4::d3d8::Rasterizer>(zelk4::d3d8::g_workerThreads);
  c.presenter = std::make_unique<zelk4::d3d8::Presenter>(hFocusWindow, params.Windowed == FALSE,
                                                         params.FullScreen_PresentationInterval);
  zelk4::d3d8::RegisterDevice(device);
  *ppReturnedDeviceInterface = device;
  return hooked;
}
