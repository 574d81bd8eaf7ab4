// Rotation tracks: relative axis-angle keys chained into absolute quaternions and slerped.
#include "keyframe/keyframe.h"
#include "keyframe/key_list.h"

RotationTrack::~RotationTrack() { DeleteKeys(first); }

RotationKey* RotationTrack::addKey(float frame, float angle, float axisX, float axisY, float axisZ) {
  RotationKey* key = new RotationKey;
  key->frame = frame;
  key->orientation.fromAxisAngle(angle, axisX, axisY, axisZ);
  AppendKey(*this, key);
  return key;
}

void RotationTrack::finish() {
  if (keyCount < 2) return;
  // Each key turns on from where the previous one left off: K := K x (accumulated previous).
  for (RotationKey* key = first->next; key != nullptr; key = key->next) {
    key->orientation.multiplyBy(key->prev->orientation);
  }
}

namespace {
float SegmentParameter(float frame, float from, float to) {
  const float span = to - from;
  return span != 0.0f ? (frame - from) / span : 1.0f;  // equal frames: the later key holds
}

// out = a x b (row by column, as D3DXMatrixMultiply); out may not alias a or b.
void Multiply(const D3DXMATRIX& a, const D3DXMATRIX& b, D3DXMATRIX* out) {
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) {
      float sum = 0.0f;
      for (int i = 0; i < 4; ++i) sum += a.m[row][i] * b.m[i][column];
      out->m[row][column] = sum;
    }
  }
}
}  // namespace

D3DXMATRIX* RotationTrack::evaluate(D3DXMATRIX* out, float frame) const {
  if (keyCount < 2) {
    QuaternionToMatrix(Quaternion{}, out);
    return out;
  }
  Quaternion q;
  if (keyCount == 2) {
    Slerp(&q, first->orientation, last->orientation, SegmentParameter(frame, first->frame, last->frame));
  } else {
    const RotationKey* k0 = first;
    while (k0->next != nullptr && k0->next->frame <= frame) k0 = k0->next;
    if (k0 == last) {
      q = last->orientation;
    } else {
      Slerp(&q, k0->orientation, k0->next->orientation, SegmentParameter(frame, k0->frame, k0->next->frame));
    }
  }
  // Relative to the first key: R x transpose(Mat(first)), the transpose undoing the first turn.
  D3DXMATRIX rotation;
  D3DXMATRIX base;
  QuaternionToMatrix(q, &rotation);
  QuaternionToMatrix(first->orientation, &base);
  D3DXMATRIX baseTransposed;
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) baseTransposed.m[row][column] = base.m[column][row];
  }
  Multiply(rotation, baseTransposed, out);
  return out;
}
