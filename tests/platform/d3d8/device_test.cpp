// The device as the engine meets it: creation and its failure hook, the values it starts
// with, objects, locks and reference counts, clears, the lighting switch, presentation, the
// call log, and pictures that do not depend on the thread count or the fast span code.
#include <cmath>
#include <cstring>

#include <SDL.h>
#include <gtest/gtest.h>

#include "platform/d3d8/device_control.h"
#include "platform/d3d8/fast_span.h"
#include "test_device.h"

namespace {

using zelk4::d3d8::test::TestDevice;
using zelk4::d3d8::test::WorldVertex;
using zelk4::test::Picture;

class D3D8Device : public ::testing::Test {
 protected:
  void SetUp() override {
    zelk4::d3d8::ResetControls();
    direct3d_ = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(direct3d_, nullptr);
  }
  void TearDown() override {
    direct3d_->Release();
    zelk4::d3d8::ResetControls();
  }

  // The engine's full-screen request with one depth format and behaviour.
  HRESULT Create(D3DFORMAT backBuffer, D3DFORMAT depth, DWORD behaviour,
                 IDirect3DDevice8** device) {
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = 64;
    pp.BackBufferHeight = 48;
    pp.BackBufferFormat = backBuffer;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = depth;
    return direct3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, behaviour, &pp,
                                   device);
  }

  IDirect3D8* direct3d_ = nullptr;
};

TEST_F(D3D8Device, OnlySdkVersion220IsAccepted) {
  EXPECT_EQ(Direct3DCreate8(120), nullptr);
}

TEST_F(D3D8Device, TheFailureHookDrivesTheEngineFallbackChain) {
  // No 24-bit depth, no hardware vertex processing, no 32-bit back buffer: only the last
  // combination the engine tries is left.
  std::vector<std::string> asked;
  zelk4::d3d8::SetCreateDeviceFailureHook([&](D3DFORMAT backBuffer, D3DFORMAT depth, DWORD behaviour) {
    asked.push_back(std::to_string(backBuffer) + "/" + std::to_string(depth) + "/" +
                    std::to_string(behaviour));
    return depth == D3DFMT_D24X8 || behaviour == D3DCREATE_HARDWARE_VERTEXPROCESSING ||
           backBuffer == D3DFMT_A8R8G8B8;
  });
  IDirect3DDevice8* device = reinterpret_cast<IDirect3DDevice8*>(1);
  HRESULT hr = Create(D3DFMT_A8R8G8B8, D3DFMT_D24X8, D3DCREATE_HARDWARE_VERTEXPROCESSING, &device);
  EXPECT_TRUE(FAILED(hr));
  EXPECT_EQ(device, nullptr);
  EXPECT_TRUE(FAILED(Create(D3DFMT_A8R8G8B8, D3DFMT_D16, D3DCREATE_HARDWARE_VERTEXPROCESSING, &device)));
  EXPECT_TRUE(FAILED(Create(D3DFMT_A8R8G8B8, D3DFMT_D16, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &device)));
  ASSERT_EQ(Create(D3DFMT_R5G6B5, D3DFMT_D16, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &device), D3D_OK);
  EXPECT_EQ(asked, (std::vector<std::string>{"21/77/64", "21/80/64", "21/80/32", "23/80/32"}));
  IDirect3DSurface8* surface = nullptr;
  D3DSURFACE_DESC desc;
  ASSERT_EQ(device->GetRenderTarget(&surface), D3D_OK);
  surface->GetDesc(&desc);
  EXPECT_EQ(desc.Format, D3DFMT_R5G6B5);
  surface->Release();
  ASSERT_EQ(device->GetDepthStencilSurface(&surface), D3D_OK);
  surface->GetDesc(&desc);
  EXPECT_EQ(desc.Format, D3DFMT_D16);
  EXPECT_EQ(desc.Width, 64u);
  surface->Release();
  EXPECT_EQ(device->Release(), 0u);
}

