// The fast span code: the general per-pixel rules of shade_span.cpp and sampler.cpp, written
// out for at most one texture stage that selects or modulates texture and diffuse, 32-bit
// colour, D24X8 or no depth, no specular and all colour channels written. Every expression
// that produces a value is the same as in the general code, so the pixels are identical
// (the tests draw with both and compare).
#include "platform/d3d8/fast_span.h"

#include <emmintrin.h>

#include <algorithm>
#include <cmath>

#include "platform/d3d8/pixel_math.h"
#include "platform/d3d8/sampler.h"
#include "platform/d3d8/span_lanes.h"

namespace d3d8 {
namespace {

bool g_fastEnabled = true;

bool IsPowerOfTwo(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

// 0: the texture, 1: the diffuse colour (CURRENT is the diffuse colour on stage 0), -1: other.
int ArgKind(DWORD arg) {
  if (arg == D3DTA_TEXTURE) return 0;
  if (arg == D3DTA_DIFFUSE || arg == D3DTA_CURRENT) return 1;
  return -1;
}

// Where an op's result comes from: 0 texture, 1 diffuse, 2 their product, -1 not fast.
int OpSource(DWORD op, DWORD arg1, DWORD arg2) {
  int a = ArgKind(arg1), b = ArgKind(arg2);
  switch (op) {
    case D3DTOP_SELECTARG1: return a;
    case D3DTOP_SELECTARG2: return b;
    case D3DTOP_MODULATE: return (a >= 0 && b >= 0 && a != b) ? 2 : -1;
    default: return -1;
  }
}

// x wrapped into [0, size), as the general sampler's WRAP does.
inline uint32_t WrapIndex(int x, uint32_t size, bool powerOfTwo) {
  if (powerOfTwo) return static_cast<uint32_t>(x) & (size - 1);
  if (static_cast<uint32_t>(x) < size) return static_cast<uint32_t>(x);  // already inside
  int m = x % static_cast<int>(size);
  return static_cast<uint32_t>(m < 0 ? m + static_cast<int>(size) : m);
}

struct Texel {
  const FastSetup& f;

  [[gnu::always_inline]] uint32_t Fetch(const FastLevel& l, int x, int y) const {
    uint32_t ux, uy;
    if (f.wrapU) {
      ux = WrapIndex(x, l.width, l.powerOfTwo);
    } else {
      ux = x < 0 ? 0 : (static_cast<uint32_t>(x) >= l.width ? l.width - 1 : static_cast<uint32_t>(x));
    }
    if (f.wrapV) {
      uy = WrapIndex(y, l.height, l.powerOfTwo);
    } else {
      uy = y < 0 ? 0 : (static_cast<uint32_t>(y) >= l.height ? l.height - 1 : static_cast<uint32_t>(y));
    }
    uint32_t t = l.texels[uy * l.pitchWords + ux];
    return f.opaqueTexels ? (t | 0xFF000000u) : t;
  }

  [[gnu::always_inline]] uint32_t Point(const FastLevel& l, float u, float v) const {
    float fu = SafeCoord(u * static_cast<float>(l.width));
    float fv = SafeCoord(v * static_cast<float>(l.height));
    return Fetch(l, FloorToInt(fu), FloorToInt(fv));
  }

  [[gnu::always_inline]] uint32_t Bilinear(const FastLevel& l, float u, float v) const {
    float fu = SafeCoord(u * static_cast<float>(l.width) - 0.5f);
    float fv = SafeCoord(v * static_cast<float>(l.height) - 0.5f);
    int x0 = FloorToInt(fu), y0 = FloorToInt(fv);
    float flu = static_cast<float>(x0), flv = static_cast<float>(y0);
    uint32_t wu = static_cast<uint32_t>((fu - flu) * 256.0f);
    uint32_t wv = static_cast<uint32_t>((fv - flv) * 256.0f);
    if (wu > 255) wu = 255;
    if (wv > 255) wv = 255;
    return BilinearAt(l, x0, y0, wu, wv);
  }

  // The largest alpha of the four texels BilinearAt blends, when they are all inside the level
  // (256 otherwise). The filtered alpha is a weighted mean of them, never above it.
  [[gnu::always_inline]] uint32_t MaxAlphaAt(const FastLevel& l, int x0, int y0) const {
    if (f.wrapU) x0 = static_cast<int>(WrapIndex(x0, l.width, l.powerOfTwo));
    if (f.wrapV) y0 = static_cast<int>(WrapIndex(y0, l.height, l.powerOfTwo));
    if (!(x0 >= 0 && y0 >= 0 && static_cast<uint32_t>(x0) + 1 < l.width &&
          static_cast<uint32_t>(y0) + 1 < l.height)) {
      return 256;
    }
    const uint32_t* row0 = l.texels + static_cast<uint32_t>(y0) * l.pitchWords + x0;
    const uint32_t* row1 = row0 + l.pitchWords;
    const uint32_t top = std::max(row0[0], row0[1]) >> 24, bottom = std::max(row1[0], row1[1]) >> 24;
    return std::max(top, bottom);
  }

  // The filter from the top-left texel (x0, y0) and the weights, as Bilinear works them out.
  [[gnu::always_inline]] uint32_t BilinearAt(const FastLevel& l, int x0, int y0, uint32_t wu,
                                             uint32_t wv) const {
    // Wrapping first makes every texel pair but the one across the seam a neighbour in memory.
    if (f.wrapU) x0 = static_cast<int>(WrapIndex(x0, l.width, l.powerOfTwo));
    if (f.wrapV) y0 = static_cast<int>(WrapIndex(y0, l.height, l.powerOfTwo));
    if (x0 >= 0 && y0 >= 0 && static_cast<uint32_t>(x0) + 1 < l.width &&
        static_cast<uint32_t>(y0) + 1 < l.height) {
      // All four texels inside: two rows of two neighbours, blended in 16-bit lanes. Each lane
      // holds c0 * (256 - w) + c1 * w + 128 <= 65408, so the result is Lerp8's, bit for bit.
      const uint32_t* row0 = l.texels + static_cast<uint32_t>(y0) * l.pitchWords + x0;
      const uint32_t* row1 = row0 + l.pitchWords;
      const __m128i zero = _mm_setzero_si128();
      __m128i top = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(row0)), zero);
      __m128i bottom = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(row1)), zero);
      if (f.opaqueTexels) {
        const __m128i alpha = _mm_set_epi16(255, 0, 0, 0, 255, 0, 0, 0);
        top = _mm_or_si128(top, alpha);
        bottom = _mm_or_si128(bottom, alpha);
      }
      // Lanes 0-3: the left texel, 4-7: the right one; weights (256 - wu) and wu.
      const __m128i weights = _mm_unpacklo_epi64(_mm_set1_epi16(static_cast<short>(256 - wu)),
                                                 _mm_set1_epi16(static_cast<short>(wu)));
      const __m128i half = _mm_set1_epi16(128);
      __m128i t = _mm_mullo_epi16(top, weights), b = _mm_mullo_epi16(bottom, weights);
      t = _mm_add_epi16(_mm_add_epi16(t, _mm_srli_si128(t, 8)), half);
      b = _mm_add_epi16(_mm_add_epi16(b, _mm_srli_si128(b, 8)), half);
      t = _mm_srli_epi16(t, 8);  // lanes 0-3: the top row blended along u
      b = _mm_srli_epi16(b, 8);
      const __m128i wTop = _mm_set1_epi16(static_cast<short>(256 - wv));
      const __m128i wBottom = _mm_set1_epi16(static_cast<short>(wv));
      __m128i c = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(t, wTop), _mm_mullo_epi16(b, wBottom)), half);
      c = _mm_srli_epi16(c, 8);
      return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(c, zero)));
    }
    uint32_t t00 = Fetch(l, x0, y0), t10 = Fetch(l, x0 + 1, y0);
    uint32_t t01 = Fetch(l, x0, y0 + 1), t11 = Fetch(l, x0 + 1, y0 + 1);
    return Lerp8(Lerp8(t00, t10, wu), Lerp8(t01, t11, wu), wv);
  }

  [[gnu::always_inline]] uint32_t Level(const FastLevel& l, float u, float v, DWORD filter) const {
    return filter == D3DTEXF_POINT || filter == D3DTEXF_NONE ? Point(l, u, v) : Bilinear(l, u, v);
  }

  // The level choice of SampleStage.
  [[gnu::always_inline]] uint32_t Sample(const StageSetup& st, float u, float v, float lod) const {
    const DWORD filter = lod > 0.0f ? st.minFilter : st.magFilter;
    if (st.levelCount <= 1 || !(lod > 0.0f)) return Level(f.levels[0], u, v, filter);
    if (st.mipFilter == D3DTEXF_POINT) {
      int level = lod >= 64.0f ? st.levelCount - 1 : static_cast<int>(lod + 0.5f);
      if (level > st.levelCount - 1) level = st.levelCount - 1;
      return Level(f.levels[level], u, v, filter);
    }
    if (lod >= static_cast<float>(st.levelCount - 1)) {
      return Level(f.levels[st.levelCount - 1], u, v, filter);
    }
    int level = static_cast<int>(lod);
    uint32_t frac = static_cast<uint32_t>((lod - static_cast<float>(level)) * 256.0f);
    uint32_t a = Level(f.levels[level], u, v, filter);
    if (frac == 0) return a;
    return Lerp8(a, Level(f.levels[level + 1], u, v, filter), frac);
  }
};

