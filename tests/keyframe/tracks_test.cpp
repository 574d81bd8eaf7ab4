#include <cmath>

#include <gtest/gtest.h>

#include "keyframe/keyframe.h"

namespace {

constexpr float kPi = 3.14159265f;

TEST(KeyframeFloatTrack, FewKeysGiveConstantOrUnclampedLine) {
  FloatTrack empty;
  EXPECT_EQ(empty.evaluate(-5.0f), 0.0f);
  EXPECT_EQ(empty.evaluate(12.0f), 0.0f);

  FloatTrack one;
  one.addKey(3.0f, 7.5f);
  one.finish();
  EXPECT_EQ(one.evaluate(-100.0f), 7.5f);
  EXPECT_EQ(one.evaluate(100.0f), 7.5f);

  FloatTrack two;
  two.addKey(0.0f, 10.0f);
  two.addKey(10.0f, 20.0f);
  two.finish();
  EXPECT_FLOAT_EQ(two.evaluate(5.0f), 15.0f);
  EXPECT_FLOAT_EQ(two.evaluate(20.0f), 30.0f);
  EXPECT_FLOAT_EQ(two.evaluate(-10.0f), 0.0f);
}

TEST(KeyframeFloatTrack, CubicPassesThroughKeysWithCatmullRomTangents) {
  FloatTrack track;
  const float values[] = {0.0f, 4.0f, 1.0f, 6.0f, 6.0f};
  for (int i = 0; i < 5; ++i) track.addKey(10.0f * i, values[i]);
  track.finish();
  // Equally spaced interior keys get (next - previous) / 2 on both sides.
  const FloatKey* k = track.first->next;
  EXPECT_FLOAT_EQ(k->inTangent, 0.5f);
  EXPECT_FLOAT_EQ(k->outTangent, 0.5f);
  EXPECT_FLOAT_EQ(k->next->inTangent, 1.0f);
  EXPECT_FLOAT_EQ(k->next->outTangent, 1.0f);
  // End keys: parabola through the first three: g = 0.5, (0.5 + 0 + (4 - 0.5) * 1.5).
  EXPECT_FLOAT_EQ(track.first->outTangent, 5.75f);
  EXPECT_EQ(track.first->inTangent, 0.0f);
  EXPECT_EQ(track.last->outTangent, 0.0f);

  for (int i = 0; i < 5; ++i) EXPECT_NEAR(track.evaluate(10.0f * i), values[i], 1e-5f) << i;
  EXPECT_EQ(track.evaluate(41.0f), 6.0f);
  EXPECT_EQ(track.evaluate(1000.0f), 6.0f);
  // A midpoint of a Hermite segment: (v0 + v1) / 2 + (out0 - in1) / 8.
  EXPECT_NEAR(track.evaluate(15.0f), (4.0f + 1.0f) / 2 + (0.5f - 1.0f) / 8, 1e-5f);
  // Before the first key the first segment's cubic goes on (parameter below 0).
  const float t = -0.5f;
  const float expected = (2 * t * t * t - 3 * t * t + 1) * 0.0f + (t * t * t - 2 * t * t + t) * 5.75f +
                         (3 * t * t - 2 * t * t * t) * 4.0f + (t * t * t - t * t) * 0.5f;
  EXPECT_NEAR(track.evaluate(-5.0f), expected, 1e-5f);
}

TEST(KeyframeFloatTrack, CursorRestartsForAnEarlierFrame) {
  FloatTrack track;
  track.addKey(0.0f, 1.0f);
  track.addKey(4.0f, 3.0f);
  track.addKey(8.0f, 2.0f);
  track.finish();
  FloatTrack fresh;
  fresh.addKey(0.0f, 1.0f);
  fresh.addKey(4.0f, 3.0f);
  fresh.addKey(8.0f, 2.0f);
  fresh.finish();

  const float at5 = track.evaluate(5.0f);
  EXPECT_EQ(track.cursor, track.first->next);
  const float at7 = track.evaluate(7.0f);
  const float at3 = track.evaluate(3.0f);
  EXPECT_EQ(track.cursor, track.first);
  EXPECT_EQ(at5, fresh.evaluate(5.0f));
  fresh.cursor = nullptr;
  EXPECT_EQ(at7, fresh.evaluate(7.0f));
  fresh.cursor = nullptr;
  EXPECT_EQ(at3, fresh.evaluate(3.0f));
}

TEST(KeyframeFloatTrack, KeysSharingAFrameYieldTheLaterValue) {
  FloatTrack two;
  two.addKey(5.0f, 1.0f);
  two.addKey(5.0f, 9.0f);
  two.finish();
  EXPECT_EQ(two.evaluate(0.0f), 9.0f);

  FloatTrack three;
  three.addKey(5.0f, 1.0f);
  three.addKey(5.0f, 9.0f);
  three.addKey(10.0f, 3.0f);
  three.finish();
  EXPECT_EQ(three.evaluate(4.0f), 9.0f);
  EXPECT_TRUE(std::isfinite(three.evaluate(7.0f)));
}

TEST(KeyframeFloatTrack, EasedSegmentsFollowTheEaseCurve) {
  FloatTrack track;
  track.addKeyWithParameters(0.0f, 0.0f, 0, 0, 0, 0, 0.5f);
  track.addKeyWithParameters(10.0f, 1.0f, 0, 0, 0, 0.5f, 0);
  track.addKeyWithParameters(20.0f, 1.0f, 0, 0, 0, 0, 0);
  track.finish();
  // The segment's parameter 0.25 becomes 0.125 before the Hermite basis is applied.
  const float s = 0.125f;
  const float h01 = 3 * s * s - 2 * s * s * s;
  const float h10 = s * s * s - 2 * s * s + s;
  const float h11 = s * s * s - s * s;
  const FloatKey& k0 = *track.first;
  const FloatKey& k1 = *k0.next;
  EXPECT_NEAR(track.evaluate(2.5f), h10 * k0.outTangent + h01 * 1.0f + h11 * k1.inTangent, 1e-6f);
}

TEST(KeyframeEaseParameter, EasesInAndOut) {
  EXPECT_EQ(EaseParameter(0.3f, 0.0f, 0.0f), 0.3f);
  EXPECT_EQ(EaseParameter(-2.0f, 0.0f, 0.0f), -2.0f);
  for (float e : {0.5f, 1.0f}) {  // 1 + 1 is rescaled to 0.5 + 0.5
    EXPECT_FLOAT_EQ(EaseParameter(0.25f, e, e), 0.125f);
    EXPECT_FLOAT_EQ(EaseParameter(0.5f, e, e), 0.5f);
    EXPECT_FLOAT_EQ(EaseParameter(0.75f, e, e), 0.875f);
  }
  // A zero ease on one side has no curved part there, even outside 0..1.
  EXPECT_FLOAT_EQ(EaseParameter(-0.5f, 0.0f, 0.5f), -1.0f / 1.5f);
  EXPECT_FLOAT_EQ(EaseParameter(1.5f, 0.5f, 0.0f), (3.0f - 0.5f) / 1.5f);
}

void ExpectMatrixNear(const D3DXMATRIX* actual, const float* expected) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(actual->m[i / 4][i % 4], expected[i], 1e-5f) << "element " << i;
}

