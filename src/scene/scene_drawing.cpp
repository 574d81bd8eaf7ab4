// Drawing the scene: the camera's view, the fixed projection, optionally the animated lights
// and the meshes' materials, then every visible mesh with its texture and world matrix. Only
// the RenderDevice's named operations touch the device's state; culling, depth, blending and
// the lighting switch stay the caller's.
#include "render/render_device.h"
#include "scene/scene.h"

namespace {
constexpr float kNearPlane = 0.0001f;
constexpr float kFarPlane = 4.0f;
constexpr float kSquareAspect = 1.0f;
constexpr float kLightRange = 1000.0f;
constexpr uint32_t kDeviceLights = 8;  // what the device supports; later lights are ignored

void DrawMeshes(D3DDemoEngineScene& scene, RenderDevice* device, float aspect, bool lit) {
  device->SetViewMatrix(&scene.viewMatrix);
  device->SetProjection(kNearPlane, kFarPlane, scene.fieldOfView, aspect);
  if (lit) scene.applyLights(device);
  for (uint32_t i = 0; i < scene.meshCount; ++i) {
    MeshObj& mesh = *scene.meshes[i];
    if (mesh.visible == 0) continue;
    if (lit) device->SetMaterial(&mesh.material.d3dMaterial);
    device->SetTexture(mesh.material.texture);
    device->SetWorldMatrix(&mesh.worldMatrix);
    mesh.Draw(device);
  }
}
}  // namespace

void D3DDemoEngineScene::applyLights(RenderDevice* device) {
  if (keyframer == nullptr) return;
  const uint32_t count = keyframer->lightCount < kDeviceLights ? keyframer->lightCount : kDeviceLights;
  for (uint32_t i = 0; i < count; ++i) {
    const LightValues& light = keyframer->lightTracks[i]->current;
    device->SetPointLight(i, light.x, light.y, light.z, 0.0f, 0.0f, 0.0f, light.r, light.g,
                          light.b, 1.0f, 1.0f, 1.0f, kLightRange);
  }
}

void D3DDemoEngineScene::drawScene(RenderDevice* device, uint8_t useLights) {
  DrawMeshes(*this, device, kSquareAspect, useLights != 0);
}

void D3DDemoEngineScene::drawSceneLit(RenderDevice* device) {
  DrawMeshes(*this, device, kSquareAspect, true);
}

void D3DDemoEngineScene::drawSceneLitWithAspect(RenderDevice* device, float aspect) {
  DrawMeshes(*this, device, aspect, true);
}
