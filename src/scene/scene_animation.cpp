// Scene animation: the keyframer's tracks evaluated at a frame and written into the scene's
// cameras, targets, lights and mesh world matrices. Tables are paired by index: camera i looks
// at target i, mesh track i moves mesh i.
#include "scene/scene.h"

namespace {

// Translation(-P0) x Scaling(sx, sz, sy) x R x Translation(P): the node's frame-0 position is
// taken to the origin, the mesh is scaled (the file's x, y, z scale order), turned by the change
// of rotation since the first key and put at the node's current position.
void MeshTrackMatrix(MeshTrack& track, float frame, float scale, D3DXMATRIX* out) {
  const float x0 = track.posX->evaluate(0.0f) * scale;
  const float y0 = track.posY->evaluate(0.0f) * scale;
  const float z0 = track.posZ->evaluate(0.0f) * scale;
  const float x = track.posX->evaluate(frame) * scale;
  const float y = track.posY->evaluate(frame) * scale;
  const float z = track.posZ->evaluate(frame) * scale;
  const float sx = track.scaleX->evaluate(frame);
  const float sy = track.scaleY->evaluate(frame);
  const float sz = track.scaleZ->evaluate(frame);
  D3DXMATRIX rotation;
  track.rotation->evaluate(&rotation, frame);

  D3DXMATRIX toOrigin, scaling, toPlace, m;
  D3DXMatrixTranslation(&toOrigin, -x0, -y0, -z0);
  D3DXMatrixScaling(&scaling, sx, sz, sy);
  D3DXMatrixTranslation(&toPlace, x, y, z);
  D3DXMatrixMultiply(&m, &toOrigin, &scaling);
  D3DXMatrixMultiply(&m, &m, &rotation);
  D3DXMatrixMultiply(out, &m, &toPlace);
}

// Every mesh's own matrix at an already wrapped frame; meshes past the tracks get the identity.
void AnimateMeshesAt(D3DDemoEngineScene& scene, float frame) {
  const Keyframer& kf = *scene.keyframer;
  for (uint32_t i = 0; i < scene.meshCount; ++i) {
    MeshObj& mesh = *scene.meshes[i];
    if (i < kf.meshTrackCount) {
      MeshTrackMatrix(*kf.meshTracks[i], frame, scene.sceneScale, &mesh.worldMatrix);
    } else {
      D3DXMatrixIdentity(&mesh.worldMatrix);
    }
  }
}

}  // namespace

void D3DDemoEngineScene::animateCameras(float time) {
  D3DXMatrixIdentity(&viewMatrix);
  if (keyframer == nullptr) return;
  Keyframer& kf = *keyframer;
  for (uint32_t i = 0; i < kf.cameraCount; ++i) {
    CameraValues& c = kf.cameraTracks[i]->current;
    kf.EvaluateCamera(time, sceneScale, kf.endFrame, i, &c.x, &c.y, &c.z, &c.roll, &c.fov);
    // A camera without a target (a hostile file) has nothing to look at.
    if (i < kf.targetCount) {
      CameraValues& t = kf.targetTracks[i]->current;
      kf.EvaluateTarget(time, sceneScale, kf.endFrame, i, &t.x, &t.y, &t.z);
    }
  }
}

void D3DDemoEngineScene::animateMeshes(float time, uint32_t loopLimit) {
  if (keyframer == nullptr) return;
  const uint32_t loop = loopLimit < keyframer->endFrame ? loopLimit : keyframer->endFrame;
  AnimateMeshesAt(*this, WrapFrame(time, loop));
}

void D3DDemoEngineScene::animateMeshesWithHierarchy(float time) {
  if (keyframer == nullptr) return;
  AnimateMeshesAt(*this, WrapFrame(time, keyframer->endFrame));
  // In mesh order: a parent that comes earlier already carries its own parent's matrix.
  for (uint32_t j = 0; j < meshCount; ++j) {
    const int32_t parent = meshes[j]->parentIndex;
    if (parent < 0 || static_cast<uint32_t>(parent) >= meshCount) continue;
    D3DXMATRIX combined;
    D3DXMatrixMultiply(&combined, &meshes[j]->worldMatrix, &meshes[parent]->worldMatrix);
    meshes[j]->worldMatrix = combined;
  }
}

void D3DDemoEngineScene::animateLights(float time) {
  if (keyframer == nullptr) return;
  Keyframer& kf = *keyframer;
  const float frame = WrapFrame(time, kf.endFrame);
  for (uint32_t i = 0; i < kf.lightCount; ++i) {
    LightTrack& light = *kf.lightTracks[i];
    light.current.x = light.posX->evaluate(frame) * sceneScale;
    light.current.y = light.posY->evaluate(frame) * sceneScale;
    light.current.z = light.posZ->evaluate(frame) * sceneScale;
    light.current.r = light.colorR->evaluate(frame);
    light.current.g = light.colorG->evaluate(frame);
    light.current.b = light.colorB->evaluate(frame);
  }
}

void D3DDemoEngineScene::animate(float time) {
  animateCameras(time);
  animateLights(time);
  animateMeshesWithHierarchy(time);
}