TEST_F(D3D8Device, UnsupportedRequestsFail) {
  IDirect3DDevice8* device = nullptr;
  EXPECT_TRUE(FAILED(Create(D3DFMT_A8R8G8B8, D3DFMT_D24X8, 0, &device)));  // no processing mode
  EXPECT_TRUE(FAILED(Create(D3DFMT_L8, D3DFMT_D16, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &device)));
  EXPECT_TRUE(FAILED(Create(D3DFMT_A8R8G8B8, D3DFMT_D32, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &device)));
  EXPECT_EQ(device, nullptr);
}

TEST_F(D3D8Device, StartsWithDirect3DsDefaultStates) {
  IDirect3DDevice8* device = nullptr;
  ASSERT_EQ(Create(D3DFMT_A8R8G8B8, D3DFMT_D24X8, D3DCREATE_HARDWARE_VERTEXPROCESSING, &device), D3D_OK);
  auto rs = [&](D3DRENDERSTATETYPE state) {
    DWORD v = 0xDEAD;
    device->GetRenderState(state, &v);
    return v;
  };
  auto tss = [&](DWORD stage, D3DTEXTURESTAGESTATETYPE type) {
    DWORD v = 0xDEAD;
    device->GetTextureStageState(stage, type, &v);
    return v;
  };
  EXPECT_EQ(rs(D3DRS_ZENABLE), static_cast<DWORD>(D3DZB_TRUE));  // an automatic depth buffer
  EXPECT_EQ(rs(D3DRS_ZWRITEENABLE), static_cast<DWORD>(TRUE));
  EXPECT_EQ(rs(D3DRS_ZFUNC), static_cast<DWORD>(D3DCMP_LESSEQUAL));
  EXPECT_EQ(rs(D3DRS_LIGHTING), static_cast<DWORD>(TRUE));
  EXPECT_EQ(rs(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_CCW));
  EXPECT_EQ(rs(D3DRS_ALPHABLENDENABLE), static_cast<DWORD>(FALSE));
  EXPECT_EQ(rs(D3DRS_SRCBLEND), static_cast<DWORD>(D3DBLEND_ONE));
  EXPECT_EQ(rs(D3DRS_DESTBLEND), static_cast<DWORD>(D3DBLEND_ZERO));
  EXPECT_EQ(rs(D3DRS_ALPHAFUNC), static_cast<DWORD>(D3DCMP_ALWAYS));
  EXPECT_EQ(rs(D3DRS_TEXTUREFACTOR), 0xFFFFFFFFu);
  EXPECT_EQ(rs(D3DRS_COLORWRITEENABLE), 0xFu);
  EXPECT_EQ(tss(0, D3DTSS_COLOROP), static_cast<DWORD>(D3DTOP_MODULATE));
  EXPECT_EQ(tss(0, D3DTSS_ALPHAOP), static_cast<DWORD>(D3DTOP_SELECTARG1));
  EXPECT_EQ(tss(0, D3DTSS_COLORARG1), D3DTA_TEXTURE);
  EXPECT_EQ(tss(0, D3DTSS_COLORARG2), D3DTA_CURRENT);
  for (DWORD stage = 1; stage < 8; ++stage) {
    EXPECT_EQ(tss(stage, D3DTSS_COLOROP), static_cast<DWORD>(D3DTOP_DISABLE));
    EXPECT_EQ(tss(stage, D3DTSS_TEXCOORDINDEX), stage);
  }
  EXPECT_EQ(tss(0, D3DTSS_MAGFILTER), static_cast<DWORD>(D3DTEXF_POINT));
  EXPECT_EQ(tss(0, D3DTSS_MIPFILTER), static_cast<DWORD>(D3DTEXF_NONE));
  EXPECT_EQ(tss(0, D3DTSS_ADDRESSU), static_cast<DWORD>(D3DTADDRESS_WRAP));
  D3DVIEWPORT8 vp{};
  device->GetViewport(&vp);
  EXPECT_EQ(vp.Width, 64u);
  EXPECT_EQ(vp.Height, 48u);
  EXPECT_EQ(vp.MaxZ, 1.0f);
  D3DMATRIX world{};
  device->GetTransform(D3DTS_WORLD, &world);
  EXPECT_EQ(world._11, 1.0f);
  EXPECT_EQ(world._41, 0.0f);
  device->Release();
}

