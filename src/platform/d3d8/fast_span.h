// The fast span code (private): the same per-pixel results as ShadeSpan for the common
// configurations (at most one texture stage selecting or modulating texture and diffuse,
// 32-bit colour and depth, no specular, no colour mask), without its general dispatch.
#pragma once

#include "platform/d3d8/pipeline.h"
#include "platform/d3d8/triangle.h"

namespace d3d8 {

// Fills state->fast: whether the fast code applies, and what it needs.
void PrepareFastSetup(PixelState* state);

// Shades rows of one triangle, all inside one tile.
void ShadeRowsFast(const PixelState& state, const Triangle& triangle, const float* planes,
                   const SpanRow* rows, int count);

// Tests turn the fast code off, or its eight-lane kernel (AVX2), to check that every way
// gives the same pixels.
void SetFastShadingEnabled(bool enabled);
void SetWideLanesEnabled(bool enabled);

}  // namespace d3d8