inline int Channel(uint32_t c, int shift) { return static_cast<int>((c >> shift) & 255); }

inline uint32_t Modulate(uint32_t a, uint32_t b) {
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    out |= static_cast<uint32_t>(Mul255(Channel(a, shift), Channel(b, shift))) << shift;
  }
  return out;
}

inline uint32_t From(int source, uint32_t texel, uint32_t diffuse) {
  return source == 0 ? texel : source == 1 ? diffuse : Modulate(texel, diffuse);
}

// The blend factor for channel `shift` (0 blue .. 24 alpha) of src and dest.
inline int Factor(DWORD blend, int shift, uint32_t s, uint32_t d) {
  switch (blend) {
    case D3DBLEND_ZERO: return 0;
    case D3DBLEND_ONE: return 255;
    case D3DBLEND_SRCCOLOR: return Channel(s, shift);
    case D3DBLEND_INVSRCCOLOR: return 255 - Channel(s, shift);
    case D3DBLEND_SRCALPHA: return Channel(s, 24);
    case D3DBLEND_INVSRCALPHA: return 255 - Channel(s, 24);
    case D3DBLEND_DESTALPHA: return Channel(d, 24);
    case D3DBLEND_INVDESTALPHA: return 255 - Channel(d, 24);
    case D3DBLEND_DESTCOLOR: return Channel(d, shift);
    default: return 255 - Channel(d, shift);  // INVDESTCOLOR
  }
}

