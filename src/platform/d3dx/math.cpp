// D3DX vector and matrix functions with the SDK's published definitions: row vectors (a point
// is the row (x, y, z, 1) times the matrix), left-handed coordinates, and A times B applying A
// first. Every function computes into a local first, so the output may be one of the inputs.
#include <cmath>

#include "platform/d3dx/d3dx8.h"

D3DXMATRIX::D3DXMATRIX(const float* values) : D3DMATRIX{} {
  for (int i = 0; i < 16; ++i) m[i / 4][i % 4] = values[i];
}

D3DXMATRIX::D3DXMATRIX(float f11, float f12, float f13, float f14, float f21, float f22,
                       float f23, float f24, float f31, float f32, float f33, float f34,
                       float f41, float f42, float f43, float f44)
    : D3DMATRIX{} {
  _11 = f11; _12 = f12; _13 = f13; _14 = f14;
  _21 = f21; _22 = f22; _23 = f23; _24 = f24;
  _31 = f31; _32 = f32; _33 = f33; _34 = f34;
  _41 = f41; _42 = f42; _43 = f43; _44 = f44;
}

D3DXMATRIX& D3DXMATRIX::operator*=(const D3DXMATRIX& mat) {
  D3DXMatrixMultiply(this, this, &mat);
  return *this;
}

D3DXMATRIX D3DXMATRIX::operator*(const D3DXMATRIX& mat) const {
  D3DXMATRIX out;
  D3DXMatrixMultiply(&out, this, &mat);
  return out;
}

bool D3DXMATRIX::operator==(const D3DXMATRIX& mat) const {
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      if (m[i][j] != mat.m[i][j]) return false;
    }
  }
  return true;
}

float D3DXVec3Length(const D3DXVECTOR3* pV) {
  return std::sqrt(pV->x * pV->x + pV->y * pV->y + pV->z * pV->z);
}

float D3DXVec3Dot(const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2) {
  return pV1->x * pV2->x + pV1->y * pV2->y + pV1->z * pV2->z;
}

D3DXVECTOR3* D3DXVec3Cross(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2) {
  D3DXVECTOR3 v(pV1->y * pV2->z - pV1->z * pV2->y, pV1->z * pV2->x - pV1->x * pV2->z,
                pV1->x * pV2->y - pV1->y * pV2->x);
  *pOut = v;
  return pOut;
}

// A zero vector stays zero (D3DX's behaviour), rather than becoming NaNs.
D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV) {
  float length = D3DXVec3Length(pV);
  if (length == 0.0f) {
    *pOut = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
  } else {
    *pOut = D3DXVECTOR3(pV->x / length, pV->y / length, pV->z / length);
  }
  return pOut;
}

D3DXVECTOR3* D3DXVec3Subtract(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV1,
                              const D3DXVECTOR3* pV2) {
  *pOut = D3DXVECTOR3(pV1->x - pV2->x, pV1->y - pV2->y, pV1->z - pV2->z);
  return pOut;
}

D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV,
                                    const D3DXMATRIX* pM) {
  const float x = pV->x, y = pV->y, z = pV->z;
  float w = x * pM->_14 + y * pM->_24 + z * pM->_34 + pM->_44;
  D3DXVECTOR3 v(x * pM->_11 + y * pM->_21 + z * pM->_31 + pM->_41,
                x * pM->_12 + y * pM->_22 + z * pM->_32 + pM->_42,
                x * pM->_13 + y * pM->_23 + z * pM->_33 + pM->_43);
  *pOut = w != 0.0f ? v / w : v;
  return pOut;
}

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* pOut) {
  *pOut = D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
  return pOut;
}

D3DXMATRIX* D3DXMatrixRotationX(D3DXMATRIX* pOut, float Angle) {
  float c = std::cos(Angle), s = std::sin(Angle);
  *pOut = D3DXMATRIX(1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1);
  return pOut;
}

D3DXMATRIX* D3DXMatrixRotationY(D3DXMATRIX* pOut, float Angle) {
  float c = std::cos(Angle), s = std::sin(Angle);
  *pOut = D3DXMATRIX(c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1);
  return pOut;
}

D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* pOut, float Angle) {
  float c = std::cos(Angle), s = std::sin(Angle);
  *pOut = D3DXMATRIX(c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
  return pOut;
}

D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* pOut, float x, float y, float z) {
  *pOut = D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1);
  return pOut;
}

D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* pOut, float sx, float sy, float sz) {
  *pOut = D3DXMATRIX(sx, 0, 0, 0, 0, sy, 0, 0, 0, 0, sz, 0, 0, 0, 0, 1);
  return pOut;
}

D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* pOut, const D3DXMATRIX* pM1, const D3DXMATRIX* pM2) {
  D3DXMATRIX out;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      out.m[i][j] = pM1->m[i][0] * pM2->m[0][j] + pM1->m[i][1] * pM2->m[1][j] +
                    pM1->m[i][2] * pM2->m[2][j] + pM1->m[i][3] * pM2->m[3][j];
    }
  }
  *pOut = out;
  return pOut;
}

D3DXMATRIX* D3DXMatrixTranspose(D3DXMATRIX* pOut, const D3DXMATRIX* pM) {
  D3DXMATRIX out;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) out.m[i][j] = pM->m[j][i];
  }
  *pOut = out;
  return pOut;
}

D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* pOut, float fovy, float Aspect, float zn,
                                       float zf) {
  float h = 1.0f / std::tan(fovy / 2.0f);  // cot(fovy / 2)
  float w = h / Aspect;
  float depth = zf / (zf - zn);
  *pOut = D3DXMATRIX(w, 0, 0, 0, 0, h, 0, 0, 0, 0, depth, 1, 0, 0, -zn * depth, 0);
  return pOut;
}

D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* pOut, const D3DXVECTOR3* pEye, const D3DXVECTOR3* pAt,
                               const D3DXVECTOR3* pUp) {
  D3DXVECTOR3 zaxis, xaxis, yaxis, forward = *pAt - *pEye, side;
  D3DXVec3Normalize(&zaxis, &forward);
  D3DXVec3Cross(&side, pUp, &zaxis);
  D3DXVec3Normalize(&xaxis, &side);
  D3DXVec3Cross(&yaxis, &zaxis, &xaxis);
  *pOut = D3DXMATRIX(xaxis.x, yaxis.x, zaxis.x, 0, xaxis.y, yaxis.y, zaxis.y, 0, xaxis.z, yaxis.z,
                     zaxis.z, 0, -D3DXVec3Dot(&xaxis, pEye), -D3DXVec3Dot(&yaxis, pEye),
                     -D3DXVec3Dot(&zaxis, pEye), 1);
  return pOut;
}
