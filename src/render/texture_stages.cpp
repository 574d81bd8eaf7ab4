// The texture-stage operations. A stage argument is taken from its low 8 bits.
#include "render/render_device.h"

#include "render/texture_records.h"

namespace {

DWORD StageOf(uint32_t stage) { return stage & 255u; }

constexpr DWORD kHighestStage = 7;

// Binds a texture on a stage with filters chosen from its flags: linear for file textures,
// point for textures built from pixels, and a mip filter of the same kind only when the
// texture was loaded with mip levels.
void BindTexture(IDirect3DDevice8* device, const Texture* texture, DWORD stage) {
  if (texture == nullptr) {
    device->SetTexture(stage, nullptr);  // filters and coordinate index stay as they were
    return;
  }
  device->SetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, 0);
  device->SetTexture(stage, texture->d3dTexture);
  const DWORD filter = texture->filtered == 1 ? D3DTEXF_LINEAR : D3DTEXF_POINT;
  device->SetTextureStageState(stage, D3DTSS_MAGFILTER, filter);
  device->SetTextureStageState(stage, D3DTSS_MINFILTER, filter);
  device->SetTextureStageState(stage, D3DTSS_MIPFILTER,
                               texture->mipmapped ? filter : static_cast<DWORD>(D3DTEXF_NONE));
}

// Scales a stage's coordinates by (scaleU, scaleV) and moves them by (0.5, 0.5).
void SetTextureMatrix(IDirect3DDevice8* device, DWORD stage, float scaleU, float scaleV) {
  D3DMATRIX matrix = {};
  matrix._11 = scaleU;
  matrix._22 = scaleV;
  matrix._33 = 1.0f;
  matrix._41 = 0.5f;
  matrix._42 = 0.5f;
  matrix._44 = 1.0f;
  device->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(D3DTS_TEXTURE0 + stage), &matrix);
}

}  // namespace

void RenderDevice::SetTexture(const Texture* texture) { BindTexture(device, texture, 0); }

void RenderDevice::SetTextureOnStage(const Texture* texture, uint32_t stage) {
  BindTexture(device, texture, StageOf(stage));
}

void RenderDevice::SetModulateStage0() {
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
}

void RenderDevice::SetAddStage(uint32_t stage) {
  const DWORD n = StageOf(stage);
  device->SetTextureStageState(n, D3DTSS_TEXCOORDINDEX, n);
  device->SetTextureStageState(n, D3DTSS_COLOROP, D3DTOP_ADD);
  device->SetTextureStageState(n, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(n, D3DTSS_COLORARG2, D3DTA_CURRENT);
}

void RenderDevice::SetModulateStage(uint32_t stage) {
  const DWORD n = StageOf(stage);
  device->SetTextureStageState(n, D3DTSS_TEXCOORDINDEX, n);
  device->SetTextureStageState(n, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device->SetTextureStageState(n, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(n, D3DTSS_COLORARG2, D3DTA_CURRENT);
}

namespace {

// Stage 1 blends its texture over stage 0's result by that result's alpha; the two callers
// differ only in how stage 1 combines alpha.
void SetTwoStageAlpha(IDirect3DDevice8* device, DWORD stage1AlphaOp) {
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_BLENDCURRENTALPHA);
  device->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_CURRENT);
  device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  device->SetTextureStageState(1, D3DTSS_ALPHAOP, stage1AlphaOp);
  device->SetTextureStageState(1, D3DTSS_ALPHAARG2, D3DTA_TEXTURE);
  device->SetTextureStageState(1, D3DTSS_ALPHAARG1, D3DTA_CURRENT);
}

}  // namespace

void RenderDevice::SetBlendAlphaStages(uint32_t, uint32_t) {
  SetTwoStageAlpha(device, D3DTOP_ADD);
}

void RenderDevice::SetModulateAlphaStages(uint32_t, uint32_t) {
  SetTwoStageAlpha(device, D3DTOP_MODULATE);
}

void RenderDevice::SetLinearFilter(uint32_t stage) {
  const DWORD n = StageOf(stage);
  device->SetTextureStageState(n, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
  device->SetTextureStageState(n, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
}

void RenderDevice::EnableSphereMap(uint32_t stage) {
  const DWORD n = StageOf(stage);
  if (n > kHighestStage) return;
  // Camera-space normals in [-1, 1] become coordinates in [0, 1], v pointing down.
  SetTextureMatrix(device, n, 0.5f, -0.5f);
  device->SetTextureStageState(n, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL);
  device->SetTextureStageState(n, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
}

void RenderDevice::DisableTextureTransform(uint32_t stage) {
  const DWORD n = StageOf(stage);
  if (n > kHighestStage) return;
  SetTextureMatrix(device, n, 1.0f, -1.0f);  // the transform is switched off just after
  device->SetTextureStageState(n, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
}

void RenderDevice::SetCubeReflection(const CubeTexture* cube, uint32_t stage) {
  const DWORD n = StageOf(stage);
  device->SetTexture(n, cube != nullptr ? cube->d3dCubeTexture : nullptr);
  device->SetTextureStageState(n, D3DTSS_TEXCOORDINDEX,
                               D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR);
  device->SetTextureStageState(n, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT3);
  device->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE);
  SetLinearFilter(n);
}
