// The named render-state, material and light operations. Each sets its states in the order
// written; every result is ignored.
#include "render/render_device.h"

#include <bit>
#include <cstring>

namespace {

D3DCOLORVALUE ColourValue(float r, float g, float b, float a) {
  D3DCOLORVALUE value;
  value.r = r;
  value.g = g;
  value.b = b;
  value.a = a;
  return value;
}

// Float states travel through the DWORD argument as their IEEE-754 bit pattern.
DWORD FloatBits(float value) { return std::bit_cast<DWORD>(value); }

}  // namespace

void RenderDevice::CullNone() { device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE); }
void RenderDevice::CullClockwise() { device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW); }
void RenderDevice::CullCounterClockwise() { device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW); }

void RenderDevice::EnableAlphaBlend() { device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE); }
void RenderDevice::DisableAlphaBlend() { device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE); }

void RenderDevice::BlendAddColor() {
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCCOLOR);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
}

void RenderDevice::BlendColor() {
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCCOLOR);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCCOLOR);
}

void RenderDevice::BlendAdd() {
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
}

void RenderDevice::BlendAlpha() {
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
}

void RenderDevice::DisableDepth() {
  device->SetRenderState(D3DRS_ZENABLE, FALSE);
  device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
}

void RenderDevice::EnableDepth() {
  device->SetRenderState(D3DRS_ZENABLE, TRUE);
  device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
}

void RenderDevice::DepthTestOnly() {
  device->SetRenderState(D3DRS_ZENABLE, TRUE);
  device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
}

void RenderDevice::EnableSpecular() { device->SetRenderState(D3DRS_SPECULARENABLE, TRUE); }
void RenderDevice::DisableSpecular() { device->SetRenderState(D3DRS_SPECULARENABLE, FALSE); }

void RenderDevice::SetAmbient(D3DCOLOR colour) { device->SetRenderState(D3DRS_AMBIENT, colour); }

void RenderDevice::DisableLighting() { device->SetRenderState(D3DRS_LIGHTING, FALSE); }

void RenderDevice::EnableAlphaTest(uint32_t reference) {
  device->SetRenderState(D3DRS_ALPHAREF, reference & 255u);
  device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
}

void RenderDevice::DisableAlphaTest() { device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE); }

void RenderDevice::EnablePointSprites(float size, float minimumSize, float scaleA, float scaleB,
                                      float scaleC) {
  device->SetRenderState(D3DRS_POINTSIZE, FloatBits(size));
  device->SetRenderState(D3DRS_POINTSIZE_MIN, FloatBits(minimumSize));
  device->SetRenderState(D3DRS_POINTSCALE_A, FloatBits(scaleA));
  device->SetRenderState(D3DRS_POINTSCALE_B, FloatBits(scaleB));
  device->SetRenderState(D3DRS_POINTSCALE_C, FloatBits(scaleC));
  device->SetRenderState(D3DRS_POINTSPRITEENABLE, TRUE);
  device->SetRenderState(D3DRS_POINTSCALEENABLE, TRUE);
}

void RenderDevice::DisablePointSprites() {
  device->SetRenderState(D3DRS_POINTSPRITEENABLE, FALSE);
  device->SetRenderState(D3DRS_POINTSCALEENABLE, FALSE);
}

void RenderDevice::SetMaterial(const D3DMATERIAL8* material) { device->SetMaterial(material); }

void RenderDevice::SetMaterialColors(float ambientR, float ambientG, float ambientB,
                                     float diffuseR, float diffuseG, float diffuseB,
                                     float specularR, float specularG, float specularB,
                                     float power) {
  D3DMATERIAL8 material;
  std::memset(&material, 0, sizeof material);
  material.Ambient = ColourValue(ambientR, ambientG, ambientB, 1.0f);
  material.Diffuse = ColourValue(diffuseR, diffuseG, diffuseB, 1.0f);
  material.Specular = ColourValue(specularR, specularG, specularB, 1.0f);
  material.Emissive = ColourValue(0.0f, 0.0f, 0.0f, 0.0f);
  material.Power = power;
  device->SetMaterial(&material);
}

void RenderDevice::SetPointLight(uint32_t index, float x, float y, float z, float ambientR,
                                 float ambientG, float ambientB, float diffuseR, float diffuseG,
                                 float diffuseB, float specularR, float specularG,
                                 float specularB, float range) {
  D3DLIGHT8 light;
  std::memset(&light, 0, sizeof light);
  light.Type = D3DLIGHT_POINT;
  light.Position.x = x;
  light.Position.y = y;
  light.Position.z = z;
  light.Ambient = ColourValue(ambientR, ambientG, ambientB, 0.0f);
  light.Diffuse = ColourValue(diffuseR, diffuseG, diffuseB, 0.0f);
  light.Specular = ColourValue(specularR, specularG, specularB, 0.0f);
  light.Range = range;
  light.Attenuation0 = 1.0f;
  device->SetLight(index, &light);
  device->LightEnable(index, TRUE);
  device->SetRenderState(D3DRS_LIGHTING, TRUE);
}
