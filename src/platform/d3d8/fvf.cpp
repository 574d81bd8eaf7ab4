// Flexible vertex formats: element offsets in the order Direct3D lays them out (position,
// blend weights, normal, point size, diffuse, specular, texture coordinate sets).
#include "platform/d3d8/pipeline.h"

namespace zelk4::d3d8 {

FvfLayout DecodeFvf(DWORD fvf) {
  FvfLayout layout;
  int offset = 0;
  switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ: offset = 12; break;
    case D3DFVF_XYZRHW: offset = 16; layout.pretransformed = true; break;
    case D3DFVF_XYZB1: offset = 16; break;
    case D3DFVF_XYZB2: offset = 20; break;
    case D3DFVF_XYZB3: offset = 24; break;
    case D3DFVF_XYZB4: offset = 28; break;
    case D3DFVF_XYZB5: offset = 32; break;
    default: return layout;  // no position: not drawable
  }
  if (fvf & D3DFVF_NORMAL) { layout.normalOffset = offset; offset += 12; }
  if (fvf & D3DFVF_PSIZE) { layout.pointSizeOffset = offset; offset += 4; }
  if (fvf & D3DFVF_DIFFUSE) { layout.diffuseOffset = offset; offset += 4; }
  if (fvf & D3DFVF_SPECULAR) { layout.specularOffset = offset; offset += 4; }
  int count = static_cast<int>((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT);
  if (count > 8) return layout;
  layout.texCount = count;
  for (int i = 0; i < count; ++i) {
    static constexpr int kDims[4] = {2, 3, 4, 1};  // D3DFVF_TEXCOORDSIZEn field values
    int dims = kDims[(fvf >> (16 + 2 * i)) & 3];
    layout.texOffset[i] = offset;
    layout.texDims[i] = dims;
    offset += 4 * dims;
  }
  layout.stride = static_cast<UINT>(offset);
  layout.valid = true;
  return layout;
}

}  // namespace zelk4::d3d8
