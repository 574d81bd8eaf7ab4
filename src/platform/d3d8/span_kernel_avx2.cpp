// The fast span code's row kernel in eight lanes of AVX2. This file alone is built with AVX2
// (and without fused multiply-adds); it runs only where the processor has AVX2.
#include "platform/d3d8/span_kernel.h"

namespace zelk4::d3d8 {

void ShadeRowsAvx2(const FastTriangle& ft, const SpanRow* rows, int count) { ShadeRowsLanes<8>(ft, rows, count); }

void DepthRowsAvx2(const PixelState& ps, const Triangle& t, const float* planes, const SpanRow* rows, int count,
                   TileBatch* batch) {
  DepthRowsLanes<8>(ps, t, planes, rows, count, batch);
}

void ShadeBatchAvx2(const PixelState* states, TileBatch* batch) { ShadeBatchLanes<8>(states, batch); }

}  // namespace zelk4::d3d8