TEST(D3D8Objects, LocksHandOutTheMemoryWithItsPitchAndCountsKeepObjectsAlive) {
  TestDevice d(8, 8);
  IDirect3DTexture8* texture = nullptr;
  ASSERT_EQ(d->CreateTexture(64, 16, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture), D3D_OK);
  EXPECT_EQ(texture->GetLevelCount(), 7u);  // 64x16 down to 1x1
  D3DLOCKED_RECT locked;
  ASSERT_EQ(texture->LockRect(2, &locked, nullptr, D3DLOCK_NOSYSLOCK), D3D_OK);
  EXPECT_EQ(locked.Pitch, 16 * 4);
  EXPECT_TRUE(FAILED(texture->LockRect(2, &locked, nullptr, 0)));  // already locked
  std::memset(locked.pBits, 0xAB, 16 * 4 * 4);
  EXPECT_EQ(texture->UnlockRect(2), D3D_OK);
  EXPECT_TRUE(FAILED(texture->UnlockRect(2)));
  EXPECT_TRUE(FAILED(texture->LockRect(7, &locked, nullptr, 0)));

  // A surface level counts for its texture; the device counts what is bound to it.
  IDirect3DSurface8* level = nullptr;
  ASSERT_EQ(texture->GetSurfaceLevel(2, &level), D3D_OK);
  ASSERT_EQ(level->LockRect(&locked, nullptr, 0), D3D_OK);
  EXPECT_EQ(static_cast<uint8_t*>(locked.pBits)[5], 0xAB);
  level->UnlockRect();
  d->SetTexture(0, texture);
  EXPECT_EQ(texture->Release(), 2u);  // the level and the device still hold it
  EXPECT_EQ(level->Release(), 1u);
  d->SetTexture(0, nullptr);  // the last reference: freed here

  IDirect3DVertexBuffer8* vb = nullptr;
  ASSERT_EQ(d->CreateVertexBuffer(480000, 0, 0x142, D3DPOOL_MANAGED, &vb), D3D_OK);
  BYTE* bytes = nullptr;
  EXPECT_TRUE(FAILED(vb->Lock(479990, 20, &bytes, 0)));  // past the end
  ASSERT_EQ(vb->Lock(0, 0, &bytes, 0), D3D_OK);          // 0, 0: everything
  bytes[479999] = 1;
  vb->Unlock();
  D3DVERTEXBUFFER_DESC desc;
  vb->GetDesc(&desc);
  EXPECT_EQ(desc.Size, 480000u);
  EXPECT_EQ(desc.FVF, 0x142u);
  EXPECT_EQ(vb->Release(), 0u);

  // Render targets live in the default pool and cannot be locked there.
  IDirect3DTexture8* target = nullptr;
  EXPECT_TRUE(FAILED(d->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                      D3DPOOL_MANAGED, &target)));
  ASSERT_EQ(d->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                             &target), D3D_OK);
  EXPECT_TRUE(FAILED(target->LockRect(0, &locked, nullptr, 0)));
  target->Release();

  // A draw whose every triangle is culled queues nothing, yet what it held is let go.
  IDirect3DTexture8* culled = d.MakeTexture(2, 2, {{1, 2, 3, 4}});
  d->SetTexture(0, culled);
  d->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
  d.DrawScreen({{1, 1, 0.5f, 1, 0xFFFFFFFF, 0, 0}, {7, 1, 0.5f, 1, 0xFFFFFFFF, 0, 0},
                {1, 7, 0.5f, 1, 0xFFFFFFFF, 0, 0}});
  d->SetTexture(0, nullptr);
  d.Frame();
  EXPECT_EQ(culled->Release(), 0u);
}