// D3DXMatrixRotationY(angle): row vectors, left-handed.
void RotationY(float angle, float out[16]) {
  const float c = std::cos(angle);
  const float s = std::sin(angle);
  const float m[16] = {c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1};
  for (int i = 0; i < 16; ++i) out[i] = m[i];
}

TEST(KeyframeQuaternion, AxisAngleReversesTheAngleAndNormalises) {
  Quaternion q;
  q.fromAxisAngle(kPi / 2, 0.0f, 2.0f, 0.0f);
  EXPECT_NEAR(q.w, std::cos(-kPi / 4), 1e-6f);
  EXPECT_NEAR(q.y, std::sin(-kPi / 4), 1e-6f);
  EXPECT_EQ(q.x, 0.0f);
  q.fromAxisAngle(1.0f, 0.0f, 0.0f, 0.0f);
  EXPECT_EQ(q.w, 1.0f);
  Quaternion zero{0, 0, 0, 0};
  zero.normalize();
  EXPECT_EQ(zero.w, 1.0f);
}

TEST(KeyframeQuaternion, SlerpBranches) {
  Quaternion a;
  Quaternion b;
  b.fromAxisAngle(kPi / 2, 0, 1, 0);
  Quaternion mid;
  Slerp(&mid, a, b, 0.5f);
  Quaternion expected;
  expected.fromAxisAngle(kPi / 4, 0, 1, 0);
  EXPECT_NEAR(mid.w, expected.w, 1e-6f);
  EXPECT_NEAR(mid.y, expected.y, 1e-6f);

  Slerp(&mid, a, a, 0.3f);  // equal: straight line, no division by sin 0
  EXPECT_FLOAT_EQ(mid.w, 1.0f);

  // Opposite quaternions turn through a perpendicular one and stay of unit length.
  const Quaternion opposite{-1, 0, 0, 0};
  for (float t : {0.0f, 0.25f, 0.5f, 1.0f}) {
    Slerp(&mid, a, opposite, t);
    EXPECT_NEAR(mid.w * mid.w + mid.x * mid.x + mid.y * mid.y + mid.z * mid.z, 1.0f, 1e-6f) << t;
  }
  Slerp(&mid, a, opposite, 1.0f);
  EXPECT_NEAR(mid.z, -1.0f, 1e-6f);  // the perpendicular (z, -y, x, -w) of the identity
}

