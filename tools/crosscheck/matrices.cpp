// Row-vector matrices as D3DX 8 builds them (left-handed).
#include <cmath>

#include "crosscheck/scene.h"

namespace zelk4::crosscheck {

D3DMATRIX Identity() {
  D3DMATRIX m{};
  m._11 = m._22 = m._33 = m._44 = 1.0f;
  return m;
}

D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
  D3DMATRIX out{};
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      float s = 0.0f;
      for (int k = 0; k < 4; ++k) s += a.m[i][k] * b.m[k][j];
      out.m[i][j] = s;
    }
  }
  return out;
}

D3DMATRIX PerspectiveFovLH(float fovy, float aspect, float zn, float zf) {
  float ys = 1.0f / std::tan(fovy * 0.5f);
  D3DMATRIX m{};
  m._11 = ys / aspect;
  m._22 = ys;
  m._33 = zf / (zf - zn);
  m._34 = 1.0f;
  m._43 = -zn * zf / (zf - zn);
  return m;
}

D3DMATRIX LookAtLH(float ex, float ey, float ez, float tx, float ty, float tz) {
  auto norm = [](float v[3]) {
    float l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    for (int i = 0; i < 3; ++i) v[i] /= l;
  };
  float z[3] = {tx - ex, ty - ey, tz - ez};
  norm(z);
  float up[3] = {0, 1, 0};
  float x[3] = {up[1] * z[2] - up[2] * z[1], up[2] * z[0] - up[0] * z[2], up[0] * z[1] - up[1] * z[0]};
  norm(x);
  float y[3] = {z[1] * x[2] - z[2] * x[1], z[2] * x[0] - z[0] * x[2], z[0] * x[1] - z[1] * x[0]};
  float e[3] = {ex, ey, ez};
  D3DMATRIX m = Identity();
  for (int r = 0; r < 3; ++r) {
    m.m[r][0] = x[r];
    m.m[r][1] = y[r];
    m.m[r][2] = z[r];
  }
  m._41 = -(x[0] * e[0] + x[1] * e[1] + x[2] * e[2]);
  m._42 = -(y[0] * e[0] + y[1] * e[1] + y[2] * e[2]);
  m._43 = -(z[0] * e[0] + z[1] * e[1] + z[2] * e[2]);
  return m;
}

D3DMATRIX RotationY(float a) {
  D3DMATRIX m = Identity();
  m._11 = std::cos(a);
  m._13 = -std::sin(a);
  m._31 = std::sin(a);
  m._33 = std::cos(a);
  return m;
}

D3DMATRIX RotationX(float a) {
  D3DMATRIX m = Identity();
  m._22 = std::cos(a);
  m._23 = std::sin(a);
  m._32 = -std::sin(a);
  m._33 = std::cos(a);
  return m;
}

D3DMATRIX Translation(float x, float y, float z) {
  D3DMATRIX m = Identity();
  m._41 = x;
  m._42 = y;
  m._43 = z;
  return m;
}

D3DMATRIX Scaling(float x, float y, float z) {
  D3DMATRIX m = Identity();
  m._11 = x;
  m._22 = y;
  m._33 = z;
  return m;
}

}  // namespace zelk4::crosscheck
