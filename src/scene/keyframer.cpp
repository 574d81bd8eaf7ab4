// Keyframer node records: creation with their limits, and camera and target sampling.
#include "scene/keyframer.h"

#include <cmath>
#include <new>

#include "base/fatal_error.h"

CameraTrack::CameraTrack()
    : posX(new FloatTrack), posY(new FloatTrack), posZ(new FloatTrack), roll(new FloatTrack),
      fov(new FloatTrack) {}

CameraTrack::~CameraTrack() {
  delete posX;
  delete posY;
  delete posZ;
  delete roll;
  delete fov;
}

MeshTrack::MeshTrack()
    : posX(new FloatTrack), posY(new FloatTrack), posZ(new FloatTrack), scaleX(new FloatTrack),
      scaleY(new FloatTrack), scaleZ(new FloatTrack), rotation(new RotationTrack) {}

MeshTrack::~MeshTrack() {
  delete posX;
  delete posY;
  delete posZ;
  delete scaleX;
  delete scaleY;
  delete scaleZ;
  delete rotation;
}

LightTrack::LightTrack()
    : posX(new FloatTrack), posY(new FloatTrack), posZ(new FloatTrack), colorR(new FloatTrack),
      colorG(new FloatTrack), colorB(new FloatTrack) {}

LightTrack::~LightTrack() {
  delete posX;
  delete posY;
  delete posZ;
  delete colorR;
  delete colorG;
  delete colorB;
}

Keyframer::~Keyframer() {
  for (uint32_t i = 0; i < cameraCount; ++i) delete cameraTracks[i];
  for (uint32_t i = 0; i < targetCount; ++i) delete targetTracks[i];
  for (uint32_t i = 0; i < meshTrackCount; ++i) delete meshTracks[i];
  for (uint32_t i = 0; i < lightCount; ++i) delete lightTracks[i];
}

namespace {
// Stores a new record in the next slot. The table keeps its last slot free: reaching a count
// of 1024 is fatal, so at most 1023 records exist.
template <typename Record>
Record* AddRecord(Record** table, uint32_t* count, const char* allocationText, const char* limitText) {
  Record* record = nullptr;
  try {
    record = new Record;
  } catch (const std::bad_alloc&) {
    FatalError(allocationText, "Memory error in keyframer");
  }
  table[*count] = record;
  ++*count;
  if (*count >= kKeyframerTableSize) FatalError(limitText, "Keyframer error");
  return record;
}
}  // namespace

CameraTrack* Keyframer::AddCameraTrack() {
  return AddRecord(cameraTracks, &cameraCount, "Unable to allocate memory for camera-track",
                   "Too many camera tracks in .3ds file");
}

TargetTrack* Keyframer::AddTargetTrack() {
  return AddRecord(targetTracks, &targetCount, "Unable to allocate memory for cameratarget-track",
                   "Too many camera target tracks in .3ds file");
}

MeshTrack* Keyframer::AddMeshTrack() {
  return AddRecord(meshTracks, &meshTrackCount, "Unable to allocate memory for meshobj-track",
                   "Too many meshobj tracks in .3ds file");
}

LightTrack* Keyframer::AddLightTrack() {
  return AddRecord(lightTracks, &lightCount, "Unable to allocate memory for light-track",
                   "Too many light tracks in .3ds file");
}

float WrapFrame(float t, uint32_t loopLength) {
  // Outside this range the truncation to an integer is undefined; such times are not wrapped.
  if (loopLength == 0 || !(std::fabs(t) < 2147483648.0f)) return t;
  const int32_t whole = static_cast<int32_t>(t);
  const float fraction = t - static_cast<float>(whole);
  return fraction + static_cast<float>(static_cast<uint32_t>(whole) % loopLength);
}

void Keyframer::EvaluateCamera(float t, float scale, uint32_t loopLength, uint32_t index, float* x,
                               float* y, float* z, float* roll, float* fov) const {
  if (index >= cameraCount) return;
  const float at = WrapFrame(t, loopLength);
  CameraTrack& camera = *cameraTracks[index];
  *x = camera.posX->evaluate(at) * scale;
  *y = camera.posY->evaluate(at) * scale;
  *z = camera.posZ->evaluate(at) * scale;
  *roll = camera.roll->evaluate(at);
  *fov = camera.fov->evaluate(at);
}

void Keyframer::EvaluateTarget(float t, float scale, uint32_t loopLength, uint32_t index, float* x,
                               float* y, float* z) const {
  if (index >= targetCount) return;
  const float at = WrapFrame(t, loopLength);
  TargetTrack& target = *targetTracks[index];
  *x = target.posX->evaluate(at) * scale;
  *y = target.posY->evaluate(at) * scale;
  *z = target.posZ->evaluate(at) * scale;
}
