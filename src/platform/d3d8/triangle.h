// A triangle as the rasterizer queues it (private): snapped screen vertices in clockwise order
// and plane equations for depth, 1/w and the varyings (premultiplied by 1/w).
#pragma once

#include <cstdint>

namespace zelk4::d3d8 {

constexpr int kSubPixelBits = 8;  // screen positions are snapped to 1/256 pixel
constexpr int kSubPixel = 1 << kSubPixelBits;

// floor(n / d) for d > 0 and |n|, d below 2^50. The quotient in double is within one of the
// true one; the integer checks make it exact (cheaper than a 64-bit division).
inline int64_t FloorDiv(int64_t n, int64_t d) {
  int64_t q = static_cast<int64_t>(static_cast<double>(n) / static_cast<double>(d));
  while (q * d > n) --q;
  while ((q + 1) * d <= n) ++q;
  return q;
}

// One edge of a triangle, walked row by row. For each edge the pixel centres X with
// E(X, Y) >= t lie on one side of X = floor((b(Y) - t) / d) (d = 256 |dy|, b the edge
// function's part that does not depend on X, t = 0 for top and left edges and 1 otherwise, so
// a centre exactly on a right or bottom edge is left out). floor((b - t) / d) is stepped row
// to row exactly with a quotient and a remainder, so no division is made per row.
struct EdgeStepper {
  int64_t q, r, d, qStep, rStep;
  bool left;  // bounds X from below (X >= -q) rather than from above (X <= q)
  bool flat;  // horizontal: a whole row is in or out, by the sign of n = b - t

  // The edge from (x0, y0) to (x1, y1) (24.8 fixed point) at pixel row `row`.
  void Init(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int row) {
    const int64_t dx = static_cast<int64_t>(x1) - x0, dy = static_cast<int64_t>(y1) - y0;
    const bool topLeft = dy < 0 || (dy == 0 && dx > 0);
    const int64_t t = topLeft ? 0 : 1;
    const int64_t b = dx * (static_cast<int64_t>(row) * kSubPixel - y0) + dy * x0;
    flat = dy == 0;
    left = dy < 0;
    const int64_t n = b - t;
    if (flat) {
      q = n;
      qStep = dx * kSubPixel;
      r = d = rStep = 0;
      return;
    }
    d = (dy < 0 ? -dy : dy) * kSubPixel;
    q = FloorDiv(n, d);
    r = n - q * d;
    const int64_t inc = dx * kSubPixel;
    qStep = FloorDiv(inc, d);
    rStep = inc - qStep * d;
  }

  bool RowInside() const { return !flat || q >= 0; }

  // k rows on at once: the same q and r as k calls of NextRow.
  void SkipRows(int64_t k) {
    q += k * qStep;
    if (flat) return;
    const int64_t carried = r + k * rStep;  // below (k + 1) d
    const int64_t whole = carried / d;
    q += whole;
    r = carried - whole * d;
  }

  void NextRow() {
    q += qStep;
    if (flat) return;
    r += rStep;
    if (r >= d) {
      ++q;
      r -= d;
    }
  }
};

constexpr uint32_t kAffine = 1, kFlatColour = 2;  // Triangle::flags

struct Triangle {
  int32_t x[3], y[3];  // 24.8 fixed point, clockwise on screen (y down)
  int yMin, yMax;      // rows to walk, inclusive, already inside the clip rectangle
  int xMin, xMax;      // columns that can hold one of its pixel centres, inside it too
  EdgeStepper edges[3];  // edge i runs from vertex i to vertex i + 1, set up at row yMin
  uint32_t state;      // index of its PixelState
  uint32_t planes;     // offset of its planes: 3 floats (at reference, d/dx, d/dy) per plane:
                       // 1/w first, then each varying times 1/w
  float refX, refY;    // the planes' reference point (vertex 0)
  double z0, zdx, zdy;  // screen depth plane
  bool affine;          // 1/w is the same at all three vertices: no per-pixel divide
  bool flatColour;      // diffuse and specular are the same at all three vertices
  float wConst;         // when affine: w, the reciprocal of the 1/w plane's value
  uint32_t flatDiffuse;  // when the colour is flat: the diffuse colour as 0xAARRGGBB
  uint32_t flags;        // kAffine and kFlatColour as bits, for lanes that read them together
  float colour[8];      // then: diffuse and specular, 0..255
};

// One row of a triangle to shade: pixels [x0, x1) of row y. Values are interpolated from
// xBase, the first pixel the triangle covers on that row inside the clip rectangle, so they do
// not depend on where the row is cut into pieces.
struct SpanRow {
  int y;
  int xBase;
  int x0, x1;
};

}  // namespace zelk4::d3d8