TEST(D3D8Objects, DrawsWithBadSourcesFailWithoutReadingOutside) {
  TestDevice d(8, 8);
  IDirect3DVertexBuffer8* vb = nullptr;
  IDirect3DIndexBuffer8* ib = nullptr;
  ASSERT_EQ(d->CreateVertexBuffer(3 * 24, 0, 0x142, D3DPOOL_MANAGED, &vb), D3D_OK);
  ASSERT_EQ(d->CreateIndexBuffer(6, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib), D3D_OK);
  BYTE* bytes = nullptr;
  ib->Lock(0, 0, &bytes, 0);
  const uint16_t indices[3] = {0, 1, 7};  // 7 is past the three vertices
  std::memcpy(bytes, indices, sizeof indices);
  ib->Unlock();
  EXPECT_TRUE(FAILED(d->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1)));  // no stream yet
  d->SetStreamSource(0, vb, 24);
  d->SetVertexShader(0x142);
  EXPECT_EQ(d->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3D_OK);
  EXPECT_TRUE(FAILED(d->DrawPrimitive(D3DPT_TRIANGLELIST, 1, 1)));   // runs past the end
  d->SetIndices(ib, 0);
  EXPECT_TRUE(FAILED(d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 3, 0, 1)));
  EXPECT_TRUE(FAILED(d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 3, 1, 1)));  // past the indices
  d->SetStreamSource(0, vb, 12);  // a stride shorter than the format
  EXPECT_TRUE(FAILED(d->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1)));
  d->SetStreamSource(0, nullptr, 0);
  d->SetIndices(nullptr, 0);
  vb->Release();
  ib->Release();
}

TEST(D3D8Clear, ClearsOnlyInsideTheViewportAndTheGivenRectangles) {
  TestDevice d(8, 8);
  d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  D3DVIEWPORT8 vp{2, 2, 4, 4, 0.0f, 1.0f};
  ASSERT_EQ(d->SetViewport(&vp), D3D_OK);
  d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0);
  const D3DRECT rects[2] = {{0, 0, 3, 3}, {7, 7, 5, 5}};  // the second is inverted: ignored
  d->Clear(2, rects, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0);
  Picture frame = d.Frame();
  EXPECT_EQ(frame.at(1, 1), 0xFF000000u);  // outside the viewport
  EXPECT_EQ(frame.at(2, 2), 0xFF00FF00u);  // rectangle and viewport
  EXPECT_EQ(frame.at(3, 3), 0xFFFF0000u);
  EXPECT_EQ(frame.at(6, 6), 0xFF000000u);
  D3DVIEWPORT8 tooBig{4, 4, 8, 8, 0.0f, 1.0f};
  EXPECT_TRUE(FAILED(d->SetViewport(&tooBig)));
}

// A program catching up to a later time runs its frames with drawing suspended: the calls answer
// as they would, bad ones still fail, and the picture stays as it was until drawing resumes.
TEST(D3D8Clear, SuspendedDrawingAnswersAsUsualAndLeavesThePictureAlone) {
  TestDevice d(8, 8);
  d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF0000FF, 1.0f, 0);
  zelk4::d3d8::SetDrawingSuspended(true);
  EXPECT_EQ(d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0), D3D_OK);
  EXPECT_TRUE(FAILED(d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000, 2.0f, 0)));
  d.DrawRect(0, 0, 8, 8, 0.5f, 0xFF00FF00);
  EXPECT_TRUE(FAILED(d->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1)));  // no stream: still an error
  EXPECT_EQ(d.Frame().at(4, 4), 0xFF0000FFu);
  zelk4::d3d8::SetDrawingSuspended(false);
  d.DrawRect(0, 0, 8, 8, 0.5f, 0xFF00FF00);
  EXPECT_EQ(d.Frame().at(4, 4), 0xFF00FF00u);
}

TEST(D3D8Lighting, WithoutLightsAVertexGetsEmissivePlusAmbient) {
  TestDevice d(4, 4);
  d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  D3DMATERIAL8 material{};
  material.Emissive = {0.2f, 0.4f, 0.0f, 1.0f};
  material.Ambient = {1.0f, 0.5f, 0.5f, 1.0f};
  d->SetMaterial(&material);
  d->SetRenderState(D3DRS_AMBIENT, 0xFF404040);
  const D3DCOLOR c = 0x80FFFFFF;  // diffuse alpha still comes from the vertex colour
  d.DrawWorld({{-1, 1, 0.5f, c, 0, 0}, {1, 1, 0.5f, c, 0, 0}, {-1, -1, 0.5f, c, 0, 0}});
  // r = 0.2 + 1.0 * 0.251, g = 0.4 + 0.5 * 0.251, b = 0.5 * 0.251 (on 0..255: 115, 134, 32).
  EXPECT_EQ(d.Frame().at(0, 0), 0x80738620u);
}

