// One demo-like frame on the software device, 640x480 A8R8G8B8 with a D24X8 depth buffer:
// a 10,000-triangle textured, depth-tested mesh over about half the screen with bilinear
// mipmapped filtering, then three full-screen alpha-blended quads (one textured and
// alpha-tested at 200, two untextured). Present goes nowhere.
#include <cmath>
#include <cstring>
#include <vector>

#include <benchmark/benchmark.h>

#include "platform/d3d8/d3d8.h"
#include "platform/d3dx/d3dx8.h"

namespace {

struct MeshVertex {
  float x, y, z;
  float u, v;
};
constexpr DWORD kMeshFvf = D3DFVF_XYZ | D3DFVF_TEX1;

struct QuadVertex {
  float x, y, z;
  D3DCOLOR colour;
  float u, v;
};
constexpr DWORD kQuadFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

constexpr int kColumns = 100, kRows = 50;  // 100 x 50 cells, two triangles each

IDirect3DTexture8* MakeTexture(IDirect3DDevice8* device, UINT size, bool withAlpha) {
  IDirect3DTexture8* texture = nullptr;
  device->CreateTexture(size, size, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture);
  for (UINT level = 0; level < texture->GetLevelCount(); ++level) {
    D3DLOCKED_RECT locked;
    texture->LockRect(level, &locked, nullptr, 0);
    UINT s = size >> level;
    for (UINT y = 0; y < s; ++y) {
      auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch);
      for (UINT x = 0; x < s; ++x) {
        uint32_t alpha = withAlpha ? ((x * 7 + y * 3) & 255) : 255;
        row[x] = (alpha << 24) | ((x * 255 / s) << 16) | ((y * 255 / s) << 8) | ((x ^ y) & 255);
      }
    }
    texture->UnlockRect(level);
  }
  return texture;
}

struct Scene {
  IDirect3D8* direct3d = nullptr;
  IDirect3DDevice8* device = nullptr;
  IDirect3DVertexBuffer8* meshVertices = nullptr;
  IDirect3DIndexBuffer8* meshIndices = nullptr;
  IDirect3DVertexBuffer8* quads = nullptr;
  IDirect3DTexture8* meshTexture = nullptr;
  IDirect3DTexture8* overlay = nullptr;
  D3DXMATRIX meshView, meshProjection, quadView, quadProjection;

  DWORD meshMipFilter = D3DTEXF_LINEAR;

  explicit Scene(unsigned threads, DWORD mipFilter = D3DTEXF_LINEAR) : meshMipFilter(mipFilter) {
    zelk4::d3d8::PresentToNothing();
    zelk4::d3d8::SetWorkerThreads(threads);
    direct3d = Direct3DCreate8(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = 640;
    pp.BackBufferHeight = 480;
    pp.BackBufferFormat = D3DFMT_A8R8G8B8;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D24X8;
    direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                           D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device);

    // A gently waving sheet seen from above at an angle.
    const int vertexCount = (kColumns + 1) * (kRows + 1);
    device->CreateVertexBuffer(vertexCount * sizeof(MeshVertex), 0, kMeshFvf, D3DPOOL_MANAGED,
                               &meshVertices);
    BYTE* bytes = nullptr;
    meshVertices->Lock(0, 0, &bytes, 0);
    auto* v = reinterpret_cast<MeshVertex*>(bytes);
    for (int r = 0; r <= kRows; ++r) {
      for (int c = 0; c <= kColumns; ++c) {
        float x = -1.6f + 3.2f * c / kColumns, z = -0.8f + 1.6f * r / kRows;
        *v++ = {x, 0.08f * std::sin(6.0f * x) * std::cos(5.0f * z), z, 4.0f * c / kColumns,
                2.0f * r / kRows};
      }
    }
    meshVertices->Unlock();
    device->CreateIndexBuffer(kColumns * kRows * 6 * 2, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                              D3DPOOL_MANAGED, &meshIndices);
    meshIndices->Lock(0, 0, &bytes, 0);
    auto* index = reinterpret_cast<uint16_t*>(bytes);
    for (int r = 0; r < kRows; ++r) {
      for (int c = 0; c < kColumns; ++c) {
        uint16_t a = static_cast<uint16_t>(r * (kColumns + 1) + c), b = a + 1,
                 d = static_cast<uint16_t>(a + kColumns + 1), e = d + 1;
        uint16_t tri[6] = {a, d, b, b, d, e};
        std::memcpy(index, tri, sizeof tri);
        index += 6;
      }
    }
    meshIndices->Unlock();

    device->CreateVertexBuffer(480000, 0, kQuadFvf, D3DPOOL_MANAGED, &quads);
    meshTexture = MakeTexture(device, 256, false);
    overlay = MakeTexture(device, 256, true);

    D3DXVECTOR3 eye(0, 1.6f, -2.2f), at(0, 0, 0), up(0, 1, 0), quadEye(0, 0, -4.8f);
    D3DXMatrixLookAtLH(&meshView, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&meshProjection, 0.7853982f, 640.0f / 480.0f, 0.1f, 10.0f);
    D3DXMatrixLookAtLH(&quadView, &quadEye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&quadProjection, 0.7853982f, 1.0f, 0.001f, 100.0f);
  }

