// The fast span code: the general per-pixel rules of shade_span.cpp and sampler.cpp, written
// out for at most one texture stage that selects or modulates texture and diffuse, 32-bit
// colour, D24X8 or no depth, no specular and all colour channels written. Every expression
// that produces a value is the same as in the general code, so the pixels are identical
// (the tests draw with both and compare). This file decides when the fast code applies,
// works out what a triangle's rows share, and picks the row kernel (span_kernel.h); it also
// holds the per-pixel fallbacks the kernels call for what they do not do in lanes.
#include "platform/d3d8/fast_span.h"


#include <algorithm>
#include <optional>

#include "platform/d3d8/fast_triangle.h"
#include "platform/d3d8/pixel_math.h"

namespace zelk4::d3d8 {
namespace {

bool g_fastEnabled = true;
bool g_wideLanesEnabled = true;
bool g_widestLanesEnabled = true;
bool g_deferEnabled = true;

bool IsPowerOfTwo(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

// What a stage argument names on stage 0 (CURRENT is the diffuse colour there).
std::optional<ColourSource> ArgSource(DWORD arg) {
  if (arg == D3DTA_TEXTURE) return ColourSource::kTexture;
  if (arg == D3DTA_DIFFUSE || arg == D3DTA_CURRENT) return ColourSource::kDiffuse;
  return std::nullopt;
}

// Where an op's result comes from, if the fast code can make it.
std::optional<ColourSource> OpSource(DWORD op, DWORD arg1, DWORD arg2) {
  const std::optional<ColourSource> a = ArgSource(arg1), b = ArgSource(arg2);
  switch (op) {
    case D3DTOP_SELECTARG1: return a;
    case D3DTOP_SELECTARG2: return b;
    case D3DTOP_MODULATE:
      if (a && b && *a != *b) return ColourSource::kProduct;
      return std::nullopt;
    default: return std::nullopt;
  }
}

// x wrapped into [0, size), as the general sampler's WRAP does.
inline uint32_t WrapIndex(int x, uint32_t size, bool powerOfTwo) {
  if (powerOfTwo) return static_cast<uint32_t>(x) & (size - 1);
  if (static_cast<uint32_t>(x) < size) return static_cast<uint32_t>(x);  // already inside
  int m = x % static_cast<int>(size);
  return static_cast<uint32_t>(m < 0 ? m + static_cast<int>(size) : m);
}

inline uint32_t Fetch(const FastSetup& f, const FastLevel& l, int x, int y) {
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

inline uint32_t BilinearAt(const FastSetup& f, const FastLevel& l, int x0, int y0, uint32_t wu, uint32_t wv) {
  const uint32_t t00 = Fetch(f, l, x0, y0), t10 = Fetch(f, l, x0 + 1, y0);
  const uint32_t t01 = Fetch(f, l, x0, y0 + 1), t11 = Fetch(f, l, x0 + 1, y0 + 1);
  return Lerp8(Lerp8(t00, t10, wu), Lerp8(t01, t11, wu), wv);
}

uint32_t LevelTexel(const FastSetup& f, const FastLevel& l, float u, float v, DWORD filter) {
  if (filter == D3DTEXF_POINT || filter == D3DTEXF_NONE) {
    const float fu = SafeCoord(u * static_cast<float>(l.width));
    const float fv = SafeCoord(v * static_cast<float>(l.height));
    return Fetch(f, l, FloorToInt(fu), FloorToInt(fv));
  }
  const float fu = SafeCoord(u * static_cast<float>(l.width) - 0.5f);
  const float fv = SafeCoord(v * static_cast<float>(l.height) - 0.5f);
  const int x0 = FloorToInt(fu), y0 = FloorToInt(fv);
  uint32_t wu = static_cast<uint32_t>((fu - static_cast<float>(x0)) * 256.0f);
  uint32_t wv = static_cast<uint32_t>((fv - static_cast<float>(y0)) * 256.0f);
  if (wu > 255) wu = 255;
  if (wv > 255) wv = 255;
  return BilinearAt(f, l, x0, y0, wu, wv);
}

bool Bilinear(DWORD filter) { return filter != D3DTEXF_POINT && filter != D3DTEXF_NONE; }

inline int Channel(uint32_t c, int shift) { return static_cast<int>((c >> shift) & 255); }

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

}  // namespace

// Only when all of the top-left texels lie inside the level without wrapping.
uint32_t BlockMaxAlpha(const FastSetup& f, int x0, int x1, int y0, int y1, int maxBlocks) {
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

namespace {

BlendKind KindOf(const PixelState& ps) {
  if (!ps.blend || (ps.srcBlend == D3DBLEND_ONE && ps.destBlend == D3DBLEND_ZERO)) return BlendKind::kNone;
  if (ps.srcBlend == D3DBLEND_SRCALPHA && ps.destBlend == D3DBLEND_INVSRCALPHA) return BlendKind::kAlpha;
  return BlendKind::kAny;
}

// How many lanes the kernels run in: 16 where the processor has AVX-512 (with the byte and
// word, and double word and quad word instructions), else 8 where it has AVX2, else 4.
int LaneCount() {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  static const bool avx512 = avx2 && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                             __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl");
  if (avx512 && g_wideLanesEnabled && g_widestLanesEnabled) return 16;
  return avx2 && g_wideLanesEnabled ? 8 : 4;
}

}  // namespace

uint32_t SampleTexel(const PixelState& ps, float u, float v, float lod) {
  const FastSetup& f = ps.fast;
  const StageSetup& st = ps.stages[0];
  const DWORD filter = lod > 0.0f ? st.minFilter : st.magFilter;
  if (st.levelCount <= 1 || !(lod > 0.0f)) return LevelTexel(f, f.levels[0], u, v, filter);
  if (st.mipFilter == D3DTEXF_POINT) {
    int level = lod >= 64.0f ? st.levelCount - 1 : static_cast<int>(lod + 0.5f);
    if (level > st.levelCount - 1) level = st.levelCount - 1;
    return LevelTexel(f, f.levels[level], u, v, filter);
  }
  if (lod >= static_cast<float>(st.levelCount - 1)) {
    return LevelTexel(f, f.levels[st.levelCount - 1], u, v, filter);
  }
  const int level = static_cast<int>(lod);
  const uint32_t frac = static_cast<uint32_t>((lod - static_cast<float>(level)) * 256.0f);
  const uint32_t a = LevelTexel(f, f.levels[level], u, v, filter);
  if (frac == 0) return a;
  return Lerp8(a, LevelTexel(f, f.levels[level + 1], u, v, filter), frac);
}

uint32_t BilinearTexel(const PixelState& ps, int level, int x0, int y0, uint32_t wu, uint32_t wv) {
  return BilinearAt(ps.fast, ps.fast.levels[level], x0, y0, wu, wv);
}

uint32_t PointTexel(const PixelState& ps, int level, int x, int y) {
  return Fetch(ps.fast, ps.fast.levels[level], x, y);
}

void GrowRecords(TileBatch* batch) {
  const uint32_t capacity = batch->recordCapacity == 0 ? 1024 : 2 * batch->recordCapacity;
  for (uint32_t*& field : batch->fields) {
    // Zeroed: a flat triangle's record leaves its colours unset, and windows read past the end.
    auto* grown = new uint32_t[capacity + TileBatch::kSlack]();
    if (field != nullptr) std::copy(field, field + batch->recordCount, grown);
    delete[] field;
    field = grown;
  }
  batch->recordCapacity = capacity;
}

uint32_t BlendAny(const PixelState& ps, uint32_t colour, uint32_t dest) {
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    int c = BlendAdd(Channel(colour, shift), Factor(ps.srcBlend, shift, colour, dest),
                     Channel(dest, shift), Factor(ps.destBlend, shift, colour, dest));
    out |= static_cast<uint32_t>(c) << shift;
  }
  return out;
}

void SetFastShadingEnabled(bool enabled) { g_fastEnabled = enabled; }

void SetWideLanesEnabled(bool enabled) { g_wideLanesEnabled = enabled; }
void SetWidestLanesEnabled(bool enabled) { g_widestLanesEnabled = enabled; }

void SetDeferredShadingEnabled(bool enabled) { g_deferEnabled = enabled; }

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
    const std::optional<ColourSource> colour = OpSource(st.colorOp, st.colorArg1, st.colorArg2);
    const std::optional<ColourSource> alpha =
        st.alphaOp == D3DTOP_DISABLE ? ColourSource::kDiffuse : OpSource(st.alphaOp, st.alphaArg1, st.alphaArg2);
    if (!colour || !alpha) return;
    f.colourFrom = *colour;
    f.alphaFrom = *alpha;
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
      f.lodPerPixel = ps->needsDerivatives;
      f.topWidth = static_cast<float>(f.levels[0].width);
      f.topHeight = static_cast<float>(f.levels[0].height);
      const bool minBilinear = Bilinear(st.minFilter), magBilinear = Bilinear(st.magFilter);
      if (!f.lodPerPixel || minBilinear == magBilinear) {
        f.sampling = magBilinear ? Sampling::kBilinear : Sampling::kPoint;
      } else {
        f.sampling = Sampling::kEachPixel;
      }
      f.twoLevels = f.lodPerPixel && st.levelCount > 1 && st.mipFilter != D3DTEXF_POINT;
      // An alpha test that needs more than some alpha, on a texture nothing draws into.
      IDirect3DSurface8* top = st.levels[0];
      if (ps->alphaTest && !f.opaqueTexels && f.alphaFrom != ColourSource::kDiffuse &&
          (ps->alphaFunc == D3DCMP_GREATER || ps->alphaFunc == D3DCMP_GREATEREQUAL) &&
          (top->usage_ & D3DUSAGE_RENDERTARGET) == 0 && top->width_ > 1 && top->height_ > 1) {
        if (!top->alphaBlocksValid_) BuildAlphaBlocks(top);
        f.alphaBlocks = top->alphaBlocks_.data();
        f.alphaBlocksPerRow = (top->width_ + kAlphaBlock - 1) / kAlphaBlock;
      }
    } else if (f.colourFrom != ColourSource::kDiffuse || f.alphaFrom != ColourSource::kDiffuse) {
      return;  // cannot happen: such ops were turned into CURRENT pass-through
    }
  }
  f.blend = KindOf(*ps);
  f.destAlpha = target == D3DFMT_X8R8G8B8 ? 0xFF000000u : 0;
  f.deferred = f.blend == BlendKind::kNone && !ps->alphaTest && g_deferEnabled;
  f.applies = true;
}

