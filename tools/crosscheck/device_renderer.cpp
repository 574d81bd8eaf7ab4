// A cross-check scene on our software device: every draw sets its whole state, so draws do not
// depend on each other's leftovers.
#include <cstring>
#include <vector>

#include "crosscheck/renderers.h"
#include "platform/d3d8/device_control.h"

namespace zelk4::crosscheck {
namespace {

DWORD FloatBits(float f) {
  DWORD d;
  std::memcpy(&d, &f, 4);
  return d;
}

// Packs vertices in the memory order of the FVF: position, normal, point size, diffuse,
// specular, texture sets.
std::vector<uint8_t> Pack(const Draw& d, UINT* stride) {
  std::vector<float> words;
  int sets = static_cast<int>((d.fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT);
  for (const Vertex& v : d.vertices) {
    words.push_back(v.x);
    words.push_back(v.y);
    words.push_back(v.z);
    if ((d.fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW) words.push_back(v.rhw);
    if (d.fvf & D3DFVF_NORMAL) {
      words.push_back(v.nx);
      words.push_back(v.ny);
      words.push_back(v.nz);
    }
    if (d.fvf & D3DFVF_PSIZE) words.push_back(v.size);
    float c;
    if (d.fvf & D3DFVF_DIFFUSE) {
      std::memcpy(&c, &v.diffuse, 4);
      words.push_back(c);
    }
    if (d.fvf & D3DFVF_SPECULAR) {
      std::memcpy(&c, &v.specular, 4);
      words.push_back(c);
    }
    if (sets > 0) {
      words.push_back(v.u);
      words.push_back(v.v);
    }
    if (sets > 1) {
      words.push_back(v.u1);
      words.push_back(v.v1);
    }
  }
  *stride = d.vertices.empty() ? 0 : static_cast<UINT>(words.size() * 4 / d.vertices.size());
  std::vector<uint8_t> bytes(words.size() * 4);
  if (!words.empty()) std::memcpy(bytes.data(), words.data(), bytes.size());
  return bytes;
}

UINT PrimitiveCount(D3DPRIMITIVETYPE type, size_t corners) {
  UINT n = static_cast<UINT>(corners);
  switch (type) {
    case D3DPT_POINTLIST: return n;
    case D3DPT_LINELIST: return n / 2;
    case D3DPT_LINESTRIP: return n > 1 ? n - 1 : 0;
    case D3DPT_TRIANGLELIST: return n / 3;
    default: return n > 2 ? n - 2 : 0;
  }
}

}  // namespace

struct DeviceRenderer::Impl {
  const Scene& scene;
  std::string error;
  IDirect3D8* direct3d = nullptr;
  IDirect3DDevice8* device = nullptr;
  IDirect3DSurface8* backBuffer = nullptr;
  IDirect3DSurface8* depth = nullptr;
  std::vector<IDirect3DBaseTexture8*> textures;
  std::vector<IDirect3DSurface8*> targets;  // level 0 of render-target textures, or null
  std::vector<std::vector<uint8_t>> packed;
  std::vector<UINT> strides;

  explicit Impl(const Scene& s) : scene(s) {}
  bool Setup(unsigned threads);
  bool MakeTexture(const TextureDesc& t);
  void DrawOne(size_t index);
  ~Impl();
};

bool DeviceRenderer::Impl::MakeTexture(const TextureDesc& t) {
  auto fill = [&](D3DLOCKED_RECT& r, const std::vector<uint32_t>& texels) {
    for (uint32_t y = 0; y < t.size && texels.size() >= static_cast<size_t>(t.size) * t.size; ++y) {
      std::memcpy(static_cast<uint8_t*>(r.pBits) + static_cast<size_t>(y) * r.Pitch,
                  texels.data() + static_cast<size_t>(y) * t.size, t.size * 4);
    }
  };
  if (t.cube) {
    IDirect3DCubeTexture8* cube = nullptr;
    if (device->CreateCubeTexture(t.size, 1, 0, t.format, D3DPOOL_MANAGED, &cube) != D3D_OK) {
      return false;
    }
    for (int f = 0; f < 6; ++f) {
      D3DLOCKED_RECT r;
      if (cube->LockRect(static_cast<D3DCUBEMAP_FACES>(f), 0, &r, nullptr, 0) != D3D_OK) return false;
      fill(r, t.faces[f]);
      cube->UnlockRect(static_cast<D3DCUBEMAP_FACES>(f), 0);
    }
    textures.push_back(cube);
    targets.push_back(nullptr);
    return true;
  }
  IDirect3DTexture8* texture = nullptr;
  DWORD usage = t.renderTarget ? D3DUSAGE_RENDERTARGET : 0;
  D3DPOOL pool = t.renderTarget ? D3DPOOL_DEFAULT : D3DPOOL_MANAGED;
  UINT levels = 1 + static_cast<UINT>(t.mips.size());
  if (device->CreateTexture(t.size, t.size, levels, usage, t.format, pool, &texture) != D3D_OK) {
    return false;
  }
  textures.push_back(texture);
  IDirect3DSurface8* level = nullptr;
  if (t.renderTarget) {
    if (texture->GetSurfaceLevel(0, &level) != D3D_OK) return false;
  } else {
    D3DLOCKED_RECT r;
    if (texture->LockRect(0, &r, nullptr, 0) != D3D_OK) return false;
    fill(r, t.faces[0]);
    texture->UnlockRect(0);
    for (UINT level = 1; level < levels; ++level) {
      const std::vector<uint32_t>& texels = t.mips[level - 1];
      UINT size = t.size >> level;
      if (texture->LockRect(level, &r, nullptr, 0) != D3D_OK) return false;
      for (UINT y = 0; y < size && texels.size() >= static_cast<size_t>(size) * size; ++y) {
        std::memcpy(static_cast<uint8_t*>(r.pBits) + static_cast<size_t>(y) * r.Pitch,
                    texels.data() + static_cast<size_t>(y) * size, size * 4);
      }
      texture->UnlockRect(level);
    }
  }
  targets.push_back(level);
  return true;
}

bool DeviceRenderer::Impl::Setup(unsigned threads) {
  zelk4::d3d8::PresentOffscreen();
  zelk4::d3d8::SetWorkerThreads(threads);
  direct3d = Direct3DCreate8(D3D_SDK_VERSION);
  if (direct3d == nullptr) return false;
  D3DPRESENT_PARAMETERS pp{};
  pp.BackBufferWidth = scene.width;
  pp.BackBufferHeight = scene.height;
  pp.BackBufferFormat = scene.backBuffer;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.Windowed = TRUE;
  pp.EnableAutoDepthStencil = TRUE;
  pp.AutoDepthStencilFormat = D3DFMT_D24X8;
  if (direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                             D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device) != D3D_OK) {
    error = "CreateDevice failed";
    return false;
  }
  device->GetRenderTarget(&backBuffer);
  device->GetDepthStencilSurface(&depth);
  for (const TextureDesc& t : scene.textures) {
    if (!MakeTexture(t)) {
      error = "texture creation failed";
      return false;
    }
  }
  for (const Draw& d : scene.draws) {
    UINT stride = 0;
    packed.push_back(Pack(d, &stride));
    strides.push_back(stride);
  }
  return true;
}

DeviceRenderer::Impl::~Impl() {
  for (IDirect3DSurface8* s : targets) {
    if (s != nullptr) s->Release();
  }
  for (IDirect3DBaseTexture8* t : textures) t->Release();
  if (depth != nullptr) depth->Release();
  if (backBuffer != nullptr) backBuffer->Release();
  if (device != nullptr) device->Release();
  if (direct3d != nullptr) direct3d->Release();
}

void DeviceRenderer::Impl::DrawOne(size_t index) {
  const Draw& d = scene.draws[index];
  IDirect3DDevice8* dev = device;
  D3DVIEWPORT8 vp = d.viewport;
  if (vp.Width == 0) {
    vp = {0, 0, d.target < 0 ? scene.width : scene.textures[static_cast<size_t>(d.target)].size,
          d.target < 0 ? scene.height : scene.textures[static_cast<size_t>(d.target)].size, 0, 1};
  }
  dev->SetViewport(&vp);
  if (d.clear) {
    dev->Clear(0, nullptr, d.clearFlags, d.clearColour, 1.0f, 0);
    return;
  }
  dev->SetTransform(D3DTS_WORLD, &d.world);
  dev->SetTransform(D3DTS_VIEW, &d.view);
  dev->SetTransform(D3DTS_PROJECTION, &d.projection);
  dev->SetRenderState(D3DRS_CULLMODE, d.cull);
  dev->SetRenderState(D3DRS_ZENABLE, d.zEnable ? D3DZB_TRUE : D3DZB_FALSE);
  dev->SetRenderState(D3DRS_ZWRITEENABLE, d.zWrite);
  dev->SetRenderState(D3DRS_ZFUNC, d.zFunc);
  dev->SetRenderState(D3DRS_ALPHABLENDENABLE, d.blend);
  dev->SetRenderState(D3DRS_SRCBLEND, d.srcBlend);
  dev->SetRenderState(D3DRS_DESTBLEND, d.destBlend);
  dev->SetRenderState(D3DRS_ALPHATESTENABLE, d.alphaTest);
  dev->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
  dev->SetRenderState(D3DRS_ALPHAREF, d.alphaRef);
  dev->SetRenderState(D3DRS_LIGHTING, d.lighting);
  dev->SetRenderState(D3DRS_SPECULARENABLE, d.specularEnable);
  dev->SetRenderState(D3DRS_NORMALIZENORMALS, d.normalizeNormals);
  dev->SetRenderState(D3DRS_AMBIENT, d.ambient);
  dev->SetRenderState(D3DRS_LASTPIXEL, d.lastPixel);
  dev->SetMaterial(&d.material);
  for (DWORD i = 0; i < 8; ++i) dev->LightEnable(i, FALSE);
  for (size_t i = 0; i < d.lights.size(); ++i) {
    const Light& l = d.lights[i];
    D3DLIGHT8 light{};
    light.Type = D3DLIGHT_POINT;
    light.Position = {l.x, l.y, l.z};
    light.Ambient = l.ambient;
    light.Diffuse = l.diffuse;
    light.Specular = l.specular;
    light.Range = l.range;
    light.Attenuation0 = l.att0;
    light.Attenuation1 = l.att1;
    light.Attenuation2 = l.att2;
    dev->SetLight(static_cast<DWORD>(i), &light);
    dev->LightEnable(static_cast<DWORD>(i), TRUE);
  }
  dev->SetRenderState(D3DRS_POINTSIZE, FloatBits(d.pointSize));
  dev->SetRenderState(D3DRS_POINTSIZE_MIN, FloatBits(d.pointSizeMin));
  dev->SetRenderState(D3DRS_POINTSIZE_MAX, FloatBits(d.pointSizeMax));
  dev->SetRenderState(D3DRS_POINTSPRITEENABLE, d.pointSprite);
  dev->SetRenderState(D3DRS_POINTSCALEENABLE, d.pointScale);
  dev->SetRenderState(D3DRS_POINTSCALE_A, FloatBits(d.scaleA));
  dev->SetRenderState(D3DRS_POINTSCALE_B, FloatBits(d.scaleB));
  dev->SetRenderState(D3DRS_POINTSCALE_C, FloatBits(d.scaleC));
  for (DWORD i = 0; i < 2; ++i) {
    const Stage& st = d.stages[i];
    dev->SetTexture(i, st.texture >= 0 ? textures[static_cast<size_t>(st.texture)] : nullptr);
    dev->SetTextureStageState(i, D3DTSS_COLOROP, st.colorOp);
    dev->SetTextureStageState(i, D3DTSS_COLORARG1, st.colorArg1);
    dev->SetTextureStageState(i, D3DTSS_COLORARG2, st.colorArg2);
    dev->SetTextureStageState(i, D3DTSS_ALPHAOP, st.alphaOp);
    dev->SetTextureStageState(i, D3DTSS_ALPHAARG1, st.alphaArg1);
    dev->SetTextureStageState(i, D3DTSS_ALPHAARG2, st.alphaArg2);
    dev->SetTextureStageState(i, D3DTSS_TEXCOORDINDEX, st.texCoordIndex);
    dev->SetTextureStageState(i, D3DTSS_TEXTURETRANSFORMFLAGS, st.transformFlags);
    dev->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(D3DTS_TEXTURE0 + i), &st.transform);
    dev->SetTextureStageState(i, D3DTSS_MAGFILTER, st.filter);
    dev->SetTextureStageState(i, D3DTSS_MINFILTER, st.filter);
    dev->SetTextureStageState(i, D3DTSS_MIPFILTER, st.mipFilter);
    dev->SetTextureStageState(i, D3DTSS_ADDRESSU, st.address);
    dev->SetTextureStageState(i, D3DTSS_ADDRESSV, st.address);
  }
  dev->SetTextureStageState(2, D3DTSS_COLOROP, D3DTOP_DISABLE);
  dev->SetVertexShader(d.fvf);
  UINT count = PrimitiveCount(d.type, d.indices.empty() ? d.vertices.size() : d.indices.size());
  if (count == 0) return;
  if (d.indices.empty()) {
    dev->DrawPrimitiveUP(d.type, count, packed[index].data(), strides[index]);
  } else {
    dev->DrawIndexedPrimitiveUP(d.type, 0, static_cast<UINT>(d.vertices.size()), count,
                                d.indices.data(), D3DFMT_INDEX16, packed[index].data(),
                                strides[index]);
  }
}

DeviceRenderer::DeviceRenderer(const Scene& scene, unsigned threads)
    : impl_(std::make_unique<Impl>(scene)) {
  if (!impl_->Setup(threads) && impl_->error.empty()) impl_->error = "device set-up failed";
}

DeviceRenderer::~DeviceRenderer() = default;

bool DeviceRenderer::ok() const { return impl_->error.empty(); }
const std::string& DeviceRenderer::error() const { return impl_->error; }

void DeviceRenderer::Render() {
  if (!ok()) return;
  IDirect3DDevice8* dev = impl_->device;
  dev->BeginScene();
  int current = -1;
  for (size_t i = 0; i < impl_->scene.draws.size(); ++i) {
    int target = impl_->scene.draws[i].target;
    if (target != current) {
      IDirect3DSurface8* surface =
          target < 0 ? impl_->backBuffer : impl_->targets[static_cast<size_t>(target)];
      dev->SetRenderTarget(surface, impl_->depth);
      current = target;
    }
    impl_->DrawOne(i);
  }
  if (current != -1) dev->SetRenderTarget(impl_->backBuffer, impl_->depth);
  dev->EndScene();
  dev->Present(nullptr, nullptr, nullptr, nullptr);
}

Image DeviceRenderer::Read() const {
  const zelk4::d3d8::Frame& f = zelk4::d3d8::LastPresentedFrame();
  Image image;
  image.width = f.width;
  image.height = f.height;
  image.pixels = f.pixels;
  return image;
}

}  // namespace zelk4::crosscheck
