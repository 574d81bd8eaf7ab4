// The vertex stage (private): flexible-vertex-format fetch, world/view/projection transform,
// lighting and texture coordinates, producing clip-space vertices with their varyings.
#pragma once

#include "platform/d3d8/device_core.h"
#include "platform/d3d8/pipeline.h"

namespace zelk4::d3d8 {

// Transforms count vertices starting at src (stride bytes apart). The caller has checked that
// every vertex lies inside its buffer.
void ProcessVertices(const DeviceState& state, const FvfLayout& layout, const PixelState& pixels,
                     const uint8_t* src, UINT stride, size_t count, ClipVertex* out);

}  // namespace zelk4::d3d8
