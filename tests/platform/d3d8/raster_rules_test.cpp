// Where triangles land: fill rule, shared edges, culling, full-viewport geometry, perspective
// and clipping against the near plane and the sides.
#include <cmath>
#include <cstdint>

#include <gtest/gtest.h>

#include "test_device.h"

namespace {

using zelk4::d3d8::test::ScreenVertex;
using zelk4::d3d8::test::TestDevice;
using zelk4::d3d8::test::WorldVertex;
using zelk4::test::Picture;
using zelk4::test::PicturesMatch;

constexpr D3DCOLOR kOne = 0x01010101;  // one coverage count per channel under ONE/ONE blending

void CountCoverage(TestDevice& d) {
  d->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
  d->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
  d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  d->SetRenderState(D3DRS_LIGHTING, FALSE);
  d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
}

// Twice the signed area of (a, b, p), coordinates in tenths of a pixel (exact integers).
int64_t Cross10(int64_t ax, int64_t ay, int64_t bx, int64_t by, int64_t px, int64_t py) {
  return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
}

TEST(D3D8Raster, TwoTrianglesSharingAnEdgeCoverEachPixelOfTheirUnionOnce) {
  TestDevice d(64, 40);
  CountCoverage(d);
  // Quad A B C D (tenths of a pixel); the shared edge A-C runs through the pixel centres
  // (2, 2), (4, 3) ... (50, 26).
  const int64_t q[4][2] = {{10, 15}, {403, 37}, {510, 265}, {106, 302}};
  auto v = [&](int i) {
    return ScreenVertex{q[i][0] / 10.0f, q[i][1] / 10.0f, 0.5f, 1.0f, kOne, 0, 0};
  };
  d.DrawScreen({v(0), v(1), v(2), v(0), v(2), v(3)});
  Picture expected(64, 40, 0);
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 64; ++x) {
      bool inside = true;
      for (int e = 0; e < 4; ++e) {
        int64_t c = Cross10(q[e][0], q[e][1], q[(e + 1) % 4][0], q[(e + 1) % 4][1], x * 10, y * 10);
        ASSERT_NE(c, 0) << "the outer edges were chosen to miss every pixel centre";
        if (c < 0) inside = false;
      }
      if (inside) expected.at(x, y) = kOne;
    }
  }
  EXPECT_TRUE(PicturesMatch("shared_edge", expected, d.Frame()));
}

TEST(D3D8Raster, FullViewportQuadCoversEveryPixelOnce) {
  for (unsigned threads : {1u, 2u, 3u}) {
    TestDevice d(40, 30, D3DFMT_A8R8G8B8, D3DFMT_D24X8, threads);
    CountCoverage(d);
    d.DrawWorld({{-1, 1, 0.5f, kOne, 0, 0}, {1, 1, 0.5f, kOne, 1, 0}, {-1, -1, 0.5f, kOne, 0, 1},
                 {1, 1, 0.5f, kOne, 1, 0}, {1, -1, 0.5f, kOne, 1, 1}, {-1, -1, 0.5f, kOne, 0, 1}});
    EXPECT_TRUE(PicturesMatch("full_quad", Picture(40, 30, kOne), d.Frame()));
  }
}

TEST(D3D8Raster, PixelCentresAreAtIntegersWithTheTopLeftRule) {
  TestDevice d(8, 8);
  CountCoverage(d);
  d.DrawRect(0, 0, 4, 4, 0.5f, kOne);        // centres 0..3: the right and bottom edges at 4 stay out
  d.DrawRect(4.5f, 0.5f, 6.5f, 2.5f, 0.5f, kOne);  // centres 5..6 by 1..2
  Picture expected(8, 8, 0);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) expected.at(x, y) = kOne;
  for (int y = 1; y <= 2; ++y)
    for (int x = 5; x <= 6; ++x) expected.at(x, y) = kOne;
  EXPECT_TRUE(PicturesMatch("top_left", expected, d.Frame()));
}

