// The D3DX matrix functions do what their published definitions say: checked by what they do
// to points (row vector times matrix), not by restating their entries.
#include <cmath>

#include <gtest/gtest.h>

#include "platform/d3dx/d3dx8.h"

namespace {

constexpr float kPi = 3.14159265f;

// (x, y, z, 1) times m, divided by w.
D3DXVECTOR3 Apply(const D3DXMATRIX& m, float x, float y, float z) {
  D3DXVECTOR3 in(x, y, z), out;
  D3DXVec3TransformCoord(&out, &in, &m);
  return out;
}

void ExpectNear(const D3DXVECTOR3& v, float x, float y, float z, float tolerance = 1e-5f) {
  EXPECT_NEAR(v.x, x, tolerance);
  EXPECT_NEAR(v.y, y, tolerance);
  EXPECT_NEAR(v.z, z, tolerance);
}

TEST(D3DXMatrix, RotationsTurnEachAxisTowardTheNextForPositiveAngles) {
  D3DXMATRIX m;
  // Left-handed: looking along the axis toward the origin, positive angles turn clockwise.
  D3DXMatrixRotationX(&m, kPi / 2);
  ExpectNear(Apply(m, 0, 1, 0), 0, 0, 1);
  ExpectNear(Apply(m, 0, 0, 1), 0, -1, 0);
  D3DXMatrixRotationY(&m, kPi / 2);
  ExpectNear(Apply(m, 0, 0, 1), 1, 0, 0);
  ExpectNear(Apply(m, 1, 0, 0), 0, 0, -1);
  D3DXMatrixRotationZ(&m, kPi / 2);
  ExpectNear(Apply(m, 1, 0, 0), 0, 1, 0);
  ExpectNear(Apply(m, 0, 1, 0), -1, 0, 0);
  // A rotation keeps lengths, and the rotation by -a undoes the one by a.
  D3DXMATRIX back, both;
  D3DXMatrixRotationZ(&m, 0.7f);
  D3DXMatrixRotationZ(&back, -0.7f);
  D3DXMatrixMultiply(&both, &m, &back);
  ExpectNear(Apply(both, 0.3f, -2.0f, 5.0f), 0.3f, -2.0f, 5.0f);
}

TEST(D3DXMatrix, ProductsApplyTheLeftMatrixFirstAndMayWriteOverAnInput) {
  D3DXMATRIX t, s, ts, st;
  D3DXMatrixTranslation(&t, 1, 2, 3);
  D3DXMatrixScaling(&s, 2, 3, 4);
  D3DXMatrixMultiply(&ts, &t, &s);
  ExpectNear(Apply(ts, 1, 1, 1), 4, 9, 16);  // (p + t) * s
  D3DXMatrixMultiply(&st, &s, &t);
  ExpectNear(Apply(st, 1, 1, 1), 3, 5, 7);   // p * s + t
  EXPECT_TRUE(t * s == ts);
  D3DXMATRIX inPlace = t;
  D3DXMatrixMultiply(&inPlace, &inPlace, &s);
  EXPECT_TRUE(inPlace == ts);
  D3DXMatrixMultiply(&inPlace, &s, &inPlace);  // s * (t * s), the output is the right input
  EXPECT_TRUE(inPlace == s * ts);
}

TEST(D3DXMatrix, TransposeSwapsRowsAndColumns) {
  D3DXMATRIX m(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16), t;
  D3DXMatrixTranspose(&t, &m);
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) EXPECT_EQ(t(i, j), m(j, i));
  }
  D3DXMatrixTranspose(&m, &m);
  EXPECT_TRUE(m == t);
}

TEST(D3DXMatrix, PerspectiveMapsNearToZeroFarToOneAndTheFieldOfViewToTheEdges) {
  D3DXMATRIX p;
  const float fov = kPi / 4, aspect = 4.0f / 3.0f, zn = 0.5f, zf = 100.0f;
  D3DXMatrixPerspectiveFovLH(&p, fov, aspect, zn, zf);
  ExpectNear(Apply(p, 0, 0, zn), 0, 0, 0);
  ExpectNear(Apply(p, 0, 0, zf), 0, 0, 1, 1e-4f);
  const float z = 10.0f, half = z * std::tan(fov / 2);
  ExpectNear(Apply(p, 0, half, z), 0, 1, Apply(p, 0, 0, z).z);           // top edge
  ExpectNear(Apply(p, half * aspect, 0, z), 1, 0, Apply(p, 0, 0, z).z);   // right edge
  EXPECT_FLOAT_EQ(p._34, 1.0f);  // clip w is the view depth
  EXPECT_FLOAT_EQ(p._44, 0.0f);
}

TEST(D3DXMatrix, LookAtPutsTheTargetAheadAndRollTurnsThePictureAboutTheViewAxis) {
  D3DXVECTOR3 eye(0, 0, -5), at(0, 0, 0), up(0, 1, 0);
  D3DXMATRIX view;
  D3DXMatrixLookAtLH(&view, &eye, &at, &up);
  ExpectNear(Apply(view, 0, 0, 0), 0, 0, 5);
  ExpectNear(Apply(view, 1, 0, 0), 1, 0, 5);  // right stays right
  ExpectNear(Apply(view, 0, 1, 0), 0, 1, 5);  // up stays up
  // A camera elsewhere: the target is straight ahead at its distance.
  D3DXVECTOR3 eye2(3, 4, 12), at2(-1, 2, 0);
  D3DXMatrixLookAtLH(&view, &eye2, &at2, &up);
  ExpectNear(Apply(view, -1, 2, 0), 0, 0, std::sqrt(16.0f + 4.0f + 144.0f), 1e-4f);
  // The engine's view: look-at times RotationZ(roll) on the right. A roll of 90 degrees
  // shows what was to the right of the target above it.
  D3DXMatrixLookAtLH(&view, &eye, &at, &up);
  D3DXMATRIX roll, rolled;
  D3DXMatrixRotationZ(&roll, 90.0f * 0.017453292f);
  D3DXMatrixMultiply(&rolled, &view, &roll);
  ExpectNear(Apply(rolled, 1, 0, 0), 0, 1, 5);
  ExpectNear(Apply(rolled, 0, 0, 0), 0, 0, 5);
}

TEST(D3DXMatrix, LookAtWithTheEyeOnTheTargetGivesNoNumbersButDoesNotFail) {
  D3DXVECTOR3 zero(0, 0, 0), up(0, 1, 0);
  D3DXMATRIX view;
  EXPECT_EQ(D3DXMatrixLookAtLH(&view, &zero, &zero, &up), &view);
  EXPECT_EQ(view._44, 1.0f);
}

TEST(D3DXFvf, VertexSizesFollowTheElementsOfTheFormat) {
  struct Case {
    DWORD fvf;
    UINT size;
  } cases[] = {
      {D3DFVF_XYZ, 12},
      {D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1, 24},  // the screen-quad vertex
      {D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1, 32},   // a new mesh
      {D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1, 36},
      {D3DFVF_XYZ | D3DFVF_NORMAL, 24},
      {D3DFVF_XYZ | D3DFVF_DIFFUSE, 16},
      {D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR, 24},
      {D3DFVF_XYZB2 | D3DFVF_PSIZE, 24},
      {D3DFVF_XYZ | D3DFVF_TEX2 | D3DFVF_TEXCOORDSIZE3(0) | D3DFVF_TEXCOORDSIZE1(1), 28},
  };
  for (const Case& c : cases) EXPECT_EQ(D3DXGetFVFVertexSize(c.fvf), c.size) << std::hex << c.fvf;
}

}  // namespace