  ~Scene() {
    quads->Release();
    meshVertices->Release();
    meshIndices->Release();
    meshTexture->Release();
    overlay->Release();
    device->Release();
    direct3d->Release();
  }

  void Quad(IDirect3DTexture8* texture, D3DCOLOR colour) {
    BYTE* bytes = nullptr;
    quads->Lock(0, 0, &bytes, 0);
    const float s = 2.0f;
    QuadVertex q[6] = {{-s, s, 0, colour, 0, 0}, {s, s, 0, colour, 1, 0},  {-s, -s, 0, colour, 0, 1},
                       {s, s, 0, colour, 1, 0},  {-s, -s, 0, colour, 0, 1}, {s, -s, 0, colour, 1, 1}};
    std::memcpy(bytes, q, sizeof q);
    quads->Unlock();
    device->SetTexture(0, texture);
    device->BeginScene();
    device->SetStreamSource(0, quads, sizeof(QuadVertex));
    device->SetVertexShader(kQuadFvf);
    device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);
    device->EndScene();
  }

  void Frame(bool mesh = true, bool overlays = true) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF203040, 1.0f, 0);
    if (mesh) Mesh();
    if (overlays) Overlays();
    device->Present(nullptr, nullptr, nullptr, nullptr);
  }

  void Mesh() {
    D3DXMATRIX world;
    D3DXMatrixIdentity(&world);
    device->SetTransform(D3DTS_WORLD, &world);
    device->SetTransform(D3DTS_VIEW, &meshView);
    device->SetTransform(D3DTS_PROJECTION, &meshProjection);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ZENABLE, TRUE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    device->SetTexture(0, meshTexture);
    device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
    device->SetTextureStageState(0, D3DTSS_MIPFILTER, meshMipFilter);
    device->BeginScene();
    device->SetStreamSource(0, meshVertices, sizeof(MeshVertex));
    device->SetVertexShader(kMeshFvf);
    device->SetIndices(meshIndices, 0);
    device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, (kColumns + 1) * (kRows + 1), 0,
                                 kColumns * kRows * 2);
    device->EndScene();
  }

  // Screen quads with the engine's quad camera.
  void Overlays() {
    device->SetTransform(D3DTS_VIEW, &quadView);
    device->SetTransform(D3DTS_PROJECTION, &quadProjection);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_NONE);
    device->SetRenderState(D3DRS_ALPHAREF, 200);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    Quad(overlay, 0xFFFFFFFF);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    Quad(nullptr, 0x40FF8000);
    Quad(nullptr, 0x1FFFFFFF);
  }
};

// Arguments: worker threads, then the mesh's mip filter (2: LINEAR between levels, as the
// engine sets it for mipmapped textures; 1: POINT, bilinear within the nearest level).
void BM_DemoLikeFrame(benchmark::State& state) {
  Scene scene(static_cast<unsigned>(state.range(0)), static_cast<DWORD>(state.range(1)));
  for (auto _ : state) scene.Frame();
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                             benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DemoLikeFrame)
    ->Args({1, D3DTEXF_LINEAR})
    ->Args({2, D3DTEXF_LINEAR})
    ->Args({1, D3DTEXF_POINT})
    ->Args({2, D3DTEXF_POINT})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The two halves of the frame alone, on one thread.
void BM_MeshOnly(benchmark::State& state) {
  Scene scene(1);
  for (auto _ : state) scene.Frame(true, false);
}
BENCHMARK(BM_MeshOnly)->Unit(benchmark::kMillisecond);

void BM_OverlaysOnly(benchmark::State& state) {
  Scene scene(1);
  for (auto _ : state) scene.Frame(false, true);
}
BENCHMARK(BM_OverlaysOnly)->Unit(benchmark::kMillisecond);

void BM_ClearAndPresentOnly(benchmark::State& state) {
  Scene scene(1);
  for (auto _ : state) scene.Frame(false, false);
}
BENCHMARK(BM_ClearAndPresentOnly)->Unit(benchmark::kMillisecond);

}  // namespace
