// Choosing the camera: the view of one animated camera looking at its target, by index or by
// the beginning of its name, with the roll turned about the viewing axis.
#include <cstring>

#include "scene/scene.h"

namespace {
constexpr float kDegreesToRadians = 0.017453292f;

// True when camera `index` and its target are both in the tables.
bool HasCamera(const D3DDemoEngineScene& scene, uint32_t index) {
  const Keyframer* kf = scene.keyframer;
  return kf != nullptr && index < kf->cameraCount && index < kf->targetCount;
}

// The first camera whose name begins with the first (length mod 256) bytes of `name`, or -1.
int32_t FindCameraByPrefix(const D3DDemoEngineScene& scene, const char* name) {
  const Keyframer* kf = scene.keyframer;
  if (kf == nullptr) return -1;
  const size_t length = std::strlen(name) & 0xFF;
  for (uint32_t i = 0; i < kf->cameraCount; ++i) {
    if (std::strncmp(kf->cameraTracks[i]->name, name, length) == 0) {
      return HasCamera(scene, i) ? static_cast<int32_t>(i) : -1;
    }
  }
  return -1;
}

// LookAt(eye, at, up y) x RotationZ(roll), into the scene's view and *out; the field of view
// from the camera's current value.
D3DXMATRIX* LookThrough(D3DDemoEngineScene& scene, D3DXMATRIX* out, const CameraValues& camera,
                        const D3DXVECTOR3& eye, const D3DXVECTOR3& at) {
  const D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
  D3DXMATRIX lookAt, roll;
  D3DXMatrixLookAtLH(&lookAt, &eye, &at, &up);
  D3DXMatrixRotationZ(&roll, camera.roll * kDegreesToRadians);
  D3DXMatrixMultiply(&scene.viewMatrix, &lookAt, &roll);
  scene.fieldOfView = camera.fov * kDegreesToRadians;
  *out = scene.viewMatrix;
  return out;
}

D3DXVECTOR3 Position(const CameraValues& v) { return D3DXVECTOR3(v.x, v.y, v.z); }

// Identity view and result: what a camera that is not there gives.
D3DXMATRIX* NoCamera(D3DDemoEngineScene& scene, D3DXMATRIX* out) {
  D3DXMatrixIdentity(&scene.viewMatrix);
  *out = scene.viewMatrix;
  return out;
}
}  // namespace

D3DXMATRIX* D3DDemoEngineScene::setCameraByIndex(D3DXMATRIX* out, uint32_t index) {
  if (!HasCamera(*this, index)) return NoCamera(*this, out);
  const CameraValues& camera = keyframer->cameraTracks[index]->current;
  const CameraValues& target = keyframer->targetTracks[index]->current;
  return LookThrough(*this, out, camera, Position(camera), Position(target));
}

D3DXMATRIX* D3DDemoEngineScene::setCameraByName(D3DXMATRIX* out, const char* name) {
  const int32_t index = FindCameraByPrefix(*this, name);
  if (index < 0) return NoCamera(*this, out);
  return setCameraByIndex(out, static_cast<uint32_t>(index));
}

D3DXMATRIX* D3DDemoEngineScene::setCameraByNameOffset(D3DXMATRIX* out, const char* name,
                                                      const D3DXVECTOR3& eyeOffset,
                                                      const D3DXVECTOR3& targetOffset) {
  const int32_t index = FindCameraByPrefix(*this, name);
  if (index < 0) return NoCamera(*this, out);
  const CameraValues& camera = keyframer->cameraTracks[index]->current;
  const CameraValues& target = keyframer->targetTracks[index]->current;
  return LookThrough(*this, out, camera, Position(camera) + eyeOffset,
                     Position(target) + targetOffset);
}

D3DXMATRIX* D3DDemoEngineScene::setCameraByNameScaled(D3DXMATRIX* out, const char* name,
                                                      float eyeFactor, float targetFactor) {
  const int32_t index = FindCameraByPrefix(*this, name);
  if (index < 0) return NoCamera(*this, out);
  const CameraValues& camera = keyframer->cameraTracks[index]->current;
  const CameraValues& target = keyframer->targetTracks[index]->current;
  return LookThrough(*this, out, camera, Position(camera) * eyeFactor,
                     Position(target) * targetFactor);
}