constexpr uint32_t kAlphaBlock = 8;  // texels per side of an alpha block

// Each block's largest alpha over texels [8 bx, 8 bx + 8] x [8 by, 8 by + 8] (inside the
// level): every texel the bilinear filter reads from a top-left texel in the block.
void BuildAlphaBlocks(IDirect3DSurface8* s) {
  const uint32_t w = s->width_, h = s->height_;
  const uint32_t perRow = (w + kAlphaBlock - 1) / kAlphaBlock, rows = (h + kAlphaBlock - 1) / kAlphaBlock;
  std::vector<uint8_t> rowMax(static_cast<size_t>(perRow) * h, 0);
  for (uint32_t y = 0; y < h; ++y) {
    const uint32_t* row = reinterpret_cast<const uint32_t*>(s->bits_.data() + static_cast<size_t>(y) * s->pitch_);
    for (uint32_t bx = 0; bx < perRow; ++bx) {
      const uint32_t last = std::min(bx * kAlphaBlock + kAlphaBlock, w - 1);
      uint32_t m = 0;
      for (uint32_t x = bx * kAlphaBlock; x <= last; ++x) m = std::max(m, row[x] >> 24);
      rowMax[static_cast<size_t>(y) * perRow + bx] = static_cast<uint8_t>(m);
    }
  }
  s->alphaBlocks_.assign(static_cast<size_t>(perRow) * rows, 0);
  for (uint32_t by = 0; by < rows; ++by) {
    const uint32_t last = std::min(by * kAlphaBlock + kAlphaBlock, h - 1);
    for (uint32_t y = by * kAlphaBlock; y <= last; ++y) {
      for (uint32_t bx = 0; bx < perRow; ++bx) {
        uint8_t& m = s->alphaBlocks_[static_cast<size_t>(by) * perRow + bx];
        m = std::max(m, rowMax[static_cast<size_t>(y) * perRow + bx]);
      }
    }
  }
  s->alphaBlocksValid_ = true;
}

// The largest alpha the bilinear filter can read for top-left texels in [x0, x1] x [y0, y1]
// when all of them lie inside the level without wrapping (256 otherwise).
inline uint32_t BlockMaxAlpha(const FastSetup& f, int x0, int x1, int y0, int y1, int maxBlocks) {
  const FastLevel& l = f.levels[0];
  if (x0 < 0 || y0 < 0 || static_cast<uint32_t>(x1) + 1 >= l.width || static_cast<uint32_t>(y1) + 1 >= l.height) {
    return 256;
  }
  if (x1 - x0 > maxBlocks * static_cast<int>(kAlphaBlock) || y1 - y0 > maxBlocks * static_cast<int>(kAlphaBlock)) {
    return 256;  // far apart (a strongly shrunk texture): not worth the look
  }
  uint32_t m = 0;
  for (uint32_t by = static_cast<uint32_t>(y0) / kAlphaBlock; by <= static_cast<uint32_t>(y1) / kAlphaBlock; ++by) {
    const uint8_t* row = f.alphaBlocks + static_cast<size_t>(by) * f.alphaBlocksPerRow;
    for (uint32_t bx = static_cast<uint32_t>(x0) / kAlphaBlock; bx <= static_cast<uint32_t>(x1) / kAlphaBlock; ++bx) {
      m = std::max<uint32_t>(m, row[bx]);
    }
  }
  return m;
}

}  // namespace

void SetFastShadingEnabled(bool enabled) { g_fastEnabled = enabled; }

