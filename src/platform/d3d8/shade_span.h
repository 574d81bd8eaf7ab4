// The per-pixel work for one row of one triangle, and clears (private).
#pragma once

#include "platform/d3d8/pipeline.h"
#include "platform/d3d8/triangle.h"

namespace zelk4::d3d8 {

// Shades one row of a triangle: depth test, texture stages, alpha test, depth write,
// blending, colour write.
void ShadeSpan(const PixelState& state, const Triangle& triangle, const float* planes,
               const SpanRow& row);

// Fills [x0, x1) of row y of a colour surface with an 0xAARRGGBB colour, or of a depth surface
// with a depth in [0, 1].
void ClearColourRow(IDirect3DSurface8* target, int y, int x0, int x1, D3DCOLOR colour);
void ClearDepthRow(IDirect3DSurface8* depth, int y, int x0, int x1, float z);

}  // namespace zelk4::d3d8
