// Texture sampling (private): addressing, point and bilinear filters, mip level choice.
// Texels come back as 0xAARRGGBB; formats without alpha read alpha 255.
#pragma once

#include "platform/d3d8/pipeline.h"
#include "platform/d3d8/pixel_math.h"

namespace zelk4::d3d8 {

// Samples the stage's texture at (u, v) (or direction (u, v, w) for a cube map). lod is
// log2 of texels per pixel along the steeper screen axis plus the stage's bias; lod <= 0
// magnifies.
uint32_t SampleStage(const StageSetup& stage, const float* coords, float lod);


}  // namespace zelk4::d3d8
