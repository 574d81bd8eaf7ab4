// The fast span code's row kernel in four lanes of SSE2, which every x86-64 processor has.
#include "platform/d3d8/span_kernel.h"

namespace d3d8 {

void ShadeRowsSse2(const FastTriangle& ft, const SpanRow* rows, int count) {
  ShadeRowsLanes<4>(ft, rows, count);
}

}  // namespace d3d8
