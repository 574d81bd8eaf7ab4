// The keyframer of a 3DS scene: four tables of node records (cameras, camera targets, meshes,
// lights), each record owning the tracks the parser adds keys to. Records are paired by index:
// camera i looks at target i, and mesh track i moves mesh i of the scene.
//
// A table holds at most 1023 records; adding the 1024th is fatal ("Keyframer error"), and a
// record or key that cannot be allocated is fatal too ("Memory error in keyframer").
// The keyframer owns its records and the records own their tracks.
#pragma once

#include <cstdint>

#include "keyframe/keyframe.h"

constexpr uint32_t kKeyframerTableSize = 1024;  // slots; at most 1023 are ever filled
constexpr uint32_t kNodeNameSize = 64;          // 63 characters and the terminating zero

// Positions in file units with the engine's axes: posY holds the file's z, posZ the file's y.
struct CameraValues {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
  float roll = 0.0f;  // degrees
  float fov = 0.0f;   // degrees
};

struct CameraTrack {
  char name[kNodeNameSize] = {};
  FloatTrack* posX;
  FloatTrack* posY;
  FloatTrack* posZ;
  FloatTrack* roll;  // degrees
  FloatTrack* fov;   // degrees
  CameraValues current;  // written by the animation; position already times sceneScale

  CameraTrack();
  ~CameraTrack();
  CameraTrack(const CameraTrack&) = delete;
  CameraTrack& operator=(const CameraTrack&) = delete;
};

// The same record as a camera; only the position tracks receive keys.
struct TargetTrack : CameraTrack {};

struct MeshTrack {
  char name[kNodeNameSize] = {};
  float pivot[3] = {};  // engine axes, file units
  FloatTrack* posX;
  FloatTrack* posY;
  FloatTrack* posZ;
  FloatTrack* scaleX;
  FloatTrack* scaleY;  // the file's z scale
  FloatTrack* scaleZ;  // the file's y scale
  RotationTrack* rotation;  // axis-angle keys, axes in engine order

  MeshTrack();
  ~MeshTrack();
  MeshTrack(const MeshTrack&) = delete;
  MeshTrack& operator=(const MeshTrack&) = delete;
};

struct LightValues {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
  float r = 0.0f;
  float g = 0.0f;
  float b = 0.0f;
};

struct LightTrack {
  char name[kNodeNameSize] = {};
  FloatTrack* posX;
  FloatTrack* posY;
  FloatTrack* posZ;
  FloatTrack* colorR;
  FloatTrack* colorG;
  FloatTrack* colorB;
  LightValues current;  // position times sceneScale, colour as stored

  LightTrack();
  ~LightTrack();
  LightTrack(const LightTrack&) = delete;
  LightTrack& operator=(const LightTrack&) = delete;
};

struct Keyframer {
  uint32_t startFrame = 0;
  uint32_t endFrame = 0;  // also the animation's loop length
  uint32_t cameraCount = 0;
  uint32_t targetCount = 0;
  uint32_t meshTrackCount = 0;
  uint32_t lightCount = 0;
  CameraTrack* cameraTracks[kKeyframerTableSize] = {};
  TargetTrack* targetTracks[kKeyframerTableSize] = {};
  MeshTrack* meshTracks[kKeyframerTableSize] = {};
  LightTrack* lightTracks[kKeyframerTableSize] = {};

  Keyframer() = default;
  ~Keyframer();
  Keyframer(const Keyframer&) = delete;
  Keyframer& operator=(const Keyframer&) = delete;

  // Each appends a new record with empty tracks to its table and returns it.
  CameraTrack* AddCameraTrack();
  TargetTrack* AddTargetTrack();
  MeshTrack* AddMeshTrack();
  LightTrack* AddLightTrack();

  // Camera (or target) `index` at time t wrapped into the loop (WrapFrame), the position times
  // `scale`, roll and fov in degrees. An index past the table leaves the outputs unchanged.
  void EvaluateCamera(float t, float scale, uint32_t loopLength, uint32_t index, float* x, float* y,
                      float* z, float* roll, float* fov) const;
  void EvaluateTarget(float t, float scale, uint32_t loopLength, uint32_t index, float* x, float* y,
                      float* z) const;
};

// Wraps a time into frames 0..L-1 while keeping its fraction: with n = t truncated toward zero
// (as an unsigned 32-bit value), f + (n mod L). A loop length of 0, or a time beyond the 32-bit
// range, evaluates at t unwrapped.
float WrapFrame(float t, uint32_t loopLength);