TEST(D3D8Lighting, UnlitVerticesWithoutAColourAreOpaqueWhite) {
  TestDevice d(4, 4);
  d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  d->SetRenderState(D3DRS_LIGHTING, FALSE);
  d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  const float tri[9] = {-1, 1, 0.5f, 1, 1, 0.5f, -1, -1, 0.5f};
  d->SetVertexShader(D3DFVF_XYZ);
  ASSERT_EQ(d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, 12), D3D_OK);
  EXPECT_EQ(d.Frame().at(0, 0), 0xFFFFFFFFu);
}

TEST(D3D8Lighting, ADirectionalLightFacingTheNormalGivesTheMaterialDiffuse) {
  TestDevice d(4, 4);
  d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  D3DMATERIAL8 material{};
  material.Diffuse = {0.5f, 0.25f, 1.0f, 1.0f};
  d->SetMaterial(&material);
  D3DLIGHT8 light{};
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Diffuse = {1, 1, 1, 1};
  light.Direction = {0, 0, 1};  // shining into the screen, onto normals that face the viewer
  d->SetLight(0, &light);
  d->LightEnable(0, TRUE);
  struct V {
    float x, y, z, nx, ny, nz;
  } tri[3] = {{-1, 1, 0.5f, 0, 0, -1}, {1, 1, 0.5f, 0, 0, -1}, {-1, -1, 0.5f, 0, 0, -1}};
  d->SetVertexShader(D3DFVF_XYZ | D3DFVF_NORMAL);
  ASSERT_EQ(d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(V)), D3D_OK);
  EXPECT_EQ(d.Frame().at(0, 0), 0xFF8040FFu);
}

TEST(D3D8Present, OffscreenFramesAreNumberedAndHandedToTheSink) {
  TestDevice d(4, 2, D3DFMT_R5G6B5, D3DFMT_D16);
  std::vector<uint64_t> numbers;
  zelk4::d3d8::PresentOffscreen([&](const zelk4::d3d8::Frame& frame) { numbers.push_back(frame.number); });
  d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF8000, 1.0f, 0);
  Picture first = d.Frame();
  d.Frame();
  EXPECT_EQ(numbers, (std::vector<uint64_t>{1, 2}));
  // R5G6B5 keeps 5, 6 and 5 bits; presenting widens them back with alpha 255.
  EXPECT_EQ(first.at(3, 1), 0xFFFF8200u);
  zelk4::d3d8::PresentToNothing();
  d->EndScene();
  EXPECT_EQ(d->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
}

TEST(D3D8CallLog, RecordsTheCallsInOrderByTheirNames) {
  TestDevice d(4, 4);
  d->EndScene();
  zelk4::d3d8::EnableCallLog(true);
  zelk4::d3d8::ClearCallLog();
  d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  d->SetRenderState(D3DRS_ALPHAREF, 200);
  d->SetRenderState(D3DRS_POINTSIZE, 0x3F800000);  // 1.0f
  d->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
  d->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
  d->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_TEXTURE | D3DTA_ALPHAREPLICATE);
  d->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL | 1);
  d->SetTexture(0, nullptr);
  d->SetVertexShader(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1);
  d->BeginScene();
  d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  d->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
  d->EndScene();
  zelk4::d3d8::EnableCallLog(false);
  d->SetRenderState(D3DRS_LIGHTING, FALSE);  // not recorded
  EXPECT_EQ(zelk4::d3d8::CallLog(),
            (std::vector<std::string>{"SetRenderState(CULLMODE, NONE)", "SetRenderState(ALPHAREF, 200)",
                                      "SetRenderState(POINTSIZE, 1)", "SetRenderState(ZWRITEENABLE, FALSE)",
                                      "SetTextureStageState(0, MAGFILTER, LINEAR)",
                                      "SetTextureStageState(1, COLORARG1, TEXTURE|ALPHAREPLICATE)",
                                      "SetTextureStageState(1, TEXCOORDINDEX, CAMERASPACENORMAL|1)",
                                      "SetTexture(0, null)", "SetVertexShader(XYZ|NORMAL|TEX1)", "BeginScene()",
                                      "Clear(0, null, TARGET|ZBUFFER, 0x00000000, 1, 0)",
                                      "DrawPrimitive(TRIANGLESTRIP, 0, 2)", "EndScene()"}));
}

