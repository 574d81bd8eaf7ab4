#include <cmath>

#include "keyframe/keyframe.h"

namespace {
// Below this an axis length or a quaternion difference counts as zero (FLT_EPSILON).
constexpr float kEpsilon = 1.1920929e-07f;
constexpr float kHalfPi = 1.57079632f;
}  // namespace

void Quaternion::fromAxisAngle(float angle, float axisX, float axisY, float axisZ) {
  const float length = std::sqrt(axisX * axisX + axisY * axisY + axisZ * axisZ);
  if (std::fabs(length) > kEpsilon) {
    const float half = angle * -0.5f;
    const float s = std::sin(half) * (1.0f / length);
    w = std::cos(half);
    x = axisX * s;
    y = axisY * s;
    z = axisZ * s;
  } else {
    *this = Quaternion{};
  }
  normalize();
}

void Quaternion::normalize() {
  const float n = std::sqrt(w * w + x * x + y * y + z * z);
  if (n != 0.0f) {
    const float inv = 1.0f / n;
    w *= inv;
    x *= inv;
    y *= inv;
    z *= inv;
  } else {
    *this = Quaternion{};
  }
}

void Quaternion::multiplyBy(const Quaternion& o) {
  const Quaternion q = *this;
  w = q.w * o.w - (q.x * o.x + q.y * o.y + q.z * o.z);
  x = q.w * o.x + q.x * o.w + q.y * o.z - q.z * o.y;
  y = q.w * o.y - q.x * o.z + q.y * o.w + q.z * o.x;
  z = q.w * o.z + q.x * o.y - q.y * o.x + q.z * o.w;
}

void Quaternion::toRotationMatrix(float m[9]) const {
  m[0] = 1 - 2 * y * y - 2 * z * z;
  m[1] = 2 * x * y - 2 * w * z;
  m[2] = 2 * w * y + 2 * x * z;
  m[3] = 2 * w * z + 2 * x * y;
  m[4] = 1 - 2 * x * x - 2 * z * z;
  m[5] = 2 * y * z - 2 * w * x;
  m[6] = 2 * x * z - 2 * w * y;
  m[7] = 2 * y * z + 2 * w * x;
  m[8] = 1 - 2 * x * x - 2 * y * y;
}

void QuaternionToMatrix(const Quaternion& q, D3DXMATRIX* out) {
  float r[9];
  q.toRotationMatrix(r);
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) {
      out->m[row][column] = (row < 3 && column < 3) ? r[row * 3 + column] : (row == column ? 1.0f : 0.0f);
    }
  }
}

void Slerp(Quaternion* result, const Quaternion& q0, const Quaternion& q1, float t) {
  const float dot = q0.w * q1.w + q0.x * q1.x + q0.y * q1.y + q0.z * q1.z;
  float s0;
  float s1;
  Quaternion other = q1;
  if (dot + 1.0f > kEpsilon) {
    if (1.0f - dot > kEpsilon) {
      const float omega = std::acos(dot);
      const float sinOmega = std::sin(omega);
      s0 = std::sin((1.0f - t) * omega) / sinOmega;
      s1 = std::sin(t * omega) / sinOmega;
    } else {  // nearly equal: a straight line is as good and avoids dividing by sin 0
      s0 = 1.0f - t;
      s1 = t;
    }
  } else {  // opposite: no unique arc, so turn through a quaternion perpendicular to q0
    other = Quaternion{q0.z, -q0.y, q0.x, -q0.w};
    s0 = std::sin((1.0f - t) * kHalfPi);
    s1 = std::sin(t * kHalfPi);
  }
  result->w = s0 * q0.w + s1 * other.w;
  result->x = s0 * q0.x + s1 * other.x;
  result->y = s0 * q0.y + s1 * other.y;
  result->z = s0 * q0.z + s1 * other.z;
}
