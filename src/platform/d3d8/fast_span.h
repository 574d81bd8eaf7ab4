// The fast span code (private): the same per-pixel results as ShadeSpan for the common
// configurations (at most one texture stage selecting or modulating texture and diffuse,
// 32-bit colour and depth, no specular, no colour mask), without its general dispatch.
#pragma once

#include <cstdint>

#include "platform/d3d8/pipeline.h"
#include "platform/d3d8/triangle.h"

namespace zelk4::d3d8 {

// Fills state->fast: whether the fast code applies, and what it needs.
void PrepareFastSetup(PixelState* state);

struct TileBatch;

// Shades rows of one triangle, all inside one tile.
void ShadeRowsFast(const PixelState& state, const Triangle& triangle, const float* planes,
                   const SpanRow* rows, int count);

// For a state.fast.deferred draw: tests and writes the depth of rows of one triangle and
// notes the winners in the tile's batch; ShadeBatchFast then shades them (before anything
// else is drawn in the tile), with `states` the queue's pixel states.
void DepthRowsFast(const PixelState& state, const Triangle& triangle, const float* planes, const SpanRow* rows,
                   int count, TileBatch* batch);
void ShadeBatchFast(const PixelState* states, TileBatch* batch);

// Tests turn the fast code off, its wider kernels (eight lanes of AVX2 and sixteen of
// AVX-512), or its deferred shading, to check that every way gives the same pixels.
void SetFastShadingEnabled(bool enabled);
void SetWideLanesEnabled(bool enabled);
void SetWidestLanesEnabled(bool enabled);  // the sixteen-lane kernel (AVX-512), with wide lanes on
void SetDeferredShadingEnabled(bool enabled);

}  // namespace zelk4::d3d8
