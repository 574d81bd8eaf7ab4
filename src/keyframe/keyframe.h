// Keyframe tracks of the scene's keyframer: a FloatTrack holds one animated scalar and is
// interpolated with Kochanek-Bartels (tension, continuity, bias) Hermite segments with ease in
// and ease out; a RotationTrack holds an orientation as relative axis-angle keys, chained into
// absolute quaternions by finish() and slerped on evaluation.
//
// Keys are appended in non-decreasing frame order (the 3DS file stores them so) and a track is
// finished once after its last key. A track owns its keys; they are freed with the track.
// Frames are the scene file's frame numbers as floats. Every value is a 32-bit float.
#pragma once

#include <cstdint>

#include "platform/d3dx/d3dx8.h"

// A rotation as a unit quaternion, scalar part first.
struct Quaternion {
  float w = 1.0f;
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;

  // The rotation by `angle` radians about the axis; the half angle's sign is reversed, which
  // turns the file's right-handed angles into the engine's left-handed ones. A degenerate axis
  // gives the identity. The result is normalised.
  void fromAxisAngle(float angle, float axisX, float axisY, float axisZ);
  // Scales to unit length; a zero quaternion becomes the identity.
  void normalize();
  // this := this x other (Hamilton product, this on the left).
  void multiplyBy(const Quaternion& other);
  // The 3x3 rotation, out[row * 3 + column].
  void toRotationMatrix(float out[9]) const;
};

// Spherical interpolation from q0 (t = 0) to q1 (t = 1). The sign of the dot product is not
// tested, so a negative one takes the longer arc; opposite quaternions turn through a
// perpendicular one. The result is not renormalised; t outside 0..1 extrapolates.
void Slerp(Quaternion* result, const Quaternion& q0, const Quaternion& q1, float t);

// Maps a segment parameter t through ease-from (at the segment's start) and ease-to (at its
// end). With both zero it returns t.
float EaseParameter(float t, float easeFrom, float easeTo);

struct FloatKey {
  float frame = 0.0f;
  float value = 0.0f;
  float bias = 0.0f;
  float continuity = 0.0f;
  float tension = 0.0f;
  float easeTo = 0.0f;    // ease of the segment that ends at this key
  float easeFrom = 0.0f;  // ease of the segment that starts at this key
  float outTangent = 0.0f;  // written by finish()
  float inTangent = 0.0f;   // written by finish()
  FloatKey* next = nullptr;
  FloatKey* prev = nullptr;
};

struct FloatTrack {
  FloatKey* first = nullptr;
  FloatKey* last = nullptr;
  FloatKey* cursor = nullptr;  // start key of the most recent cubic segment
  int32_t keyCount = 0;

  FloatTrack() = default;
  ~FloatTrack();
  FloatTrack(const FloatTrack&) = delete;
  FloatTrack& operator=(const FloatTrack&) = delete;

  void addKey(float frame, float value);
  void addKeyWithParameters(float frame, float value, float bias, float continuity, float tension,
                            float easeTo, float easeFrom);
  // Computes every key's tangents; call once after the last key.
  void finish();
  // 0 when empty, the value when one key, the line through two keys (extrapolated), and the
  // cubic through three or more (the last value after the last key). Moves `cursor`.
  float evaluate(float frame);
};

struct RotationKey {
  float frame = 0.0f;
  Quaternion orientation;  // relative rotation until finish(), absolute after
  RotationKey* prev = nullptr;
  RotationKey* next = nullptr;
};

struct RotationTrack {
  uint32_t keyCount = 0;
  RotationKey* first = nullptr;
  RotationKey* last = nullptr;

  RotationTrack() = default;
  ~RotationTrack();
  RotationTrack(const RotationTrack&) = delete;
  RotationTrack& operator=(const RotationTrack&) = delete;

  RotationKey* addKey(float frame, float angle, float axisX, float axisY, float axisZ);
  // Chains the relative rotations into absolute orientations; call once after the last key.
  void finish();
  // Writes the rotation at `frame`, relative to the first key, into out (row vectors); the
  // identity for fewer than two keys. Returns out.
  D3DXMATRIX* evaluate(D3DXMATRIX* out, float frame) const;
};

// The 4x4 matrix of a quaternion's rotation: its 3x3 block, 1 at [3][3], zeros elsewhere.
void QuaternionToMatrix(const Quaternion& q, D3DXMATRIX* out);
