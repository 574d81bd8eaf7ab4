// The fast span code's row kernel in four lanes of SSE2, which every x86-64 processor has.
#include "platform/d3d8/span_kernel.h"

namespace zelk4::d3d8 {

void ShadeRowsSse2(const FastTriangle& ft, const SpanRow* rows, int count) { ShadeRowsLanes<4>(ft, rows, count); }

void DepthRowsSse2(const PixelState& ps, const Triangle& t, const float* planes, const SpanRow* rows, int count,
                   TileBatch* batch) {
  DepthRowsLanes<4>(ps, t, planes, rows, count, batch);
}

void ShadeBatchSse2(const PixelState* states, TileBatch* batch) { ShadeBatchLanes<4>(states, batch); }

}  // namespace zelk4::d3d8
