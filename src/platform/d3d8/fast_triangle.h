// What the fast span code works out once per triangle before it shades the triangle's rows
// (private), and the row kernels that read it: one built for SSE2, which every x86-64
// processor has, and one for AVX2, chosen at run time. Both give the same bits.
#pragma once

#include <cstdint>

#include "platform/d3d8/pipeline.h"
#include "platform/d3d8/triangle.h"

namespace d3d8 {

struct FastTriangle {
  const PixelState* ps;
  const FastSetup* fast;
  const StageSetup* stage;
  const Triangle* t;
  const float* planes;

  ColourSource colourFrom, alphaFrom;  // a white diffuse colour is dropped from a product
  uint32_t flatDiffuse;                // the diffuse colour when the triangle's is flat

  // Plane rows (value at the reference point, d/dx, d/dy) the rows read.
  const float* q;         // 1/w
  const float* diffuse;   // r, g, b, a times 1/w, one row each
  const float* u;         // texture coordinates times 1/w
  const float* v;
  float wConst;           // w of an affine triangle
  uint32_t alphaCut;      // texels below this alpha fail the alpha test (0: no cut)

  // Targets.
  uint8_t* colourBits;
  size_t colourPitch;
  uint8_t* depthBits;
  size_t depthPitch;
};

// Per-pixel fallbacks shared by both kernels (fast_span.cpp).
// The stage's texture at (u, v) with the general level choice.
uint32_t SampleTexel(const FastTriangle& ft, float u, float v, float lod);
// The bilinear filter from top-left texel (x0, y0) of `level` with 8-bit weights.
uint32_t BilinearTexel(const FastTriangle& ft, int level, int x0, int y0, uint32_t wu, uint32_t wv);
// The texel point sampling takes at texel (x, y) of `level`, addressed as the stage says.
uint32_t PointTexel(const FastTriangle& ft, int level, int x, int y);
// The largest alpha of the top level's texels the bilinear filter reads from top-left texels
// in [x0, x1] x [y0, y1] (256 when that is not known cheaply).
uint32_t BlockMaxAlpha(const FastSetup& f, int x0, int x1, int y0, int y1, int maxBlocks);
// Blends with any factors of the fast code's set.
uint32_t BlendAny(const PixelState& ps, uint32_t colour, uint32_t dest);

// The row kernels: rows of one triangle, all in one tile.
void ShadeRowsSse2(const FastTriangle& ft, const SpanRow* rows, int count);
void ShadeRowsAvx2(const FastTriangle& ft, const SpanRow* rows, int count);

}  // namespace d3d8
