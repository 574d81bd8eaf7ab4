// D3DXGetFVFVertexSize: position (12, 16 for XYZRHW, 12 + 4n for n blend weights), normal 12,
// point size, diffuse and specular 4 each, then every texture set by its TEXCOORDSIZE field.
#include "platform/d3dx/d3dx8.h"

UINT D3DXGetFVFVertexSize(DWORD FVF) {
  UINT size = 0;
  switch (FVF & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ: size = 12; break;
    case D3DFVF_XYZRHW: size = 16; break;
    case D3DFVF_XYZB1: size = 16; break;
    case D3DFVF_XYZB2: size = 20; break;
    case D3DFVF_XYZB3: size = 24; break;
    case D3DFVF_XYZB4: size = 28; break;
    case D3DFVF_XYZB5: size = 32; break;
    default: break;
  }
  if (FVF & D3DFVF_NORMAL) size += 12;
  if (FVF & D3DFVF_PSIZE) size += 4;
  if (FVF & D3DFVF_DIFFUSE) size += 4;
  if (FVF & D3DFVF_SPECULAR) size += 4;
  UINT sets = (FVF & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
  for (UINT i = 0; i < sets && i < 8; ++i) {
    static constexpr UINT kFloats[4] = {2, 3, 4, 1};  // the field's values 0, 1, 2, 3
    size += 4 * kFloats[(FVF >> (16 + 2 * i)) & 3];
  }
  return size;
}