void PrepareFastSetup(PixelState* ps) {
  FastSetup& f = ps->fast;
  f = FastSetup{};
  if (!g_fastEnabled) return;
  const D3DFORMAT target = ps->target->format_;
  if (target != D3DFMT_A8R8G8B8 && target != D3DFMT_X8R8G8B8) return;
  if (ps->depth != nullptr && ps->depth->format_ != D3DFMT_D24X8) return;
  if (ps->colorWriteMask != 0xF || ps->specularAdd || ps->stageCount > 1) return;
  if (ps->blend && (ps->blendOp != D3DBLENDOP_ADD || ps->srcBlend < D3DBLEND_ZERO ||
                    ps->srcBlend > D3DBLEND_INVDESTCOLOR || ps->destBlend < D3DBLEND_ZERO ||
                    ps->destBlend > D3DBLEND_INVDESTCOLOR)) {
    return;
  }
  if (ps->stageCount == 1) {
    const StageSetup& st = ps->stages[0];
    f.colourFrom = OpSource(st.colorOp, st.colorArg1, st.colorArg2);
    f.alphaFrom = st.alphaOp == D3DTOP_DISABLE ? 1 : OpSource(st.alphaOp, st.alphaArg1, st.alphaArg2);
    if (f.colourFrom < 0 || f.alphaFrom < 0) return;
    if (st.hasTexture) {
      if (st.cube != nullptr || st.levelCount > kMaxMipLevels) return;
      if ((st.addressU != D3DTADDRESS_WRAP && st.addressU != D3DTADDRESS_CLAMP) ||
          (st.addressV != D3DTADDRESS_WRAP && st.addressV != D3DTADDRESS_CLAMP)) {
        return;
      }
      f.wrapU = st.addressU == D3DTADDRESS_WRAP;
      f.wrapV = st.addressV == D3DTADDRESS_WRAP;
      const D3DFORMAT format = st.levels[0]->format_;
      if (format != D3DFMT_A8R8G8B8 && format != D3DFMT_X8R8G8B8) return;
      f.opaqueTexels = format == D3DFMT_X8R8G8B8;
      for (int i = 0; i < st.levelCount; ++i) {
        const IDirect3DSurface8& s = *st.levels[i];
        if (s.format_ != format) return;
        f.levels[i] = FastLevel{reinterpret_cast<const uint32_t*>(s.bits_.data()), s.width_,
                                s.height_, static_cast<uint32_t>(s.pitch_ / 4),
                                IsPowerOfTwo(s.width_) && IsPowerOfTwo(s.height_)};
      }
      f.textured = true;
      // An alpha test that needs more than some alpha, on a texture nothing draws into.
      IDirect3DSurface8* top = st.levels[0];
      if (ps->alphaTest && !f.opaqueTexels && f.alphaFrom != 1 &&
          (ps->alphaFunc == D3DCMP_GREATER || ps->alphaFunc == D3DCMP_GREATEREQUAL) &&
          (top->usage_ & D3DUSAGE_RENDERTARGET) == 0 && top->width_ > 1 && top->height_ > 1) {
        if (!top->alphaBlocksValid_) BuildAlphaBlocks(top);
        f.alphaBlocks = top->alphaBlocks_.data();
        f.alphaBlocksPerRow = (top->width_ + kAlphaBlock - 1) / kAlphaBlock;
      }
    } else if (f.colourFrom != 1 || f.alphaFrom != 1) {
      return;  // cannot happen: such ops were turned into CURRENT pass-through
    }
  }
  f.applies = true;
}

namespace {

enum BlendKind { kNoBlend, kAlphaBlend, kAnyBlend };

BlendKind KindOf(const PixelState& ps) {
  if (!ps.blend || (ps.srcBlend == D3DBLEND_ONE && ps.destBlend == D3DBLEND_ZERO)) return kNoBlend;
  if (ps.srcBlend == D3DBLEND_SRCALPHA && ps.destBlend == D3DBLEND_INVSRCALPHA) return kAlphaBlend;
  return kAnyBlend;
}

inline uint32_t BlendAny(const PixelState& ps, uint32_t colour, uint32_t dest) {
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    int c = BlendAdd(Channel(colour, shift), Factor(ps.srcBlend, shift, colour, dest),
                     Channel(dest, shift), Factor(ps.destBlend, shift, colour, dest));
    out |= static_cast<uint32_t>(c) << shift;
  }
  return out;
}

// A span of one constant colour alpha-blended over the target: the overlay veils and flashes.
// Four pixels at a time in 16-bit lanes: s * a + d * (255 - a) <= 255 * 255 and the rounding
// division adds at most 128 + 254, so no lane overflows and each lane is BlendAlphaWord's.
void ConstantAlphaSpan(uint32_t* row, int x0, int x1, uint32_t colour, bool opaqueTarget) {
  const uint32_t a = colour >> 24, ia = 255 - a;
  // Alpha 0 gives round(d * 255 / 255) = d in every channel: nothing changes. (An X8R8G8B8
  // target still has its unused byte written as 255, so it goes the long way.)
  if (a == 0 && !opaqueTarget) return;
  const uint32_t srb = (colour & 0x00FF00FFu) * a, sag = ((colour >> 8) & 0x00FF00FFu) * a;
  const uint32_t destAlpha = opaqueTarget ? 0xFF000000u : 0;
  const __m128i zero = _mm_setzero_si128();
  const __m128i source = _mm_mullo_epi16(
      _mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int>(colour)), zero), _mm_set1_epi16(static_cast<short>(a)));
  const __m128i inverse = _mm_set1_epi16(static_cast<short>(ia));
  const __m128i half = _mm_set1_epi16(128);
  const __m128i alphaBits = _mm_set1_epi32(static_cast<int>(destAlpha));
  auto blend = [&](__m128i d) {
    __m128i v = _mm_add_epi16(_mm_add_epi16(source, _mm_mullo_epi16(d, inverse)), half);
    return _mm_srli_epi16(_mm_add_epi16(v, _mm_srli_epi16(v, 8)), 8);
  };
  int x = x0;
  for (; x + 4 <= x1; x += 4) {
    __m128i* p = reinterpret_cast<__m128i*>(row + x);
    const __m128i d = _mm_or_si128(_mm_loadu_si128(p), alphaBits);
    _mm_storeu_si128(p, _mm_packus_epi16(blend(_mm_unpacklo_epi8(d, zero)), blend(_mm_unpackhi_epi8(d, zero))));
  }
  for (; x < x1; ++x) {
    const uint32_t d = row[x] | destAlpha;
    const uint32_t rb = srb + (d & 0x00FF00FFu) * ia;
    const uint32_t ag = sag + ((d >> 8) & 0x00FF00FFu) * ia;
    row[x] = Div255Lanes(rb) | (Div255Lanes(ag) << 8);
  }
}

