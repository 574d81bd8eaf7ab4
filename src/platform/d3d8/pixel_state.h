// Freezes the device's pixel-related state for one draw (private).
#pragma once

#include "platform/d3d8/device_core.h"
#include "platform/d3d8/pipeline.h"

namespace zelk4::d3d8 {

void BuildPixelState(const DeviceCore& core, PixelState* out);

}  // namespace zelk4::d3d8
