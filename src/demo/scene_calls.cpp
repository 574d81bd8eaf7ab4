// The part's scene operations as the scene itself provides them.
#include "demo/demo.h"

SceneCalls DefaultSceneCalls() {
  return SceneCalls{
      [](D3DDemoEngineScene* s, RenderDevice* device) { s->UploadMeshes(device); },
      [](MeshObj* mesh, RenderDevice* device) { mesh->Upload(device); },
      [](D3DDemoEngineScene* s, float time) { s->animateCameras(time); },
      [](D3DDemoEngineScene* s, float time, uint32_t loopLimit) { s->animateMeshes(time, loopLimit); },
      [](D3DDemoEngineScene* s, D3DXMATRIX* out, uint32_t index) { s->setCameraByIndex(out, index); },
      [](D3DDemoEngineScene* s, RenderDevice* device, uint8_t useLights) {
        s->drawScene(device, useLights);
      },
  };
}

SceneCalls sceneCalls = DefaultSceneCalls();