template <bool kTextured, bool kDepth, BlendKind kBlend>
void Span(const PixelState& ps, const Triangle& t, const float* planes, int y, int x0, int x1) {
  const FastSetup& f = ps.fast;
  const Texel sampler{f};
  const StageSetup& st = ps.stages[0];
  uint32_t* colourRow = reinterpret_cast<uint32_t*>(ps.target->bits_.data() +
                                                    static_cast<size_t>(y) * ps.target->pitch_);
  const uint32_t destAlpha = ps.target->format_ == D3DFMT_X8R8G8B8 ? 0xFF000000u : 0;
  uint32_t* depthRow = nullptr;
  if (kDepth) {
    depthRow = reinterpret_cast<uint32_t*>(ps.depth->bits_.data() +
                                           static_cast<size_t>(y) * ps.depth->pitch_);
  }
  const uint32_t depthMax = (1u << 24) - 1;
  const bool lessEqual = ps.zFunc == D3DCMP_LESSEQUAL;

  uint32_t flatDiffuse = 0;
  if (t.flatColour) {
    flatDiffuse = (static_cast<uint32_t>(ToByte(t.colour[3])) << 24) |
                  (static_cast<uint32_t>(ToByte(t.colour[0])) << 16) |
                  (static_cast<uint32_t>(ToByte(t.colour[1])) << 8) |
                  static_cast<uint32_t>(ToByte(t.colour[2]));
    if (!kTextured && !kDepth && kBlend == kAlphaBlend && !ps.alphaTest) {
      ConstantAlphaSpan(colourRow, x0, x1, flatDiffuse, destAlpha != 0);
      return;
    }
  }
  // A white diffuse colour leaves a modulated texel as it is (Mul255(x, 255) == x).
  int colourFrom = f.colourFrom, alphaFrom = f.alphaFrom;
  if (t.flatColour && flatDiffuse == 0xFFFFFFFFu) {
    if (colourFrom == 2) colourFrom = 0;
    if (alphaFrom == 2) alphaFrom = 0;
  }

  const float fy = static_cast<float>(y) - t.refY;
  const float fx0 = static_cast<float>(x0) - t.refX;
  // Values at the span's first pixel and steps per pixel, for the planes read here: 1/w, the
  // diffuse colour unless it is flat, the stage's texture coordinates.
  float start[1 + kMaxVaryings], step[1 + kMaxVaryings];
  auto prepare = [&](int i) {
    const float* p = planes + 3 * i;
    start[i] = p[0] + p[1] * fx0 + p[2] * fy;
    step[i] = p[1];
  };
  prepare(0);
  if (!t.flatColour) {
    for (int i = 1; i <= 4; ++i) prepare(i);
  }
  if (kTextured) {
    prepare(1 + st.texSlot);
    prepare(2 + st.texSlot);
  }
  const double zStart = t.z0 + t.zdx * (static_cast<double>(x0) - t.refX) +
                        t.zdy * (static_cast<double>(y) - t.refY);
  const float qConst = planes[0];
  const float wConst = t.affine ? 1.0f / qConst : 0.0f;
  const float* pu = planes + 3 * (1 + st.texSlot);
  const float* pv = pu + 3;
  const float qx = planes[1], qy = planes[2];
  const bool lodPerPixel = kTextured && ps.needsDerivatives;
  const float tw = kTextured ? static_cast<float>(f.levels[0].width) : 0.0f;
  const float th = kTextured ? static_cast<float>(f.levels[0].height) : 0.0f;
  const int k = 1 + st.texSlot;
  // Loop-invariant copies, so the loop keeps them in registers.
  const float q0 = start[0], qStep = step[0];
  const float u0 = kTextured ? start[k] : 0.0f, uStep = kTextured ? step[k] : 0.0f;
  const float v0 = kTextured ? start[k + 1] : 0.0f, vStep = kTextured ? step[k + 1] : 0.0f;
  const float puX = pu[1], puY = pu[2], pvX = pv[1], pvY = pv[2];
  const float lodBias = st.lodBias;
  const bool alphaTest = ps.alphaTest, zWrite = ps.zWrite;
  const DWORD alphaFunc = ps.alphaFunc;
  const uint32_t alphaRef = static_cast<uint32_t>(ps.alphaRef);

  // The arithmetic per pixel is done first, four lanes at a time, for a run of pixels; the
  // tests, sampling and writes follow pixel by pixel.
  constexpr int kRun = 64;
  alignas(16) uint32_t depthRun[kRun];
  alignas(16) float wRun[kRun], uRun[kRun], vRun[kRun], lodRun[kRun];
  // Where every pixel reads the top level through the bilinear filter, its texel positions and
  // weights are worked out with the rest.
  auto bilinear = [](DWORD filter) { return filter != D3DTEXF_POINT && filter != D3DTEXF_NONE; };
  const bool topBilinear =
      kTextured && (lodPerPixel ? st.levelCount <= 1 && bilinear(st.minFilter) && bilinear(st.magFilter)
                                : bilinear(st.magFilter));
  alignas(16) int32_t xRun[kRun], yRun[kRun], wuRun[kRun], wvRun[kRun];
  // The smallest texel alpha that can pass the alpha test when the top level is filtered and the
  // alpha comes from the texture (0: no cut).
  uint32_t alphaCut = 0;
  if (topBilinear && ps.alphaTest && !f.opaqueTexels && alphaFrom != 1) {
    if (ps.alphaFunc == D3DCMP_GREATEREQUAL) alphaCut = static_cast<uint32_t>(ps.alphaRef);
    if (ps.alphaFunc == D3DCMP_GREATER) alphaCut = static_cast<uint32_t>(ps.alphaRef) + 1;
  }
  // Likewise, between two levels under the linear mip filter, for each group of four pixels
  // whose levels of detail all lie strictly between 0 and the last level and share their whole
  // part: that level (-1 where they do not), positions and weights in it and the next one, and
  // the blend weight between them.
  const bool trilinear = kTextured && !topBilinear && lodPerPixel && st.levelCount > 1 &&
                         st.mipFilter != D3DTEXF_POINT && bilinear(st.minFilter);
  const float lastLevel = static_cast<float>(st.levelCount - 1);
  int groupLevel[kRun / 4];
  alignas(16) int32_t x1Run[kRun], y1Run[kRun], wu1Run[kRun], wv1Run[kRun], fracRun[kRun];
  for (int runStart = x0; runStart < x1; runStart += kRun) {
    const int runEnd = x1 - runStart < kRun ? x1 : runStart + kRun;
    const int first = runStart - x0;
    // Pixels still to shade (bit j: pixel runStart + j) and those whose depth test is done.
    uint64_t pending = runEnd - runStart == 64 ? ~uint64_t{0} : (uint64_t{1} << (runEnd - runStart)) - 1;
    uint64_t tested = 0;
    // With the same 1/w all over the triangle, each step along the row moves the texture
    // coordinates one way only (every rounding keeps the order), so the run's texel positions
    // lie between those of its end pixels: a run whose blocks all have too little alpha is
    // left out at once.
    if (alphaCut != 0 && f.alphaBlocks != nullptr && t.affine) {
      const float a = static_cast<float>(first), b = static_cast<float>(first + (runEnd - runStart) - 1);
      const __m128 ends = _mm_setr_ps(a, b, a, b), w = _mm_set1_ps(wConst);
      const __m128 u = _mm_mul_ps(_mm_add_ps(_mm_set1_ps(u0), _mm_mul_ps(_mm_set1_ps(uStep), ends)), w);
      const __m128 v = _mm_mul_ps(_mm_add_ps(_mm_set1_ps(v0), _mm_mul_ps(_mm_set1_ps(vStep), ends)), w);
      __m128i position, weight;
      alignas(16) int32_t xs[4], ys[4];
      BilinearLanes(u, tw, &position, &weight);
      _mm_store_si128(reinterpret_cast<__m128i*>(xs), position);
      BilinearLanes(v, th, &position, &weight);
      _mm_store_si128(reinterpret_cast<__m128i*>(ys), position);
      if (BlockMaxAlpha(f, std::min(xs[0], xs[1]), std::max(xs[0], xs[1]), std::min(ys[0], ys[1]),
                        std::max(ys[0], ys[1]), 16) < alphaCut) {
        continue;
      }
    }
    for (int j = 0; j < runEnd - runStart; j += 4) {
      const __m128i index = _mm_add_epi32(_mm_set1_epi32(first + j), _mm_setr_epi32(0, 1, 2, 3));
      const __m128 fi = _mm_cvtepi32_ps(index);
      if (kDepth) {
        const __m128i depth = QuantizeDepthLanes(zStart, t.zdx, first + j, depthMax);
        _mm_store_si128(reinterpret_cast<__m128i*>(depthRun + j), depth);
        if (lessEqual && runStart + j + 4 <= runEnd) {
          // The depth test for four pixels inside the span (stored depths are below 2^24, so
          // the signed comparison is the unsigned one).
          const __m128i stored =
              _mm_srli_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(depthRow + runStart + j)), 8);
          const uint64_t failed = static_cast<uint64_t>(
              _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpgt_epi32(depth, stored))));
          tested |= uint64_t{15} << j;
          pending &= ~(failed << j);
        }
      }
      const __m128 w = t.affine ? _mm_set1_ps(wConst)
                                : _mm_div_ps(_mm_set1_ps(1.0f),
                                             _mm_add_ps(_mm_set1_ps(q0), _mm_mul_ps(_mm_set1_ps(qStep), fi)));
      _mm_store_ps(wRun + j, w);
      if (kTextured) {
        const __m128 u = _mm_mul_ps(_mm_add_ps(_mm_set1_ps(u0), _mm_mul_ps(_mm_set1_ps(uStep), fi)), w);
        const __m128 v = _mm_mul_ps(_mm_add_ps(_mm_set1_ps(v0), _mm_mul_ps(_mm_set1_ps(vStep), fi)), w);
        _mm_store_ps(uRun + j, u);
        _mm_store_ps(vRun + j, v);
        if (topBilinear) {
          __m128i position, weight;
          BilinearLanes(u, tw, &position, &weight);
          _mm_store_si128(reinterpret_cast<__m128i*>(xRun + j), position);
          _mm_store_si128(reinterpret_cast<__m128i*>(wuRun + j), weight);
          BilinearLanes(v, th, &position, &weight);
          _mm_store_si128(reinterpret_cast<__m128i*>(yRun + j), position);
          _mm_store_si128(reinterpret_cast<__m128i*>(wvRun + j), weight);
          // Four pixels whose texels all have too little alpha are left out together (lanes
          // past the span only widen the area looked at).
          if (alphaCut != 0 && f.alphaBlocks != nullptr) {
            const int* xs = xRun + j;
            const int* ys = yRun + j;
            const int xMin = std::min(std::min(xs[0], xs[1]), std::min(xs[2], xs[3]));
            const int xMax = std::max(std::max(xs[0], xs[1]), std::max(xs[2], xs[3]));
            const int yMin = std::min(std::min(ys[0], ys[1]), std::min(ys[2], ys[3]));
            const int yMax = std::max(std::max(ys[0], ys[1]), std::max(ys[2], ys[3]));
            if (BlockMaxAlpha(f, xMin, xMax, yMin, yMax, 4) < alphaCut) pending &= ~(uint64_t{15} << j);
          }
        }
        if (lodPerPixel) {
          const __m128 tw4 = _mm_set1_ps(tw), th4 = _mm_set1_ps(th);
          const __m128 qx4 = _mm_set1_ps(qx), qy4 = _mm_set1_ps(qy);
          auto d = [&](float p, __m128 c, __m128 q, __m128 size) {
            return _mm_mul_ps(_mm_mul_ps(_mm_sub_ps(_mm_set1_ps(p), _mm_mul_ps(c, q)), w), size);
          };
          const __m128 dudx = d(puX, u, qx4, tw4), dudy = d(puY, u, qy4, tw4);
          const __m128 dvdx = d(pvX, v, qx4, th4), dvdy = d(pvY, v, qy4, th4);
          const __m128 rx = _mm_add_ps(_mm_mul_ps(dudx, dudx), _mm_mul_ps(dvdx, dvdx));
          const __m128 ry = _mm_add_ps(_mm_mul_ps(dudy, dudy), _mm_mul_ps(dvdy, dvdy));
          // max_ps(rx, ry) is rx > ry ? rx : ry, NaN included.
          const __m128 lod = _mm_add_ps(_mm_mul_ps(_mm_set1_ps(0.5f), FastLog2Lanes(_mm_max_ps(rx, ry))),
                                        _mm_set1_ps(lodBias));
          _mm_store_ps(lodRun + j, lod);
          if (trilinear) {
            const __m128i level = _mm_cvttps_epi32(lod);
            const __m128i same = _mm_cmpeq_epi32(level, _mm_shuffle_epi32(level, 0));
            const __m128 between =
                _mm_and_ps(_mm_cmpgt_ps(lod, _mm_setzero_ps()), _mm_cmplt_ps(lod, _mm_set1_ps(lastLevel)));
            groupLevel[j / 4] = -1;
            if (_mm_movemask_ps(_mm_and_ps(between, _mm_castsi128_ps(same))) == 15) {
              const int l = _mm_cvtsi128_si32(level);
              groupLevel[j / 4] = l;
              _mm_store_si128(reinterpret_cast<__m128i*>(fracRun + j),
                              _mm_cvttps_epi32(_mm_mul_ps(_mm_sub_ps(lod, _mm_cvtepi32_ps(level)),
                                                          _mm_set1_ps(256.0f))));
              const FastLevel& near = f.levels[l];
              const FastLevel& far = f.levels[l + 1];
              __m128i position, weight;
              BilinearLanes(u, static_cast<float>(near.width), &position, &weight);
              _mm_store_si128(reinterpret_cast<__m128i*>(xRun + j), position);
              _mm_store_si128(reinterpret_cast<__m128i*>(wuRun + j), weight);
              BilinearLanes(v, static_cast<float>(near.height), &position, &weight);
              _mm_store_si128(reinterpret_cast<__m128i*>(yRun + j), position);
              _mm_store_si128(reinterpret_cast<__m128i*>(wvRun + j), weight);
              BilinearLanes(u, static_cast<float>(far.width), &position, &weight);
              _mm_store_si128(reinterpret_cast<__m128i*>(x1Run + j), position);
              _mm_store_si128(reinterpret_cast<__m128i*>(wu1Run + j), weight);
              BilinearLanes(v, static_cast<float>(far.height), &position, &weight);
              _mm_store_si128(reinterpret_cast<__m128i*>(y1Run + j), position);
              _mm_store_si128(reinterpret_cast<__m128i*>(wv1Run + j), weight);
            }
          }
        }
      }
    }
    while (pending != 0) {
      const int j = __builtin_ctzll(pending);
      pending &= pending - 1;
      const int x = runStart + j;
      uint32_t depthValue = 0;
      if (kDepth) {
        depthValue = depthRun[j];
        if (!((tested >> j) & 1)) {
          const uint32_t stored = depthRow[x] >> 8;
          if (lessEqual ? depthValue > stored : !Compare(ps.zFunc, depthValue, stored)) continue;
        }
      }
      const float w = wRun[j];
      uint32_t diffuse = flatDiffuse;
      if (!t.flatColour) {
        const float i = static_cast<float>(x - x0);
        diffuse = (static_cast<uint32_t>(ToByte((start[4] + step[4] * i) * w)) << 24) |
                  (static_cast<uint32_t>(ToByte((start[1] + step[1] * i) * w)) << 16) |
                  (static_cast<uint32_t>(ToByte((start[2] + step[2] * i) * w)) << 8) |
                  static_cast<uint32_t>(ToByte((start[3] + step[3] * i) * w));
      }
      uint32_t colour = diffuse;
      if (kTextured) {
        uint32_t texel;
        // Under an alpha test that needs more than the texels' largest alpha, the pixel is
        // left out without filtering (a modulated alpha is never above the texel's).
        if (alphaCut != 0 && sampler.MaxAlphaAt(f.levels[0], xRun[j], yRun[j]) < alphaCut) continue;
        if (topBilinear) {
          texel = sampler.BilinearAt(f.levels[0], xRun[j], yRun[j], static_cast<uint32_t>(wuRun[j]),
                                     static_cast<uint32_t>(wvRun[j]));
        } else if (trilinear && groupLevel[j / 4] >= 0) {
          const int l = groupLevel[j / 4];
          texel = sampler.BilinearAt(f.levels[l], xRun[j], yRun[j], static_cast<uint32_t>(wuRun[j]),
                                     static_cast<uint32_t>(wvRun[j]));
          const uint32_t frac = static_cast<uint32_t>(fracRun[j]);
          if (frac != 0) {
            texel = Lerp8(texel, sampler.BilinearAt(f.levels[l + 1], x1Run[j], y1Run[j],
                                                    static_cast<uint32_t>(wu1Run[j]),
                                                    static_cast<uint32_t>(wv1Run[j])),
                          frac);
          }
        } else {
          texel = sampler.Sample(st, uRun[j], vRun[j], lodPerPixel ? lodRun[j] : 0.0f);
        }
        if (colourFrom == alphaFrom) {
          colour = From(colourFrom, texel, diffuse);
        } else {
          colour = (From(colourFrom, texel, diffuse) & 0x00FFFFFFu) |
                   (From(alphaFrom, texel, diffuse) & 0xFF000000u);
        }
      }
      if (alphaTest && !Compare(alphaFunc, colour >> 24, alphaRef)) continue;
      if (kDepth && zWrite) depthRow[x] = (depthValue << 8) | 0xFFu;
      if (kBlend == kAlphaBlend) {
        colour = BlendAlphaWord(colour, colourRow[x] | destAlpha, colour >> 24);
      } else if (kBlend == kAnyBlend) {
        colour = BlendAny(ps, colour, colourRow[x] | destAlpha);
      }
      colourRow[x] = colour;
    }
  }
}

template <bool kTextured, bool kDepth>
void SpanByBlend(const PixelState& ps, const Triangle& t, const float* planes, int y, int x0,
                 int x1) {
  switch (KindOf(ps)) {
    case kNoBlend: Span<kTextured, kDepth, kNoBlend>(ps, t, planes, y, x0, x1); break;
    case kAlphaBlend: Span<kTextured, kDepth, kAlphaBlend>(ps, t, planes, y, x0, x1); break;
    default: Span<kTextured, kDepth, kAnyBlend>(ps, t, planes, y, x0, x1); break;
  }
}

}  // namespace

void ShadeSpanFast(const PixelState& ps, const Triangle& t, const float* planes, int y, int x0,
                   int x1) {
  const bool depth = ps.depth != nullptr;
  if (ps.fast.textured) {
    depth ? SpanByBlend<true, true>(ps, t, planes, y, x0, x1)
          : SpanByBlend<true, false>(ps, t, planes, y, x0, x1);
  } else {
    depth ? SpanByBlend<false, true>(ps, t, planes, y, x0, x1)
          : SpanByBlend<false, false>(ps, t, planes, y, x0, x1);
  }
}

}  // namespace d3d8
