// The software device's own controls, beside the Direct3D calls: where Present sends frames,
// reading back what was presented, a hook that makes chosen device creations fail, the call
// log, and the number of worker threads. The program that starts sets these before
// CreateDevice; the engine never touches them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/d3d8/d3d8types.h"

struct SDL_Window;

namespace zelk4::d3d8 {

// Where Present hands each finished back buffer. The choice applies to devices created after
// it and to the current device from its next Present on.
enum class PresentTarget {
  kNothing,    // frames are dropped (benchmarks); LastPresentedFrame stays empty
  kOffscreen,  // frames kept in memory (LastPresentedFrame) and handed to the sink, if any
  kWindow,     // an SDL2 window: full screen picture scaled with its 4:3 shape kept
};

// A presented frame as 0xAARRGGBB words, top row first (R5G6B5 back buffers are widened with
// alpha 255, each channel's top bits repeated into its low bits).
struct Frame {
  uint32_t width = 0;
  uint32_t height = 0;
  uint64_t number = 0;  // 1 for the first frame presented after the target was chosen
  std::vector<uint32_t> pixels;
};

using FrameSink = std::function<void(const Frame& frame)>;

void PresentToNothing();
void PresentOffscreen(FrameSink sink = {});
// window may be null: the device then asks the window resolver for the window behind the
// focus HWND given to CreateDevice.
void PresentToWindow(SDL_Window* window);
void SetWindowResolver(std::function<SDL_Window*(HWND)> resolver);
PresentTarget CurrentPresentTarget();

// Where the window target puts a width x height picture on an outputWidth x outputHeight
// display: the largest rectangle of the picture's shape, centred (black bars elsewhere).
struct ScreenRect {
  int x, y, width, height;
};
ScreenRect LetterboxRect(int outputWidth, int outputHeight, uint32_t width, uint32_t height);

// The last frame handed to the offscreen target (empty before the first).
const Frame& LastPresentedFrame();

// The calls through which a program brings a device up, whose results a test may choose.
enum class CreationCall { kDirect3DCreate8, kGetAdapterDisplayMode, kCreateDevice, kCreateVertexBuffer };

struct CreationRequest {
  CreationCall call;
  D3DFORMAT backBuffer = D3DFMT_UNKNOWN;  // CreateDevice: the requested formats and behaviour
  D3DFORMAT depth = D3DFMT_UNKNOWN;       // (depth UNKNOWN without an automatic depth buffer)
  DWORD behaviorFlags = 0;
};

// Asked by each of those calls once its arguments are accepted. D3D_OK lets the call go on as
// usual. A failure code makes it fail with that code and hand out nothing (Direct3DCreate8
// returns null). Another success code lets the call do its work and return that code.
// Null (the default) answers D3D_OK to everything.
using CreationResultHook = std::function<HRESULT(const CreationRequest& request)>;
void SetCreationResultHook(CreationResultHook hook);

// A shorthand for CreateDevice alone: returning true makes that creation fail with
// D3DERR_NOTAVAILABLE. Replaces any creation result hook.
using CreateDeviceFailureHook =
    std::function<bool(D3DFORMAT backBuffer, D3DFORMAT depth, DWORD behaviorFlags)>;
void SetCreateDeviceFailureHook(CreateDeviceFailureHook hook);

// The call log: when enabled, every Direct3D call on a device, an object it created or the
// IDirect3D8 is recorded as one text line, e.g. "SetRenderState(22, 1)" or
// "SetTexture(0, texture#3)" (objects by kind and creation number, floats with %.9g).
void EnableCallLog(bool enabled);
bool CallLogEnabled();
const std::vector<std::string>& CallLog();
void ClearCallLog();

// While suspended, Clear and the draw calls check their arguments and return what they would,
// but leave every surface alone: a program can bring its state forward to a later time without
// spending the drawing. Presenting is not affected.
void SetDrawingSuspended(bool suspended);
bool DrawingSuspended();

// Worker threads the rasterizer may use (0: one per core, at most 4). The pictures are the
// same for every count. Applies to devices created afterwards.
void SetWorkerThreads(unsigned count);
unsigned WorkerThreads();

// Puts every control back to its start value (tests): nothing target, no hooks, log off and
// empty, drawing not suspended, automatic thread count.
void ResetControls();

}  // namespace zelk4::d3d8