// Drawing belongs inside BeginScene/EndScene; a frame is presented outside one. Clearing is
// allowed either way.
TEST(D3D8Scene, DrawsOutsideAScenePresentsInsideOneAndUnpairedBracketsFail) {
  TestDevice d(4, 4);
  d->SetRenderState(D3DRS_LIGHTING, FALSE);
  d->EndScene();
  EXPECT_EQ(d->EndScene(), D3DERR_INVALIDCALL);
  EXPECT_EQ(d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0), D3D_OK);
  const float tri[9] = {-1, 1, 0.5f, 1, 1, 0.5f, -1, -1, 0.5f};
  d->SetVertexShader(D3DFVF_XYZ);
  EXPECT_EQ(d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, 12), D3DERR_INVALIDCALL);
  IDirect3DVertexBuffer8* vb = nullptr;
  ASSERT_EQ(d->CreateVertexBuffer(sizeof tri, 0, D3DFVF_XYZ, D3DPOOL_MANAGED, &vb), D3D_OK);
  BYTE* bytes = nullptr;
  ASSERT_EQ(vb->Lock(0, 0, &bytes, 0), D3D_OK);
  std::memcpy(bytes, tri, sizeof tri);
  vb->Unlock();
  d->SetStreamSource(0, vb, 12);
  EXPECT_EQ(d->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(d->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  EXPECT_EQ(zelk4::d3d8::LastPresentedFrame().pixels.at(0), 0xFF000000u);  // nothing was drawn

  ASSERT_EQ(d->BeginScene(), D3D_OK);
  EXPECT_EQ(d->BeginScene(), D3DERR_INVALIDCALL);
  EXPECT_EQ(d->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0), D3D_OK);
  EXPECT_EQ(d->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3D_OK);
  d->SetStreamSource(0, nullptr, 0);
  vb->Release();
  EXPECT_EQ(d.Frame().at(0, 0), 0xFFFFFFFFu);
}

// A textured, depth-tested, blended little scene that exercises clipping, perspective,
// mipmapping and several span variants.
Picture Scene(unsigned threads, D3DFORMAT target) {
  TestDevice d(97, 61, target, D3DFMT_D24X8, threads);
  d->SetRenderState(D3DRS_LIGHTING, FALSE);
  d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF102030, 1.0f, 0);
  d.SetPerspective(1.0f, 1.5f);
  std::vector<std::vector<uint32_t>> levels;
  for (int level = 0, size = 32; size >= 1; ++level, size /= 2) {
    std::vector<uint32_t> texels(size * size);
    for (int i = 0; i < size * size; ++i) {
      texels[i] = (static_cast<uint32_t>(i * 37 + level * 91) & 0xFF) << 24 |
                  static_cast<uint32_t>(i * 2654435761u >> 8 & 0xFFFFFF);
    }
    levels.push_back(texels);
  }
  IDirect3DTexture8* texture = d.MakeTexture(32, 32, levels);
  d->SetTexture(0, texture);
  d->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
  d->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
  d->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_LINEAR);
  std::vector<WorldVertex> v;
  for (int i = 0; i < 40; ++i) {
    float a = i * 0.7f, z = 0.05f + (i % 7) * 0.9f;
    D3DCOLOR c = 0xFF000000u | (i * 0x3F1F7u & 0xFFFFFFu);
    v.push_back({std::cos(a) * 2, std::sin(a) * 2, z, c, 0, 0});
    v.push_back({std::cos(a + 2) * 3, std::sin(a + 2), z + 1.5f, c ^ 0x00FFFFFFu, 3, 0.5f});
    v.push_back({std::cos(a + 4), std::sin(a + 4) * 3, z + 0.5f, c, 1, 4});
  }
  d.DrawWorld(v);
  d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  d->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  d->SetRenderState(D3DRS_ALPHAREF, 100);
  d->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
  d->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
  d.DrawRect(5.5f, 3.25f, 80.75f, 50.5f, 0.3f, 0xC0FFFFFF);
  // A texture whose sizes are not powers of two, wrapped, over part of it.
  std::vector<uint32_t> odd(24 * 20);
  for (size_t i = 0; i < odd.size(); ++i) odd[i] = static_cast<uint32_t>(i * 2246822519u);
  IDirect3DTexture8* oddTexture = d.MakeTexture(24, 20, {odd});
  d->SetTexture(0, oddTexture);
  d->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_WRAP);
  d->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_NONE);
  d.DrawRect(30.25f, 20.5f, 90.0f, 58.75f, 0.2f, 0xF0FFFFFF);
  d->SetTexture(0, nullptr);
  oddTexture->Release();
  d->SetTexture(0, nullptr);
  d->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
  d->SetRenderState(D3DRS_ZENABLE, FALSE);
  d.DrawRect(0, 0, 97, 61, 0.0f, 0x30FF8000);
  d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  d.DrawRect(10, 10, 40, 40, 0.0f, 0x30FF8000);
  texture->Release();
  return d.Frame();
}

