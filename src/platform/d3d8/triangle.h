// A triangle as the rasterizer queues it (private): snapped screen vertices in clockwise order
// and plane equations for depth, 1/w and the varyings (premultiplied by 1/w).
#pragma once

#include <cstdint>

namespace d3d8 {

constexpr int kSubPixelBits = 8;  // screen positions are snapped to 1/256 pixel
constexpr int kSubPixel = 1 << kSubPixelBits;

struct Triangle {
  int32_t x[3], y[3];  // 24.8 fixed point, clockwise on screen (y down)
  int yMin, yMax;      // rows to walk, inclusive, already inside the clip rectangle
  uint32_t state;      // index of its PixelState
  uint32_t planes;     // offset of its planes: 3 floats (at reference, d/dx, d/dy) per plane:
                       // 1/w first, then each varying times 1/w
  float refX, refY;    // the planes' reference point (vertex 0)
  double z0, zdx, zdy;  // screen depth plane
  bool affine;          // 1/w is the same at all three vertices: no per-pixel divide
  bool flatColour;      // diffuse and specular are the same at all three vertices
  float colour[8];      // then: diffuse and specular, 0..255
};

}  // namespace d3d8
