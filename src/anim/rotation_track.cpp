// Rotation tracks: relative axis-angle keys chained into absolute quaternions and slerped.
#include "anim/tracks.h"

RotationTrack::~RotationTrack() {
  for (RotationKey* key = first; key != nullptr;) {
    RotationKey* next = key->next;
    delete key;
    key = next;
  }
}

RotationKey* RotationTrack::addKey(float frame, float angle, float axisX, float axisY, float axisZ) {
  RotationKey* key = new RotationKey;
  key->frame = frame;
  key->orientation.fromAxisAngle(angle, axisX, axisY, axisZ);
  key->prev = last;
  if (last != nullptr) {
    last->next = key;
  } else {
    first = key;
  }
  last = key;
  ++keyCount;
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

void Multiply(const float a[16], const float b[16], float out[16]) {
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) {
      float sum = 0.0f;
      for (int i = 0; i < 4; ++i) sum += a[row * 4 + i] * b[i * 4 + column];
      out[row * 4 + column] = sum;
    }
  }
}
}  // namespace

float* RotationTrack::evaluate(float out[16], float frame) const {
  if (keyCount < 2) {
    for (int i = 0; i < 16; ++i) out[i] = (i % 5 == 0) ? 1.0f : 0.0f;
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
  float rotation[16];
  float base[16];
  QuaternionToMatrix4(q, rotation);
  QuaternionToMatrix4(first->orientation, base);
  float baseTransposed[16];
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) baseTransposed[row * 4 + column] = base[column * 4 + row];
  }
  Multiply(rotation, baseTransposed, out);
  return out;
}