TEST(D3D8Determinism, PicturesDoNotDependOnThreadsOrOnTheFastSpanCode) {
  for (D3DFORMAT target : {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8}) {
    Picture reference = Scene(1, target);
    EXPECT_TRUE(zelk4::test::PicturesMatch("threads2", reference, Scene(2, target)));
    EXPECT_TRUE(zelk4::test::PicturesMatch("threads4", reference, Scene(4, target)));
    zelk4::d3d8::SetFastShadingEnabled(false);
    Picture general = Scene(1, target);
    zelk4::d3d8::SetFastShadingEnabled(true);
    EXPECT_TRUE(zelk4::test::PicturesMatch("general_vs_fast", general, reference));
  }
}

// Draws large enough to be split: their vertices and triangles are worked on by several
// threads in parts and put back together in order. Many small overlapping triangles at equal
// and crossing depths, some culled, some cut by the near plane, some off the screen, so that
// parts of different lengths must land in the queue in the draw's own order.
Picture LargeDraws(unsigned threads) {
  TestDevice d(150, 110, D3DFMT_A8R8G8B8, D3DFMT_D24X8, threads);
  d->SetRenderState(D3DRS_LIGHTING, FALSE);
  d->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
  d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF204060, 1.0f, 0);
  d.SetPerspective(1.0f, 1.3f);
  auto sheet = [](int count, float spread, uint32_t seed) {
    std::vector<WorldVertex> v;
    uint32_t r = seed;
    auto next = [&r] {
      r = r * 1664525u + 1013904223u;
      return static_cast<float>(r >> 8) / static_cast<float>(1u << 24);
    };
    for (int i = 0; i < count; ++i) {
      const float z = (i % 50 == 0 ? -0.3f : 0.6f) + next() * 3;
      const float x = (next() - 0.5f) * spread * z, y = (next() - 0.5f) * spread * z;
      const D3DCOLOR c = 0xFF000000u | (r & 0xFFFFFFu);
      const float s = (0.05f + next() * 0.2f) * z;
      const WorldVertex a{x, y, z, c, 0, 0}, b{x + s, y - s * 0.2f, z + 0.3f, c ^ 0x00FFFFFFu, 1, 0},
          e{x + s * 0.3f, y + s, z, c, 0, 1};
      v.push_back(a);
      v.push_back(i % 3 == 0 ? e : b);  // a third of them face away
      v.push_back(i % 3 == 0 ? b : e);
    }
    return v;
  };
  d.DrawWorld(sheet(3000, 2.4f, 1));
  d->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
  d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCCOLOR);
  d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCCOLOR);
  d.DrawWorld(sheet(1500, 1.8f, 2));
  // Every triangle cut by the near plane into two: the parts make more triangles than
  // primitives, more than the room made for them in the queue.
  d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  std::vector<WorldVertex> cut;
  for (int i = 0; i < 1200; ++i) {
    const float x = static_cast<float>(i % 40) * 0.1f - 2.0f, y = static_cast<float>(i / 40) * 0.12f - 1.8f;
    const D3DCOLOR c = 0xFF000000u | (static_cast<uint32_t>(i) * 2654435761u >> 8);
    cut.push_back({x, y, -0.2f, c, 0, 0});
    cut.push_back({x + 0.5f, y + 0.1f, 2.0f + (i % 7) * 0.1f, c ^ 0x00FF00FFu, 1, 0});
    cut.push_back({x + 0.1f, y + 0.6f, 2.5f, c, 0, 1});
  }
  d.DrawWorld(cut);
  return d.Frame();
}

