// The fast span code's kernels in sixteen lanes of AVX-512. This file alone is built with
// AVX-512 (and without fused multiply-adds); it runs only where the processor has it.
#include "platform/d3d8/span_kernel.h"

namespace zelk4::d3d8 {

void ShadeRowsAvx512(const FastTriangle& ft, const SpanRow* rows, int count) { ShadeRowsLanes<16>(ft, rows, count); }

void DepthRowsAvx512(const PixelState& ps, const Triangle& t, const float* planes, const SpanRow* rows, int count,
                     TileBatch* batch) {
  DepthRowsLanes<16>(ps, t, planes, rows, count, batch);
}

void ShadeBatchAvx512(const PixelState* states, TileBatch* batch) { ShadeBatchLanes<16>(states, batch); }

}  // namespace zelk4::d3d8