void ShadeRowsFast(const PixelState& ps, const Triangle& t, const float* planes, const SpanRow* rows,
                   int count) {
  const FastSetup& f = ps.fast;
  FastTriangle ft{&ps, &t, planes, f.colourFrom, f.alphaFrom, 0};
  // A white diffuse colour leaves a modulated texel as it is (Mul255(x, 255) == x).
  if (t.flatColour && t.flatDiffuse == 0xFFFFFFFFu) {
    if (ft.colourFrom == ColourSource::kProduct) ft.colourFrom = ColourSource::kTexture;
    if (ft.alphaFrom == ColourSource::kProduct) ft.alphaFrom = ColourSource::kTexture;
  }
  // The smallest texel alpha that can pass the alpha test when only the top level is read
  // through the bilinear filter and the alpha comes from the texture (a modulated alpha is
  // never above the texel's).
  if (f.textured && f.sampling == Sampling::kBilinear && ps.stages[0].levelCount <= 1 && ps.alphaTest &&
      !f.opaqueTexels && ft.alphaFrom != ColourSource::kDiffuse) {
    if (ps.alphaFunc == D3DCMP_GREATEREQUAL) ft.alphaCut = static_cast<uint32_t>(ps.alphaRef);
    if (ps.alphaFunc == D3DCMP_GREATER) ft.alphaCut = static_cast<uint32_t>(ps.alphaRef) + 1;
  }
  switch (LaneCount()) {
    case 16: ShadeRowsAvx512(ft, rows, count); break;
    case 8: ShadeRowsAvx2(ft, rows, count); break;
    default: ShadeRowsSse2(ft, rows, count); break;
  }
}

void DepthRowsFast(const PixelState& ps, const Triangle& t, const float* planes, const SpanRow* rows, int count,
                   TileBatch* batch) {
  switch (LaneCount()) {
    case 16: DepthRowsAvx512(ps, t, planes, rows, count, batch); break;
    case 8: DepthRowsAvx2(ps, t, planes, rows, count, batch); break;
    default: DepthRowsSse2(ps, t, planes, rows, count, batch); break;
  }
}

void ShadeBatchFast(const PixelState* states, TileBatch* batch) {
  if (batch->Empty()) return;
  switch (LaneCount()) {
    case 16: ShadeBatchAvx512(states, batch); break;
    case 8: ShadeBatchAvx2(states, batch); break;
    default: ShadeBatchSse2(states, batch); break;
  }
}

}  // namespace zelk4::d3d8
