// Texel addressing and filtering. Rules (fixed, so every machine agrees):
// - Coordinates scale by the level's size; texel i covers [i, i+1), so point sampling takes
//   floor(u * width) and bilinear sampling centres on u * width - 0.5.
// - Bilinear weights are 8-bit fractions (truncated); the two rows are each blended along u,
//   then the results along v, each blend rounding as Lerp8 does.
// - Level choice: POINT mip takes level floor(lod + 0.5); LINEAR mip blends floor(lod) and
//   the next level by an 8-bit fraction of lod; lod <= 0 uses the most detailed level.
#include "platform/d3d8/sampler.h"

#include "platform/d3d8/pixel_math.h"

#include <cmath>
#include <cstring>

namespace zelk4::d3d8 {
namespace {

uint32_t Widen565(uint16_t p) {
  uint32_t r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31;
  return 0xFF000000u | (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) |
         ((b << 3) | (b >> 2));
}

uint32_t Texel(const IDirect3DSurface8& s, int x, int y) {
  const uint8_t* row = s.bits_.data() + static_cast<size_t>(y) * s.pitch_;
  switch (s.format_) {
    case D3DFMT_A8R8G8B8: {
      uint32_t t;
      std::memcpy(&t, row + 4 * x, 4);
      return t;
    }
    case D3DFMT_X8R8G8B8: {
      uint32_t t;
      std::memcpy(&t, row + 4 * x, 4);
      return t | 0xFF000000u;
    }
    case D3DFMT_R5G6B5: {
      uint16_t t;
      std::memcpy(&t, row + 2 * x, 2);
      return Widen565(t);
    }
    default:
      return 0xFF000000u;
  }
}

// Maps a texel index into [0, size); false for BORDER outside the texture.
bool Address(DWORD mode, int size, int* i) {
  int v = *i;
  if (v >= 0 && v < size) return true;
  switch (mode) {
    case D3DTADDRESS_CLAMP:
      *i = v < 0 ? 0 : size - 1;
      return true;
    case D3DTADDRESS_BORDER:
      return false;
    case D3DTADDRESS_MIRROR: {
      int period = 2 * size;
      int m = v % period;
      if (m < 0) m += period;
      *i = m < size ? m : period - 1 - m;
      return true;
    }
    case D3DTADDRESS_MIRRORONCE: {
      int m = v < 0 ? -v - 1 : v;
      *i = m < size ? m : size - 1;
      return true;
    }
    default: {  // WRAP
      int m = v % size;
      *i = m < 0 ? m + size : m;
      return true;
    }
  }
}

uint32_t Fetch(const StageSetup& st, const IDirect3DSurface8& s, int x, int y) {
  if (!Address(st.addressU, static_cast<int>(s.width_), &x)) return st.borderColor;
  if (!Address(st.addressV, static_cast<int>(s.height_), &y)) return st.borderColor;
  return Texel(s, x, y);
}

uint32_t SamplePoint(const StageSetup& st, const IDirect3DSurface8& s, float u, float v) {
  float fu = SafeCoord(u * static_cast<float>(s.width_));
  float fv = SafeCoord(v * static_cast<float>(s.height_));
  return Fetch(st, s, FloorToInt(fu), FloorToInt(fv));
}

uint32_t SampleBilinear(const StageSetup& st, const IDirect3DSurface8& s, float u, float v) {
  float fu = SafeCoord(u * static_cast<float>(s.width_) - 0.5f);
  float fv = SafeCoord(v * static_cast<float>(s.height_) - 0.5f);
  int x0 = FloorToInt(fu), y0 = FloorToInt(fv);
  float flu = static_cast<float>(x0), flv = static_cast<float>(y0);
  uint32_t wu = static_cast<uint32_t>((fu - flu) * 256.0f);
  uint32_t wv = static_cast<uint32_t>((fv - flv) * 256.0f);
  if (wu > 255) wu = 255;
  if (wv > 255) wv = 255;
  uint32_t t00 = Fetch(st, s, x0, y0), t10 = Fetch(st, s, x0 + 1, y0);
  uint32_t t01 = Fetch(st, s, x0, y0 + 1), t11 = Fetch(st, s, x0 + 1, y0 + 1);
  return Lerp8(Lerp8(t00, t10, wu), Lerp8(t01, t11, wu), wv);
}

uint32_t SampleLevel(const StageSetup& st, const IDirect3DSurface8& s, float u, float v,
                     DWORD filter) {
  return filter == D3DTEXF_POINT || filter == D3DTEXF_NONE ? SamplePoint(st, s, u, v)
                                                           : SampleBilinear(st, s, u, v);
}

// Cube maps: the face of the largest component, then (s, t) on it.
uint32_t SampleCube(const StageSetup& st, const float* c, float lod) {
  float x = c[0], y = c[1], z = c[2];
  float ax = std::fabs(x), ay = std::fabs(y), az = std::fabs(z);
  int face;
  float sc, tc, ma;
  if (ax >= ay && ax >= az) {
    face = x >= 0 ? 0 : 1;
    ma = ax;
    sc = x >= 0 ? -z : z;
    tc = -y;
  } else if (ay >= az) {
    face = y >= 0 ? 2 : 3;
    ma = ay;
    sc = x;
    tc = y >= 0 ? z : -z;
  } else {
    face = z >= 0 ? 4 : 5;
    ma = az;
    sc = z >= 0 ? x : -x;
    tc = -y;
  }
  if (!(ma > 0.0f)) return 0;
  float s = (sc / ma + 1.0f) * 0.5f, t = (tc / ma + 1.0f) * 0.5f;
  const auto& levels = st.cube->faces_[face];
  int first = static_cast<int>(levels.size()) - st.levelCount;
  int level = first;
  if (st.levelCount > 1 && lod > 0.0f) {
    int l = static_cast<int>(lod + 0.5f);
    level = first + (l < st.levelCount ? l : st.levelCount - 1);
  }
  StageSetup clamped = st;
  clamped.addressU = clamped.addressV = D3DTADDRESS_CLAMP;
  return SampleLevel(clamped, *levels[level], s, t, lod > 0.0f ? st.minFilter : st.magFilter);
}

}  // namespace

uint32_t SampleStage(const StageSetup& st, const float* coords, float lod) {
  if (st.cube != nullptr) return SampleCube(st, coords, lod);
  const float u = coords[0], v = coords[1];
  const DWORD filter = lod > 0.0f ? st.minFilter : st.magFilter;
  if (st.levelCount <= 1 || !(lod > 0.0f)) return SampleLevel(st, *st.levels[0], u, v, filter);
  if (st.mipFilter == D3DTEXF_POINT) {
    int level = lod >= 64.0f ? st.levelCount - 1 : static_cast<int>(lod + 0.5f);
    if (level > st.levelCount - 1) level = st.levelCount - 1;
    return SampleLevel(st, *st.levels[level], u, v, filter);
  }
  // LINEAR between the two nearest levels.
  if (lod >= static_cast<float>(st.levelCount - 1)) {
    return SampleLevel(st, *st.levels[st.levelCount - 1], u, v, filter);
  }
  int level = static_cast<int>(lod);
  uint32_t f = static_cast<uint32_t>((lod - static_cast<float>(level)) * 256.0f);
  uint32_t a = SampleLevel(st, *st.levels[level], u, v, filter);
  if (f == 0) return a;
  uint32_t b = SampleLevel(st, *st.levels[level + 1], u, v, filter);
  return Lerp8(a, b, f);
}

}  // namespace zelk4::d3d8