TEST(KeyframeRotationTrack, FewKeysGiveTheIdentity) {
  const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  D3DXMATRIX out;
  RotationTrack empty;
  ExpectMatrixNear(empty.evaluate(&out, 3.0f), identity);
  RotationTrack one;
  one.addKey(0.0f, 1.0f, 0, 1, 0);
  one.finish();
  ExpectMatrixNear(one.evaluate(&out, 3.0f), identity);
}

TEST(KeyframeRotationTrack, QuarterAndHalfTurnsAboutY) {
  RotationTrack track;
  track.addKey(0.0f, 0.0f, 0, 1, 0);
  track.addKey(10.0f, kPi / 2, 0, 1, 0);
  track.addKey(20.0f, kPi / 2, 0, 1, 0);
  track.finish();
  D3DXMATRIX out;
  float expected[16];
  // The reversed half angle and the quaternion's matrix together give the file's angle as a
  // D3DX-style rotation about y.
  RotationY(0.0f, expected);
  ExpectMatrixNear(track.evaluate(&out, 0.0f), expected);
  RotationY(kPi / 2, expected);
  ExpectMatrixNear(track.evaluate(&out, 10.0f), expected);
  RotationY(kPi / 4, expected);
  ExpectMatrixNear(track.evaluate(&out, 5.0f), expected);
  RotationY(kPi, expected);
  ExpectMatrixNear(track.evaluate(&out, 20.0f), expected);
  ExpectMatrixNear(track.evaluate(&out, 35.0f), expected);
}

TEST(KeyframeRotationTrack, ResultIsRelativeToTheFirstKey) {
  RotationTrack track;
  track.addKey(0.0f, kPi / 2, 1, 0, 0);
  track.addKey(10.0f, 0.0f, 1, 0, 0);
  track.finish();
  const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  D3DXMATRIX out;
  ExpectMatrixNear(track.evaluate(&out, 0.0f), identity);
  ExpectMatrixNear(track.evaluate(&out, 10.0f), identity);
}

TEST(KeyframeRotationTrack, FullTurnKeyTakesTheOppositeBranch) {
  RotationTrack track;
  track.addKey(0.0f, 0.0f, 0, 1, 0);
  track.addKey(10.0f, 2 * kPi, 0, 1, 0);  // a full turn: the quaternion -1
  track.finish();
  EXPECT_NEAR(track.last->orientation.w, -1.0f, 1e-6f);
  D3DXMATRIX out;
  track.evaluate(&out, 5.0f);
  // Halfway through the perpendicular quaternion: still a rotation (orthonormal rows).
  for (int row = 0; row < 3; ++row) {
    const float* r = out.m[row];
    EXPECT_NEAR(r[0] * r[0] + r[1] * r[1] + r[2] * r[2], 1.0f, 1e-5f) << row;
  }
}

}  // namespace