TEST(D3D8Raster, CullModesKeepTheFacingTheyName) {
  // Clockwise on screen (y down) is front-facing under the default CCW culling.
  const std::vector<ScreenVertex> clockwise = {{1, 1, 0.5f, 1, kOne, 0, 0},
                                               {7, 1, 0.5f, 1, kOne, 0, 0},
                                               {1, 7, 0.5f, 1, kOne, 0, 0}};
  const std::vector<ScreenVertex> counter = {clockwise[0], clockwise[2], clockwise[1]};
  struct Case {
    DWORD mode;
    bool drawsClockwise, drawsCounter;
  } cases[] = {{D3DCULL_CCW, true, false}, {D3DCULL_CW, false, true}, {D3DCULL_NONE, true, true}};
  for (const Case& c : cases) {
    TestDevice d(8, 8);
    CountCoverage(d);
    d->SetRenderState(D3DRS_CULLMODE, c.mode);
    d.DrawScreen(clockwise);
    uint32_t afterClockwise = d.Frame().at(2, 2);
    d.DrawScreen(counter);
    uint32_t afterBoth = d.Frame().at(2, 2);
    EXPECT_EQ(afterClockwise, c.drawsClockwise ? kOne : 0u) << "cull mode " << c.mode;
    EXPECT_EQ(afterBoth - afterClockwise, c.drawsCounter ? kOne : 0u) << "cull mode " << c.mode;
  }
  TestDevice d(8, 8);
  DWORD cull = 0;
  d->GetRenderState(D3DRS_CULLMODE, &cull);
  EXPECT_EQ(cull, static_cast<DWORD>(D3DCULL_CCW));
}

// The left-handed projection of a 90 degree field of view, aspect 1, near 1, far 100.
D3DMATRIX Projection() {
  D3DMATRIX p{};
  const float q = 100.0f / 99.0f;
  p._11 = 1;
  p._22 = 1;
  p._33 = q;
  p._34 = 1;
  p._43 = -q;
  return p;
}

// Ray-casts pixel (x, y) of a size x size target onto the floor y = -1 of the camera above.
// Returns false when the ray misses the floor (at or above the horizon).
bool FloorPoint(int x, int y, int size, double* fx, double* fz) {
  double nx = 2.0 * x / size - 1.0, ny = 1.0 - 2.0 * y / size;
  if (ny >= 0) return false;
  double t = -1.0 / ny;
  *fx = nx * t;
  *fz = t;
  return true;
}

bool NearInteger(double v) { return std::fabs(v - std::round(v)) < 0.03; }

TEST(D3D8Raster, PerspectiveCheckerboardLandsWhereTheProjectionPutsIt) {
  const int size = 64;
  TestDevice d(size, size);
  d->SetRenderState(D3DRS_LIGHTING, FALSE);
  d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  D3DMATRIX projection = Projection();
  d->SetTransform(D3DTS_PROJECTION, &projection);
  std::vector<std::vector<uint32_t>> checker(1, std::vector<uint32_t>(64));
  for (int i = 0; i < 64; ++i) checker[0][i] = ((i % 8 + i / 8) & 1) ? 0xFFFFFFFFu : 0xFF000000u;
  IDirect3DTexture8* texture = d.MakeTexture(8, 8, checker);
  d->SetTexture(0, texture);
  d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF0000FFu, 1.0f, 0);
  // A floor from x -4..4 and z 1.5..20; u runs with x, v with z. The near corners lie far
  // outside the viewport at the sides.
  const D3DCOLOR white = 0xFFFFFFFF;
  d.DrawWorld({{-4, -1, 1.5f, white, 0, 0}, {4, -1, 1.5f, white, 1, 0}, {-4, -1, 20, white, 0, 1},
               {4, -1, 1.5f, white, 1, 0}, {4, -1, 20, white, 1, 1}, {-4, -1, 20, white, 0, 1}});
  Picture actual = d.Frame();
  Picture expected(size, size, 0xFF0000FFu);
  int checked = 0;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      double fx, fz;
      if (!FloorPoint(x, y, size, &fx, &fz)) continue;
      double tu = fx + 4.0, tv = (fz - 1.5) * 8.0 / 18.5;  // in texels
      bool onFloor = fx > -4 && fx < 4 && fz > 1.5 && fz < 20;
      // Centres too close to a texel or floor boundary may fall either way.
      if (NearInteger(tu) || NearInteger(tv) || std::fabs(fz - 20) < 0.5) {
        expected.at(x, y) = actual.at(x, y);
        continue;
      }
      if (onFloor) {
        ++checked;
        int texel = (static_cast<int>(tu) + static_cast<int>(tv)) & 1;
        expected.at(x, y) = texel ? 0xFFFFFFFFu : 0xFF000000u;
      }
    }
  }
  EXPECT_GT(checked, 800);
  EXPECT_TRUE(PicturesMatch("perspective_checker", expected, actual));
  texture->Release();
}

