// The fast span code's private records and kernels (see fast_span.h for when the fast code
// applies). The kernels are built three times: for SSE2, which every x86-64 processor has, in
// four lanes, for AVX2 in eight and for AVX-512 in sixteen, chosen at run time. All give the
// same bits.
//
// Triangles are drawn in one of two ways:
// - forward: each row is shaded as it is walked (depth test, texture, alpha test, blend);
// - deferred, for draws whose pixels simply replace what is under them when they pass the
//   depth test (no blend, no alpha test): the rows only test and write depth and note, per
//   pixel, which triangle won and where its row starts (TileBatch); when something else comes
//   to the tile, or its bin ends, the winners are shaded, N neighbouring pixels at a time
//   whichever triangles they come from. The last triangle to pass the depth test at a pixel is
//   the one whose colour stays, so both ways leave the same pixels; the deferred way shades
//   each pixel once, with every lane busy.
#pragma once

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "platform/d3d8/pipeline.h"
#include "platform/d3d8/triangle.h"

namespace zelk4::d3d8 {

constexpr int kTilePixels = 64;  // tiles are 64 x 64 pixels

// One triangle of a forward draw, as its rows are shaded.
struct FastTriangle {
  const PixelState* ps;
  const Triangle* t;
  const float* planes;
  ColourSource colourFrom, alphaFrom;  // a white diffuse colour is dropped from a product
  uint32_t alphaCut;  // texels below this alpha fail the alpha test (0: no cut)
};

// The deferred draws of one tile since the last shading: per pixel the triangle that passed
// the depth test last there, and the first pixel that triangle covers on the pixel's row.
struct TileBatch {
  static constexpr uint32_t kNone = ~0u;
  // One record per triangle with a winner, holding all its pixels need: the pixel state, the
  // triangle's flags, and its planes (value at the reference point, d/dx, d/dy) of 1/w, the
  // texture coordinates and the diffuse channels times 1/w. Kept field by field, so that lanes
  // read one field for several records at once; neighbouring pixels' records mostly lie close
  // together, where the lanes read them from a window of the field's array instead of
  // gathering them.
  enum Field {
    kState, kFlags, kWConst, kFlatDiffuse, kRefX, kRefY,
    kQ, kU = kQ + 3, kV = kU + 3, kDiffuse = kV + 3,  // three each: at the reference, d/dx, d/dy
    kFieldCount = kDiffuse + 4 * 3
  };
  // Words readable past the last record of each field, for the widest window.
  static constexpr uint32_t kSlack = 32;
  int x0 = 0, y0 = 0;  // the tile's first pixel
  int rowFirst = kTilePixels, rowLast = -1;  // rows with a winner, relative to y0
  alignas(64) uint32_t winner[kTilePixels * kTilePixels];  // record index, or kNone
  alignas(64) int32_t xBase[kTilePixels * kTilePixels];    // where the winner's row starts
  // The records, kept by hand: the AVX2 kernel uses no library container, whose out-of-line
  // code built for AVX2 could stand in for the other builds' (see span_kernel.h).
  uint32_t* fields[kFieldCount] = {};
  uint32_t recordCount = 0, recordCapacity = 0;

  TileBatch() { std::fill(std::begin(winner), std::end(winner), kNone); }
  ~TileBatch() {
    for (uint32_t* field : fields) delete[] field;
  }
  TileBatch(const TileBatch&) = delete;
  TileBatch& operator=(const TileBatch&) = delete;
  bool Empty() const { return rowLast < rowFirst; }
};

// Makes room for at least one more record (fast_span.cpp).
void GrowRecords(TileBatch* batch);

// Per-pixel fallbacks shared by both kernels (fast_span.cpp).
// The stage's texture at (u, v) with the general level choice.
uint32_t SampleTexel(const PixelState& ps, float u, float v, float lod);
// The bilinear filter from top-left texel (x0, y0) of `level` with 8-bit weights.
uint32_t BilinearTexel(const PixelState& ps, int level, int x0, int y0, uint32_t wu, uint32_t wv);
// The texel point sampling takes at texel (x, y) of `level`, addressed as the stage says.
uint32_t PointTexel(const PixelState& ps, int level, int x, int y);
// The largest alpha of the top level's texels the bilinear filter reads from top-left texels
// in [x0, x1] x [y0, y1] (256 when that is not known cheaply).
uint32_t BlockMaxAlpha(const FastSetup& f, int x0, int x1, int y0, int y1, int maxBlocks);
// Blends with any factors of the fast code's set.
uint32_t BlendAny(const PixelState& ps, uint32_t colour, uint32_t dest);

// The kernels. Forward: rows of one triangle, all in one tile. Deferred: the depth pass of
// rows of one triangle, and the shading of a tile's batch.
void ShadeRowsSse2(const FastTriangle& ft, const SpanRow* rows, int count);
void ShadeRowsAvx2(const FastTriangle& ft, const SpanRow* rows, int count);
void ShadeRowsAvx512(const FastTriangle& ft, const SpanRow* rows, int count);
void DepthRowsSse2(const PixelState& ps, const Triangle& t, const float* planes, const SpanRow* rows, int count,
                   TileBatch* batch);
void DepthRowsAvx2(const PixelState& ps, const Triangle& t, const float* planes, const SpanRow* rows, int count,
                   TileBatch* batch);
void DepthRowsAvx512(const PixelState& ps, const Triangle& t, const float* planes, const SpanRow* rows, int count,
                     TileBatch* batch);
void ShadeBatchSse2(const PixelState* states, TileBatch* batch);
void ShadeBatchAvx2(const PixelState* states, TileBatch* batch);
void ShadeBatchAvx512(const PixelState* states, TileBatch* batch);

}  // namespace zelk4::d3d8