TEST(D3D8Determinism, LargeDrawsSplitAcrossThreadsDrawTheSamePicture) {
  const Picture one = LargeDraws(1);
  int drawn = 0;
  for (uint32_t p : one.pixels) drawn += p != 0xFF204060u;
  EXPECT_GT(drawn, static_cast<int>(one.pixels.size()) / 2);
  EXPECT_TRUE(zelk4::test::PicturesMatch("large_threads2", one, LargeDraws(2)));
  EXPECT_TRUE(zelk4::test::PicturesMatch("large_threads3", one, LargeDraws(3)));
}

TEST(D3D8Points, PlainPointsCoverThePixelUnderThem) {
  TestDevice d(8, 8);
  d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  const zelk4::d3d8::test::ScreenVertex points[2] = {{2, 3, 0.5f, 1, 0xFFFF0000, 0, 0},
                                            {6.25f, 5.75f, 0.5f, 1, 0xFF00FF00, 0, 0}};
  d->SetVertexShader(zelk4::d3d8::test::kScreenFvf);
  ASSERT_EQ(d->DrawPrimitiveUP(D3DPT_POINTLIST, 2, points, sizeof points[0]), D3D_OK);
  Picture frame = d.Frame();
  int lit = 0;
  for (uint32_t p : frame.pixels) lit += p != 0;
  EXPECT_EQ(lit, 2);
  EXPECT_EQ(frame.at(2, 3), 0xFFFF0000u);
  EXPECT_EQ(frame.at(6, 6), 0xFF00FF00u);
}

}  // namespace

namespace {

TEST(D3D8Present, TheWindowPictureKeepsItsShapeCentredOnAnyDisplay) {
  auto rect = [](int w, int h) {
    zelk4::d3d8::ScreenRect r = zelk4::d3d8::LetterboxRect(w, h, 640, 480);
    return std::vector<int>{r.x, r.y, r.width, r.height};
  };
  EXPECT_EQ(rect(1920, 1080), (std::vector<int>{240, 0, 1440, 1080}));  // bars left and right
  EXPECT_EQ(rect(1280, 1024), (std::vector<int>{0, 32, 1280, 960}));    // bars above and below
  EXPECT_EQ(rect(640, 480), (std::vector<int>{0, 0, 640, 480}));
  EXPECT_EQ(rect(801, 600), (std::vector<int>{0, 0, 800, 600}));        // rounded down, centred
}

TEST(D3D8Present, TheWindowTargetShowsFramesInAnSdlWindow) {
  SDL_SetHint(SDL_HINT_VIDEODRIVER, "dummy");
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
  SDL_Window* window = SDL_CreateWindow("test", 0, 0, 800, 600, 0);
  ASSERT_NE(window, nullptr) << SDL_GetError();
  {
    TestDevice d(64, 48);
    zelk4::d3d8::PresentToWindow(window);
    d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF336699, 1.0f, 0);
    d->EndScene();
    EXPECT_EQ(d->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(d->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    // No window given: the resolver finds one for the focus window, or frames are dropped.
    zelk4::d3d8::PresentToWindow(nullptr);
    EXPECT_EQ(d->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    zelk4::d3d8::SetWindowResolver([window](HWND) { return window; });
    EXPECT_EQ(d->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  }
  SDL_DestroyWindow(window);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace
