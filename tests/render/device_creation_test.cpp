// Bringing the device up: the creation fallback chain, what Init leaves in place, and the
// frame operations.
#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "platform/d3d8/d3d8.h"
#include "platform/win/win.h"
#include "render/render_test_support.h"

namespace zelk4::test {
namespace {

struct Attempt {
  D3DFORMAT backBuffer;
  D3DFORMAT depth;
  DWORD behaviour;
};

// Makes the first `failures` creations fail and records every attempt.
class CreationAttempts {
 public:
  explicit CreationAttempts(int failures) {
    d3d8::SetCreateDeviceFailureHook([this, failures](D3DFORMAT back, D3DFORMAT depth, DWORD b) {
      attempts.push_back({back, depth, b});
      return static_cast<int>(attempts.size()) <= failures;
    });
  }
  ~CreationAttempts() { d3d8::SetCreateDeviceFailureHook(nullptr); }
  std::vector<Attempt> attempts;
};

class RenderDeviceCreation : public ::testing::Test {
 protected:
  void SetUp() override {
    d3d8::ResetControls();
    d3d8::PresentOffscreen();
    win::SetMessageBoxesEnabled(false);
  }
  void TearDown() override {
    rd.Release();
    d3d8::ResetControls();
  }

  D3DFORMAT SurfaceFormat(IDirect3DSurface8* surface) {
    D3DSURFACE_DESC desc{};
    surface->GetDesc(&desc);
    return desc.Format;
  }

  RenderDevice rd{};
};

TEST_F(RenderDeviceCreation, FirstAttemptGivesA32BitBackBufferWith24BitDepthAndHardwareVertices) {
  CreationAttempts hook(0);
  rd.Init(nullptr, 640, 480, 0);
  ASSERT_EQ(hook.attempts.size(), 1u);
  EXPECT_EQ(hook.attempts[0].backBuffer, D3DFMT_A8R8G8B8);
  EXPECT_EQ(hook.attempts[0].depth, D3DFMT_D24X8);
  EXPECT_EQ(hook.attempts[0].behaviour, static_cast<DWORD>(D3DCREATE_HARDWARE_VERTEXPROCESSING));
  EXPECT_EQ(SurfaceFormat(backBufferSurface), D3DFMT_A8R8G8B8);
  EXPECT_EQ(SurfaceFormat(depthSurface), D3DFMT_D24X8);
}

// Each failed attempt moves one step down the chain; the device that comes up is the one the
// last attempt asked for.
TEST_F(RenderDeviceCreation, FailedAttemptsFallBackStepByStep) {
  struct Step {
    int failures;
    D3DFORMAT backBuffer;
    D3DFORMAT depth;
    DWORD behaviour;
  };
  const Step steps[] = {
      {1, D3DFMT_A8R8G8B8, D3DFMT_D16, D3DCREATE_HARDWARE_VERTEXPROCESSING},
      {2, D3DFMT_A8R8G8B8, D3DFMT_D16, D3DCREATE_SOFTWARE_VERTEXPROCESSING},
      {3, D3DFMT_R5G6B5, D3DFMT_D16, D3DCREATE_SOFTWARE_VERTEXPROCESSING},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.failures);
    CreationAttempts hook(step.failures);
    rd.Init(nullptr, 640, 480, 0);
    ASSERT_EQ(hook.attempts.size(), static_cast<size_t>(step.failures) + 1);
    const Attempt& last = hook.attempts.back();
    EXPECT_EQ(last.backBuffer, step.backBuffer);
    EXPECT_EQ(last.depth, step.depth);
    EXPECT_EQ(last.behaviour, step.behaviour);
    EXPECT_EQ(SurfaceFormat(backBufferSurface), step.backBuffer);
    EXPECT_EQ(SurfaceFormat(depthSurface), step.depth);
    ASSERT_NE(rd.quadVertexBuffer, nullptr);
    rd.Release();
  }
}

TEST_F(RenderDeviceCreation, WindowedDeviceGivesUpAfterThreeAttempts) {
  CaptureFatalErrors capture;
  CreationAttempts hook(99);
  try {
    rd.Init(nullptr, 640, 480, 1);
    FAIL() << "creation should have been fatal";
  } catch (const FatalEnd& end) {
    EXPECT_EQ(end.text, "Unable to create a 3d device");
    EXPECT_EQ(end.caption, "D3D Error");
  }
  EXPECT_EQ(hook.attempts.size(), 3u);
}

// The full-screen path has a fourth attempt (R5G6B5, above); when that fails too, the end.
TEST_F(RenderDeviceCreation, DeathWhenNoDeviceCanBeCreated) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        d3d8::SetCreateDeviceFailureHook([](D3DFORMAT, D3DFORMAT, DWORD) { return true; });
        rd.Init(nullptr, 640, 480, 0);
      },
      ::testing::ExitedWithCode(1), "D3D Error: Unable to create a 3d device");
}

// Every step of bringing the device up that can fail ends the program with its own message.
TEST_F(RenderDeviceCreation, DeathAtEachFailingCreationStep) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  struct Step {
    d3d8::CreationCall call;
    uint8_t windowed;  // the display mode is read for a windowed device only
    const char* end;
  };
  const Step steps[] = {
      {d3d8::CreationCall::kDirect3DCreate8, 0, "D3D error: Unable to create a Direct3D8 object"},
      {d3d8::CreationCall::kGetAdapterDisplayMode, 1, "D3D error: Error getting display mode"},
      {d3d8::CreationCall::kCreateVertexBuffer, 0, "D3D error: Unable to create vertexbuffer"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.end);
    EXPECT_EXIT(
        {
          d3d8::SetCreationResultHook([call = step.call](const d3d8::CreationRequest& r) {
            return r.call == call ? E_FAIL : D3D_OK;
          });
          rd.Init(nullptr, 640, 480, step.windowed);
        },
        ::testing::ExitedWithCode(1), step.end);
  }
  // A creation that hands back a success code other than D3D_OK counts as failed, so a device
  // that only ever answers so is never taken.
  EXPECT_EXIT(
      {
        d3d8::SetCreationResultHook([](const d3d8::CreationRequest& r) {
          return r.call == d3d8::CreationCall::kCreateDevice ? static_cast<HRESULT>(1) : D3D_OK;
        });
        rd.Init(nullptr, 640, 480, 0);
      },
      ::testing::ExitedWithCode(1), "D3D Error: Unable to create a 3d device");
}

// Only a device creation must answer exactly D3D_OK: a success code from it moves on to the
// next attempt (giving back the device it handed out), while the other creation steps take any
// success. A windowed device with no size of its own takes the window's client area.
TEST_F(RenderDeviceCreation, SuccessCodesAndTheWindowedClientSize) {
  ASSERT_TRUE(win::UseHeadlessVideo());
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = DefWindowProcA;
  wc.lpszClassName = "DeviceWindow";
  RegisterClassExA(&wc);
  HWND window = CreateWindowExA(0, "DeviceWindow", "device", 0, 0, 0, 320, 200, nullptr, nullptr,
                                nullptr, nullptr);
  ASSERT_NE(window, nullptr);

  std::vector<d3d8::CreationCall> calls;
  d3d8::SetCreationResultHook([&](const d3d8::CreationRequest& r) {
    calls.push_back(r.call);
    const bool firstDevice = r.call == d3d8::CreationCall::kCreateDevice && r.depth == D3DFMT_D24X8;
    return firstDevice || r.call != d3d8::CreationCall::kCreateDevice ? static_cast<HRESULT>(1) : D3D_OK;
  });
  rd.Init(window, 640, 480, 1);
  using C = d3d8::CreationCall;
  EXPECT_EQ(calls, (std::vector<C>{C::kDirect3DCreate8, C::kGetAdapterDisplayMode, C::kCreateDevice,
                                   C::kCreateDevice, C::kCreateVertexBuffer}));
  ASSERT_NE(rd.quadVertexBuffer, nullptr);
  EXPECT_EQ(SurfaceFormat(depthSurface), D3DFMT_D16);
  D3DSURFACE_DESC desc{};
  backBufferSurface->GetDesc(&desc);
  EXPECT_EQ(desc.Width, 320u);
  EXPECT_EQ(desc.Height, 200u);
  EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);  // the desktop's format

  rd.Release();
  win::Reset();
}

// What the screen-quad and texture operations rely on after Init.
TEST_F(RenderDeviceCreation, InitLeavesQuadBufferLinearStageZeroAndAnEmptyCache) {
  rd.Init(nullptr, 640, 480, 0);
  EXPECT_EQ(rd.IsWindowed(), 0);

  D3DVERTEXBUFFER_DESC buffer{};
  rd.quadVertexBuffer->GetDesc(&buffer);
  EXPECT_EQ(buffer.Size, 480000u);
  EXPECT_EQ(buffer.FVF, 0x142u);
  EXPECT_EQ(buffer.Pool, D3DPOOL_MANAGED);

  DWORD mag = 0;
  DWORD min = 0;
  rd.device->GetTextureStageState(0, D3DTSS_MAGFILTER, &mag);
  rd.device->GetTextureStageState(0, D3DTSS_MINFILTER, &min);
  EXPECT_EQ(mag, static_cast<DWORD>(D3DTEXF_LINEAR));
  EXPECT_EQ(min, static_cast<DWORD>(D3DTEXF_LINEAR));

  ASSERT_NE(rd.textureCache, nullptr);
  EXPECT_EQ(rd.textureCache->count, 0u);

  IDirect3DSurface8* target = nullptr;
  rd.device->GetRenderTarget(&target);
  EXPECT_EQ(target, backBufferSurface);
  target->Release();
}

TEST_F(RenderDeviceCreation, ClearColorCutsEachChannelToEightBits) {
  rd.Init(nullptr, 640, 480, 0);
  rd.ClearColor(255, 0x112, 0x134, 0x156);
  rd.Present();
  const d3d8::Frame& frame = d3d8::LastPresentedFrame();
  ASSERT_EQ(frame.pixels.size(), 640u * 480u);
  EXPECT_EQ(frame.pixels[0] & 0xFFFFFFu, 0x123456u);
  EXPECT_EQ(frame.pixels.back() & 0xFFFFFFu, 0x123456u);
}

}  // namespace
}  // namespace zelk4::test
