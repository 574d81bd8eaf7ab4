// Texture sampling (private): addressing, point and bilinear filters, mip level choice.
// Texels come back as 0xAARRGGBB; formats without alpha read alpha 255.
#pragma once

#include "platform/d3d8/pipeline.h"

namespace d3d8 {

// Samples the stage's texture at (u, v) (or direction (u, v, w) for a cube map). lod is
// log2 of texels per pixel along the steeper screen axis plus the stage's bias; lod <= 0
// magnifies.
uint32_t SampleStage(const StageSetup& stage, const float* coords, float lod);

// Base-2 logarithm by the exponent and a fixed polynomial of the mantissa: the same bits on
// every machine (error below 0.01).
float FastLog2(float x);

}  // namespace d3d8