TEST(D3D8Raster, TriangleCrossingTheNearPlaneDrawsOnlyItsVisiblePart) {
  const int size = 64;
  TestDevice d(size, size);
  d->SetRenderState(D3DRS_LIGHTING, FALSE);
  d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  D3DMATRIX projection = Projection();
  d->SetTransform(D3DTS_PROJECTION, &projection);
  d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  const D3DCOLOR red = 0xFFFF0000;
  // On the floor, apex behind the eye (z = -1), base at z = 5.
  d.DrawWorld({{0, -1, -1, red, 0, 0}, {-1, -1, 5, red, 0, 0}, {1, -1, 5, red, 0, 0}});
  // Wholly behind the eye: nothing.
  d.DrawWorld({{0, 1, -3, red, 0, 0}, {-1, 1, -2, red, 0, 0}, {1, 1, -2, red, 0, 0}});
  Picture actual = d.Frame();
  Picture expected(size, size, 0);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      double fx, fz;
      if (!FloorPoint(x, y, size, &fx, &fz)) continue;
      // Inside the triangle apex (0, -1), base (+-1, 5) in the x-z plane, in front of z = 1.
      double halfWidth = (fz + 1.0) / 6.0;
      double margin = std::fabs(std::fabs(fx) - halfWidth);
      if (margin < 0.01 || std::fabs(fz - 5) < 0.05) {
        expected.at(x, y) = actual.at(x, y);
      } else if (std::fabs(fx) < halfWidth && fz < 5) {
        expected.at(x, y) = red;
      }
    }
  }
  EXPECT_EQ(actual.at(32, 63), red);
  EXPECT_TRUE(PicturesMatch("near_plane", expected, actual));
}

TEST(D3D8Raster, HugeAndDegenerateCoordinatesDrawNothingWrongAndDoNotCrash) {
  TestDevice d(16, 16);
  CountCoverage(d);
  const float inf = INFINITY, nan = NAN;
  d.DrawWorld({{nan, 0, 0.5f, kOne, 0, 0}, {1, 1, 0.5f, kOne, 0, 0}, {-1, 1, 0.5f, kOne, 0, 0}});
  d.DrawWorld({{inf, 0, 0.5f, kOne, 0, 0}, {1, 1, 0.5f, kOne, 0, 0}, {-1, 1, 0.5f, kOne, 0, 0}});
  d.DrawWorld({{0, 0, 0.5f, kOne, 0, 0}, {0, 0, 0.5f, kOne, 0, 0}, {0, 0, 0.5f, kOne, 0, 0}});
  // A huge triangle clipped by the guard band still covers the whole viewport exactly once.
  d.DrawWorld({{-1e6f, -1e6f, 0.5f, kOne, 0, 0}, {1e6f, -1e6f, 0.5f, kOne, 0, 0},
               {0, 1e6f, 0.5f, kOne, 0, 0}});
  Picture frame = d.Frame();
  EXPECT_TRUE(PicturesMatch("huge", Picture(16, 16, kOne), frame));
}

}  // namespace
