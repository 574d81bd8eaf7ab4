// The fast span code's row kernel, written once for N lanes of GCC vector types and compiled
// once per instruction set: span_kernel_sse2.cpp (4 lanes) and span_kernel_avx2.cpp (8 lanes,
// built with AVX2). Everything here is in an unnamed namespace, so the two builds never share
// a symbol, and it includes only headers whose functions are always inlined.
//
// Each lane repeats the general code's scalar expression operation for operation (IEEE single
// and double precision, no contraction into fused multiply-adds; channels in 16-bit lanes
// whose sums never pass 65535), so every value has the bits the general code gives it. The
// tests draw with both, and with both instruction sets, and compare.
//
// A row is shaded in runs of up to 64 pixels, each in two passes:
// - the lane pass works out, N pixels at a time, what is pure arithmetic: depth and its test,
//   1/w, texture coordinates, level of detail, the level each pixel reads and its texel
//   positions and weights there; it leaves them in a RunLanes record and drops pixels that
//   fail the depth test or can only fail the alpha test;
// - the pixel pass reads the texels, filters them, combines texture and diffuse colour, makes
//   the alpha test, writes depth and blends and writes colour, N pixels at a time.
#pragma once

#include <immintrin.h>

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "platform/d3d8/fast_triangle.h"
#include "platform/d3d8/pixel_math.h"

namespace d3d8 {
namespace {

template <int N>
struct Lanes {
  typedef int32_t I __attribute__((vector_size(4 * N)));
  typedef uint32_t U __attribute__((vector_size(4 * N)));
  typedef uint16_t H __attribute__((vector_size(4 * N)));  // two 16-bit halves per lane
  typedef float F __attribute__((vector_size(4 * N)));
};

using I4 = Lanes<4>::I;
using F4 = Lanes<4>::F;

// --- What differs between instruction sets.

[[gnu::always_inline]] inline I4 TruncToInt(F4 f) { return (I4)_mm_cvttps_epi32((__m128)f); }

// QuantizeDepth(start + step * index, maxValue) on each lane, in double precision.
[[gnu::always_inline]] inline I4 DepthLanes(double start, double step, I4 index, uint32_t maxValue) {
  const __m128i i = (__m128i)index;
  const __m128d lo = _mm_cvtepi32_pd(i), hi = _mm_cvtepi32_pd(_mm_shuffle_epi32(i, _MM_SHUFFLE(1, 0, 3, 2)));
  const __m128d s = _mm_set1_pd(start), d = _mm_set1_pd(step);
  const __m128d zLo = _mm_add_pd(s, _mm_mul_pd(d, lo)), zHi = _mm_add_pd(s, _mm_mul_pd(d, hi));
  const __m128d scale = _mm_set1_pd(static_cast<double>(maxValue)), half = _mm_set1_pd(0.5);
  // In (0, 1) the rounded value is below 2^24: the truncating conversion is exact there.
  const __m128i q = _mm_unpacklo_epi64(_mm_cvttpd_epi32(_mm_add_pd(_mm_mul_pd(zLo, scale), half)),
                                       _mm_cvttpd_epi32(_mm_add_pd(_mm_mul_pd(zHi, scale), half)));
  auto narrow = [](__m128d a, __m128d b) {
    return _mm_castps_si128(_mm_shuffle_ps(_mm_castpd_ps(a), _mm_castpd_ps(b), _MM_SHUFFLE(2, 0, 2, 0)));
  };
  const __m128i positive = narrow(_mm_cmpgt_pd(zLo, _mm_setzero_pd()), _mm_cmpgt_pd(zHi, _mm_setzero_pd()));
  const __m128i full = narrow(_mm_cmpge_pd(zLo, _mm_set1_pd(1.0)), _mm_cmpge_pd(zHi, _mm_set1_pd(1.0)));
  return (I4)_mm_or_si128(_mm_and_si128(full, _mm_set1_epi32(static_cast<int>(maxValue))),
                          _mm_andnot_si128(full, _mm_and_si128(positive, q)));
}

[[gnu::always_inline]] inline int Bits(I4 mask) { return _mm_movemask_ps((__m128)mask); }

[[gnu::always_inline]] inline I4 Gather(const uint32_t* base, I4 index) {
  return I4{static_cast<int32_t>(base[index[0]]), static_cast<int32_t>(base[index[1]]),
            static_cast<int32_t>(base[index[2]]), static_cast<int32_t>(base[index[3]])};
}

// The four texels bilinear filtering blends, at columns xa, xb and rows ya, yb of a level.
[[gnu::always_inline]] inline void QuadTexels(const FastLevel& level, I4 xa, I4 xb, I4 ya, I4 yb, I4* t00,
                                              I4* t10, I4* t01, I4* t11) {
  const int32_t pitch = static_cast<int32_t>(level.pitchWords);
  const I4 rowA = ya * pitch, rowB = yb * pitch;
  *t00 = Gather(level.texels, rowA + xa);
  *t10 = Gather(level.texels, rowA + xb);
  *t01 = Gather(level.texels, rowB + xa);
  *t11 = Gather(level.texels, rowB + xb);
}

#ifdef __AVX2__
using I8 = Lanes<8>::I;
using F8 = Lanes<8>::F;

[[gnu::always_inline]] inline I8 TruncToInt(F8 f) { return (I8)_mm256_cvttps_epi32((__m256)f); }

[[gnu::always_inline]] inline I8 DepthLanes(double start, double step, I8 index, uint32_t maxValue) {
  const __m256i i = (__m256i)index;
  const __m256d lo = _mm256_cvtepi32_pd(_mm256_castsi256_si128(i));
  const __m256d hi = _mm256_cvtepi32_pd(_mm256_extracti128_si256(i, 1));
  const __m256d s = _mm256_set1_pd(start), d = _mm256_set1_pd(step);
  const __m256d zLo = _mm256_add_pd(s, _mm256_mul_pd(d, lo)), zHi = _mm256_add_pd(s, _mm256_mul_pd(d, hi));
  const __m256d scale = _mm256_set1_pd(static_cast<double>(maxValue)), half = _mm256_set1_pd(0.5);
  const __m256i q = _mm256_set_m128i(_mm256_cvttpd_epi32(_mm256_add_pd(_mm256_mul_pd(zHi, scale), half)),
                                     _mm256_cvttpd_epi32(_mm256_add_pd(_mm256_mul_pd(zLo, scale), half)));
  auto narrow = [](__m256d a, __m256d b) {
    // Each 64-bit mask lane to 32 bits, in lane order.
    const __m256 packed = _mm256_shuffle_ps(_mm256_castpd_ps(a), _mm256_castpd_ps(b), _MM_SHUFFLE(2, 0, 2, 0));
    return _mm256_permute4x64_epi64(_mm256_castps_si256(packed), _MM_SHUFFLE(3, 1, 2, 0));
  };
  const __m256i positive = narrow(_mm256_cmp_pd(zLo, _mm256_setzero_pd(), _CMP_GT_OQ),
                                  _mm256_cmp_pd(zHi, _mm256_setzero_pd(), _CMP_GT_OQ));
  const __m256i full = narrow(_mm256_cmp_pd(zLo, _mm256_set1_pd(1.0), _CMP_GE_OQ),
                              _mm256_cmp_pd(zHi, _mm256_set1_pd(1.0), _CMP_GE_OQ));
  return (I8)_mm256_or_si256(_mm256_and_si256(full, _mm256_set1_epi32(static_cast<int>(maxValue))),
                             _mm256_andnot_si256(full, _mm256_and_si256(positive, q)));
}

[[gnu::always_inline]] inline int Bits(I8 mask) { return _mm256_movemask_ps((__m256)mask); }

[[gnu::always_inline]] inline I8 Gather(const uint32_t* base, I8 index) {
  return (I8)_mm256_i32gather_epi32(reinterpret_cast<const int*>(base), (__m256i)index, 4);
}

// Pixels 0-3 in p0 and 4-7 in p1 as pairs (a, b): the a's and the b's in lane order.
[[gnu::always_inline]] inline void Unpair(__m256i p0, __m256i p1, I8* a, I8* b) {
  const __m256 s0 = _mm256_shuffle_ps(_mm256_castsi256_ps(p0), _mm256_castsi256_ps(p1), _MM_SHUFFLE(2, 0, 2, 0));
  const __m256 s1 = _mm256_shuffle_ps(_mm256_castsi256_ps(p0), _mm256_castsi256_ps(p1), _MM_SHUFFLE(3, 1, 3, 1));
  *a = (I8)_mm256_permute4x64_epi64(_mm256_castps_si256(s0), _MM_SHUFFLE(3, 1, 2, 0));
  *b = (I8)_mm256_permute4x64_epi64(_mm256_castps_si256(s1), _MM_SHUFFLE(3, 1, 2, 0));
}

// Where every right texel is its left one's neighbour in memory, each pair is read at once:
// from one window of sixteen texels per row when all lanes share their rows and lie close
// together (a magnified texture, or one drawn texel for pixel), else by gathering 64-bit pairs.
[[gnu::always_inline]] inline void QuadTexels(const FastLevel& level, I8 xa, I8 xb, I8 ya, I8 yb, I8* t00,
                                              I8* t10, I8* t01, I8* t11) {
  const int32_t pitch = static_cast<int32_t>(level.pitchWords);
  const I8 rowA = ya * pitch, rowB = yb * pitch;
  if (Bits(xb == xa + 1) != 0xFF) {
    *t00 = Gather(level.texels, rowA + xa);
    *t10 = Gather(level.texels, rowA + xb);
    *t01 = Gather(level.texels, rowB + xa);
    *t11 = Gather(level.texels, rowB + xb);
    return;
  }
  const int width = static_cast<int>(level.width);
  if (width >= 16 && Bits(ya == ya[0]) == 0xFF && Bits(yb == yb[0]) == 0xFF) {
    __m128i lo = _mm_min_epi32(_mm256_castsi256_si128((__m256i)xa), _mm256_extracti128_si256((__m256i)xa, 1));
    __m128i hi = _mm_max_epi32(_mm256_castsi256_si128((__m256i)xa), _mm256_extracti128_si256((__m256i)xa, 1));
    lo = _mm_min_epi32(lo, _mm_shuffle_epi32(lo, _MM_SHUFFLE(1, 0, 3, 2)));
    hi = _mm_max_epi32(hi, _mm_shuffle_epi32(hi, _MM_SHUFFLE(1, 0, 3, 2)));
    lo = _mm_min_epi32(lo, _mm_shuffle_epi32(lo, _MM_SHUFFLE(2, 3, 0, 1)));
    hi = _mm_max_epi32(hi, _mm_shuffle_epi32(hi, _MM_SHUFFLE(2, 3, 0, 1)));
    const int xMin = _mm_cvtsi128_si32(lo), xMax = _mm_cvtsi128_si32(hi);
    if (width >= 16) {
      const int start = xMin < width - 16 ? xMin : width - 16;  // the window stays inside the row
      if (xMax + 1 - start <= 15) {
        const uint32_t* a = level.texels + rowA[0] + start;
        const uint32_t* b = level.texels + rowB[0] + start;
        const I8 left = xa - start, right = left + 1;
        // Texel k of the 16: the low eight's k & 7 or the high eight's.
        auto pick = [](const uint32_t* window, I8 k) {
          const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(window));
          const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(window + 8));
          const I8 fromLow = (I8)_mm256_permutevar8x32_epi32(low, (__m256i)k);
          const I8 fromHigh = (I8)_mm256_permutevar8x32_epi32(high, (__m256i)k);
          return k > 7 ? fromHigh : fromLow;
        };
        *t00 = pick(a, left);
        *t10 = pick(a, right);
        *t01 = pick(b, left);
        *t11 = pick(b, right);
        return;
      }
    }
  }
  const long long* base = reinterpret_cast<const long long*>(level.texels);
  const __m256i a = (__m256i)(rowA + xa), b = (__m256i)(rowB + xa);
  Unpair(_mm256_i32gather_epi64(base, _mm256_castsi256_si128(a), 4),
         _mm256_i32gather_epi64(base, _mm256_extracti128_si256(a, 1), 4), t00, t10);
  Unpair(_mm256_i32gather_epi64(base, _mm256_castsi256_si128(b), 4),
         _mm256_i32gather_epi64(base, _mm256_extracti128_si256(b, 1), 4), t01, t11);
}
#endif

// --- The same on every instruction set.

template <class V>
[[gnu::always_inline]] inline V Splat(std::decay_t<decltype(V{}[0])> x) {
  return V{} + x;
}

// 0, 1, 2, ... and 1, 2, 4, ...: each lane's number and its bit in a mask.
template <class I>
[[gnu::always_inline]] inline I Iota() {
  I v{};
  for (int k = 0; k < static_cast<int>(sizeof(I) / 4); ++k) v[k] = k;
  return v;
}
template <class I>
[[gnu::always_inline]] inline I LaneBits() {
  I v{};
  for (int k = 0; k < static_cast<int>(sizeof(I) / 4); ++k) v[k] = 1 << k;
  return v;
}

template <class I>
[[gnu::always_inline]] inline I Load(const uint32_t* p) {
  I v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <class I>
[[gnu::always_inline]] inline void Store(uint32_t* p, I v) {
  std::memcpy(p, &v, sizeof v);
}

template <class I>
[[gnu::always_inline]] inline I Min(I a, I b) { return a < b ? a : b; }
template <class I>
[[gnu::always_inline]] inline I Max(I a, I b) { return a > b ? a : b; }

// Unsigned shift right of 32-bit lanes.
template <class I>
[[gnu::always_inline]] inline I ShiftRight(I v, int bits) {
  using U = typename Lanes<sizeof(I) / 4>::U;
  return (I)((U)v >> bits);
}

// FastLog2 on each lane.
template <class F, class I>
[[gnu::always_inline]] inline F FastLog2Lanes(F x) {
  const I bits = (I)x;
  const I exponent = ((bits >> 23) & 255) - 127;
  const F m = (F)((bits & 0x007FFFFF) | 0x3F800000);
  const F t = m - 1.0f;
  F r = __builtin_convertvector(exponent, F) + t * (1.4425449f + t * (-0.7181452f + t * 0.2756003f));
  r = x > 3.0e38f ? Splat<F>(128.0f) : r;
  return x > 0.0f ? r : Splat<F>(-128.0f);
}

// ToByte on each lane.
template <class F, class I>
[[gnu::always_inline]] inline I ToByteLanes(F v) {
  const I rounded = TruncToInt(v + 0.5f);
  const I high = v >= 255.0f ? Splat<I>(255) : rounded;
  return v > 0.0f ? high : I{};
}

// floor(SafeCoord(f)) on each lane, and SafeCoord(f) itself.
template <class F, class I>
[[gnu::always_inline]] inline I FloorSafe(F f, F* safe) {
  constexpr float kLimit = 16777216.0f;
  f = f == f ? f : F{};  // NaN reads as 0
  f = f > -kLimit ? f : Splat<F>(-kLimit);
  f = f > kLimit ? Splat<F>(kLimit) : f;
  *safe = f;
  const I i = TruncToInt(f);
  return __builtin_convertvector(i, F) > f ? i - 1 : i;
}

// Bilinear's top-left texel and 8-bit weight along one axis for coordinate c in a level of
// `size` texels.
template <class F, class I>
[[gnu::always_inline]] inline void BilinearAxis(F c, float size, I* position, I* weight) {
  F safe;
  const I i = FloorSafe<F, I>(c * size - 0.5f, &safe);
  const I w = TruncToInt((safe - __builtin_convertvector(i, F)) * 256.0f);
  *position = i;
  *weight = w > 255 ? Splat<I>(255) : w;
}

// Lerp8 on each lane: channels (a (256 - f) + b f + 128) >> 8, f in 0..256.
template <class I>
[[gnu::always_inline]] inline I Lerp8Lanes(I a, I b, I f) {
  using H = typename Lanes<sizeof(I) / 4>::H;
  const I g = 256 - f;
  const H g16 = (H)(g | (g << 16)), f16 = (H)(f | (f << 16));
  const H rb = ((H)(a & 0x00FF00FF) * g16 + (H)(b & 0x00FF00FF) * f16 + 128) >> 8;
  const H ag = ((H)a >> 8) * g16 + ((H)b >> 8) * f16 + 128;
  return (I)rb | ((I)ag & static_cast<int32_t>(0xFF00FF00u));
}

// Mul255 on each channel of each lane.
template <class I>
[[gnu::always_inline]] inline I ModulateLanes(I a, I b) {
  using H = typename Lanes<sizeof(I) / 4>::H;
  H lo = (H)(a & 0x00FF00FF) * (H)(b & 0x00FF00FF) + 128;
  H hi = ((H)a >> 8) * ((H)b >> 8) + 128;
  lo = (lo + (lo >> 8)) >> 8;
  hi = (hi + (hi >> 8)) >> 8;
  return (I)lo | (I)(hi << 8);
}

// BlendAlphaWord on each lane: s a + d (255 - a), rounded, in every channel.
template <class I>
[[gnu::always_inline]] inline I BlendAlphaLanes(I s, I d, I a) {
  using H = typename Lanes<sizeof(I) / 4>::H;
  const I ia = 255 - a;
  const H a16 = (H)(a | (a << 16)), ia16 = (H)(ia | (ia << 16));
  H lo = (H)(s & 0x00FF00FF) * a16 + (H)(d & 0x00FF00FF) * ia16 + 128;
  H hi = ((H)s >> 8) * a16 + ((H)d >> 8) * ia16 + 128;
  lo = (lo + (lo >> 8)) >> 8;
  hi = (hi + (hi >> 8)) >> 8;
  return (I)lo | (I)(hi << 8);
}

// Compare on each lane (values below 2^31).
template <class I>
[[gnu::always_inline]] inline I CompareLanes(DWORD func, I value, I reference) {
  switch (func) {
    case D3DCMP_NEVER: return I{};
    case D3DCMP_LESS: return value < reference;
    case D3DCMP_EQUAL: return value == reference;
    case D3DCMP_LESSEQUAL: return value <= reference;
    case D3DCMP_GREATER: return value > reference;
    case D3DCMP_NOTEQUAL: return value != reference;
    case D3DCMP_GREATEREQUAL: return value >= reference;
    default: return Splat<I>(-1);  // ALWAYS, and unknown values
  }
}

// The colour one source gives.
template <class I>
[[gnu::always_inline]] inline I FromLanes(ColourSource source, I texel, I diffuse) {
  switch (source) {
    case ColourSource::kTexture: return texel;
    case ColourSource::kDiffuse: return diffuse;
    default: return ModulateLanes(texel, diffuse);
  }
}

constexpr int kRun = 64;  // pixels per run

// What the lane pass leaves for the pixel pass: one value per pixel of the run.
struct RunLanes {
  alignas(32) uint32_t depth[kRun];
  alignas(32) float w[kRun];
  alignas(32) float u[kRun];
  alignas(32) float v[kRun];
  alignas(32) float lod[kRun];
  // In the level the pixel reads first and in the next one: texel positions (the top-left
  // texel under bilinear filtering) and bilinear weights; and the weight between the two.
  alignas(32) int32_t x[kRun], y[kRun], wu[kRun], wv[kRun];
  alignas(32) int32_t x1[kRun], y1[kRun], wu1[kRun], wv1[kRun];
  alignas(32) int32_t frac[kRun];
  // Per group of lanes: the level all its pixels read first (-1: they differ, each pixel is
  // sampled on its own), and whether any of them blends in the next level.
  int8_t level[kRun];
  bool second[kRun];
  uint64_t pending;  // bit j: pixel j of the run is still to be shaded
};

template <int N, bool kTextured, bool kDepth, BlendKind kBlend>
class RowKernel {
  using I = typename Lanes<N>::I;
  using F = typename Lanes<N>::F;

 public:
  explicit RowKernel(const FastTriangle& ft)
      : ft_(ft), ps_(*ft.ps), f_(*ft.fast), st_(*ft.stage), t_(*ft.t) {}

  void Shade(const SpanRow& row) {
    StartRow(row);
    for (int runStart = row.x0; runStart < row.x1; runStart += kRun) {
      const int runEnd = row.x1 - runStart < kRun ? row.x1 : runStart + kRun;
      if (LanePass(runStart, runEnd)) PixelPass(runStart, runEnd);
    }
  }

 private:
  // Values at the row's first covered pixel and steps per pixel.
  struct RowStart {
    int y, xBase;
    uint32_t* colour;
    uint32_t* depth;
    float q, u, v, diffuse[4];
    double z;
  };

  void StartRow(const SpanRow& row) {
    const float fy = static_cast<float>(row.y) - t_.refY;
    const float fx0 = static_cast<float>(row.xBase) - t_.refX;
    auto start = [&](const float* p) { return p[0] + p[1] * fx0 + p[2] * fy; };
    r_.y = row.y;
    r_.xBase = row.xBase;
    r_.colour = reinterpret_cast<uint32_t*>(ft_.colourBits + static_cast<size_t>(row.y) * ft_.colourPitch);
    r_.depth = kDepth ? reinterpret_cast<uint32_t*>(ft_.depthBits + static_cast<size_t>(row.y) * ft_.depthPitch)
                      : nullptr;
    r_.q = start(ft_.q);
    if (!t_.flatColour) {
      for (int c = 0; c < 4; ++c) r_.diffuse[c] = start(ft_.diffuse + 3 * c);
    }
    if (kTextured) {
      r_.u = start(ft_.u);
      r_.v = start(ft_.v);
    }
    r_.z = t_.z0 + t_.zdx * (static_cast<double>(row.xBase) - t_.refX) +
           t_.zdy * (static_cast<double>(row.y) - t_.refY);
  }

  // Lanes [j, j + N) of the run lie inside it.
  static bool Whole(int j, int count) { return j + N <= count; }

  // The lane pass; false when no pixel of the run is left.
  bool LanePass(int runStart, int runEnd) {
    const int count = runEnd - runStart;
    const int first = runStart - r_.xBase;
    RunLanes& l = lanes_;
    l.pending = count == 64 ? ~uint64_t{0} : (uint64_t{1} << count) - 1;
    if (SkipRunByAlpha(first, count)) return false;
    const I iota = Iota<I>();
    for (int j = 0; j < count; j += N) {
      const I index = Splat<I>(first + j) + iota;
      const F fi = __builtin_convertvector(index, F);
      const uint64_t groupBits = (l.pending >> j) & kGroupMask;
      if (kDepth) {
        const I depth = DepthLanes(r_.z, t_.zdx, index, kDepthMax);
        Store(l.depth + j, depth);
        I stored;
        if (Whole(j, count)) {
          stored = ShiftRight(Load<I>(r_.depth + runStart + j), 8);
        } else {
          stored = I{};
          for (int k = 0; j + k < count; ++k) stored[k] = static_cast<int32_t>(r_.depth[runStart + j + k] >> 8);
        }
        const uint64_t passed = static_cast<uint64_t>(Bits(CompareLanes(ps_.zFunc, depth, stored)));
        l.pending &= ~((groupBits & ~passed) << j);
        if (((l.pending >> j) & kGroupMask) == 0) continue;
      }
      const F w = t_.affine ? Splat<F>(ft_.wConst) : 1.0f / (r_.q + ft_.q[1] * fi);
      Store(reinterpret_cast<uint32_t*>(l.w + j), (I)w);
      if (kTextured) TexturePositions(l, j, fi, w);
    }
    return l.pending != 0;
  }

  // Coordinates, level of detail and texel positions of lanes [j, j + N).
  void TexturePositions(RunLanes& l, int j, F fi, F w) {
    const F u = (r_.u + ft_.u[1] * fi) * w;
    const F v = (r_.v + ft_.v[1] * fi) * w;
    Store(reinterpret_cast<uint32_t*>(l.u + j), (I)u);
    Store(reinterpret_cast<uint32_t*>(l.v + j), (I)v);
    F lod{};
    if (f_.lodPerPixel) {
      // d(u)/dx = (dU/dx - u dq/dx) / q for U = u q, in texels of the top level.
      const float qx = ft_.q[1], qy = ft_.q[2];
      auto d = [&](float p, F c, float q, float size) { return ((p - c * q) * w) * size; };
      const F dudx = d(ft_.u[1], u, qx, f_.topWidth), dudy = d(ft_.u[2], u, qy, f_.topWidth);
      const F dvdx = d(ft_.v[1], v, qx, f_.topHeight), dvdy = d(ft_.v[2], v, qy, f_.topHeight);
      const F rx = dudx * dudx + dvdx * dvdx, ry = dudy * dudy + dvdy * dvdy;
      lod = 0.5f * FastLog2Lanes<F, I>(rx > ry ? rx : ry) + st_.lodBias;
    }
    Store(reinterpret_cast<uint32_t*>(l.lod + j), (I)lod);
    const int g = j / N;
    l.level[g] = -1;
    if (f_.sampling == Sampling::kEachPixel) return;
    // The level each pixel reads first, the next one, and the weight between them, as
    // SampleStage chooses them; with both filters alike every pixel is "this level, blended
    // with the next by frac", frac 0 where only one level is read.
    const int last = st_.levelCount - 1;
    I level{}, frac{};
    if (f_.lodPerPixel && last > 0) {
      const I positive = lod > 0.0f;
      if (st_.mipFilter == D3DTEXF_POINT) {
        const I nearest = Min(TruncToInt(lod + 0.5f), Splat<I>(last));
        level = lod >= 64.0f ? Splat<I>(last) : nearest;
      } else {
        const I whole = TruncToInt(lod);
        const I between = TruncToInt((lod - __builtin_convertvector(whole, F)) * 256.0f);
        const I beyond = lod >= static_cast<float>(last);
        level = beyond ? Splat<I>(last) : whole;
        frac = beyond ? I{} : between;
      }
      level = positive ? level : I{};
      frac = positive ? frac : I{};
    }
    // One level for every pixel still to shade, or each pixel on its own.
    const int active = static_cast<int>((l.pending >> j) & kGroupMask);
    if (active == 0) return;
    const int firstActive = __builtin_ctz(static_cast<unsigned>(active));
    const int common = level[firstActive];
    const int same = Bits(level == common);
    if ((same & active) != active) return;
    l.level[g] = static_cast<int8_t>(common);
    Store(reinterpret_cast<uint32_t*>(l.frac + j), frac);
    l.second[g] = f_.twoLevels && (Bits(frac != 0) & active) != 0;
    Positions(f_.levels[common], u, v, l.x + j, l.y + j, l.wu + j, l.wv + j);
    if (l.second[g]) {
      Positions(f_.levels[common < last ? common + 1 : last], u, v, l.x1 + j, l.y1 + j, l.wu1 + j, l.wv1 + j);
    }
    if (ft_.alphaCut != 0 && f_.alphaBlocks != nullptr) {
      // Pixels whose texels all have too little alpha are left out together (lanes past the
      // span only widen the area looked at).
      const I xs = Load<I>(reinterpret_cast<uint32_t*>(l.x + j)), ys = Load<I>(reinterpret_cast<uint32_t*>(l.y + j));
      int xMin = xs[0], xMax = xs[0], yMin = ys[0], yMax = ys[0];
      for (int k = 1; k < N; ++k) {
        xMin = xs[k] < xMin ? xs[k] : xMin;
        xMax = xs[k] > xMax ? xs[k] : xMax;
        yMin = ys[k] < yMin ? ys[k] : yMin;
        yMax = ys[k] > yMax ? ys[k] : yMax;
      }
      if (BlockMaxAlpha(f_, xMin, xMax, yMin, yMax, N) < ft_.alphaCut) l.pending &= ~(kGroupMask << j);
    }
  }

  void Positions(const FastLevel& level, F u, F v, int32_t* x, int32_t* y, int32_t* wu, int32_t* wv) const {
    I px, py, pwu{}, pwv{};
    if (f_.sampling == Sampling::kBilinear) {
      BilinearAxis<F, I>(u, static_cast<float>(level.width), &px, &pwu);
      BilinearAxis<F, I>(v, static_cast<float>(level.height), &py, &pwv);
    } else {
      F safe;
      px = FloorSafe<F, I>(u * static_cast<float>(level.width), &safe);
      py = FloorSafe<F, I>(v * static_cast<float>(level.height), &safe);
    }
    Store(reinterpret_cast<uint32_t*>(x), px);
    Store(reinterpret_cast<uint32_t*>(y), py);
    Store(reinterpret_cast<uint32_t*>(wu), pwu);
    Store(reinterpret_cast<uint32_t*>(wv), pwv);
  }

  // With the same 1/w all over the triangle, each step along the row moves the texture
  // coordinates one way only (every rounding keeps the order), so the run's texel positions
  // lie between those of its end pixels: a run whose blocks all have too little alpha is
  // left out at once.
  bool SkipRunByAlpha(int first, int count) const {
    if (!kTextured || ft_.alphaCut == 0 || f_.alphaBlocks == nullptr || !t_.affine) return false;
    auto position = [&](float start, float step, int i, float size) {
      const float c = (start + step * static_cast<float>(i)) * ft_.wConst;
      return FloorToInt(SafeCoord(c * size - 0.5f));
    };
    const int last = first + count - 1;
    const int xa = position(r_.u, ft_.u[1], first, f_.topWidth), xb = position(r_.u, ft_.u[1], last, f_.topWidth);
    const int ya = position(r_.v, ft_.v[1], first, f_.topHeight), yb = position(r_.v, ft_.v[1], last, f_.topHeight);
    return BlockMaxAlpha(f_, xa < xb ? xa : xb, xa < xb ? xb : xa, ya < yb ? ya : yb, ya < yb ? yb : ya, 16) <
           ft_.alphaCut;
  }

  void PixelPass(int runStart, int runEnd) {
    const int count = runEnd - runStart;
    const RunLanes& l = lanes_;
    const I iota = Iota<I>();
    for (int j = 0; j < count; j += N) {
      const int groupBits = static_cast<int>((l.pending >> j) & kGroupMask);
      if (groupBits == 0) continue;
      I mask = (Splat<I>(groupBits) & LaneBits<I>()) != 0;
      const F w = (F)Load<I>(reinterpret_cast<const uint32_t*>(l.w + j));
      I diffuse = Splat<I>(static_cast<int32_t>(ft_.flatDiffuse));
      if (!t_.flatColour) {
        const F fi = __builtin_convertvector(Splat<I>(runStart + j - r_.xBase) + iota, F);
        auto channel = [&](int c) { return ToByteLanes<F, I>((r_.diffuse[c] + ft_.diffuse[3 * c + 1] * fi) * w); };
        diffuse = (channel(3) << 24) | (channel(0) << 16) | (channel(1) << 8) | channel(2);
      }
      I colour = diffuse;
      if (kTextured) {
        const I texel = Texels(j, groupBits);
        if (ft_.colourFrom == ft_.alphaFrom) {
          colour = FromLanes(ft_.colourFrom, texel, diffuse);
        } else {
          colour = (FromLanes(ft_.colourFrom, texel, diffuse) & 0x00FFFFFF) |
                   (FromLanes(ft_.alphaFrom, texel, diffuse) & static_cast<int32_t>(0xFF000000u));
        }
      }
      if (ps_.alphaTest) {
        mask &= CompareLanes(ps_.alphaFunc, ShiftRight(colour, 24), Splat<I>(ps_.alphaRef));
        if (Bits(mask) == 0) continue;
      }
      const int x = runStart + j;
      if (Whole(j, count)) {
        if (kDepth && ps_.zWrite) {
          const I depth = (Load<I>(l.depth + j) << 8) | 0xFF;
          Store(r_.depth + x, mask ? depth : Load<I>(r_.depth + x));
        }
        const I dest = Load<I>(r_.colour + x);
        colour = Blend(colour, dest, Bits(mask));
        Store(r_.colour + x, mask ? colour : dest);
      } else {
        const int bits = Bits(mask);
        for (int k = 0; k < N; ++k) {
          if (!((bits >> k) & 1)) continue;
          if (kDepth && ps_.zWrite) r_.depth[x + k] = (l.depth[j + k] << 8) | 0xFFu;
          r_.colour[x + k] = BlendOne(static_cast<uint32_t>(colour[k]), r_.colour[x + k]);
        }
      }
    }
  }

  I Blend(I colour, I dest, int bits) const {
    if (kBlend == BlendKind::kAlpha) return BlendAlphaLanes(colour, dest | static_cast<int32_t>(f_.destAlpha), ShiftRight(colour, 24));
    if (kBlend == BlendKind::kAny) {
      for (int k = 0; k < N; ++k) {
        if ((bits >> k) & 1) colour[k] = static_cast<int32_t>(BlendAny(ps_, static_cast<uint32_t>(colour[k]), static_cast<uint32_t>(dest[k]) | f_.destAlpha));
      }
    }
    return colour;
  }

  uint32_t BlendOne(uint32_t colour, uint32_t dest) const {
    if (kBlend == BlendKind::kAlpha) return BlendAlphaWord(colour, dest | f_.destAlpha, colour >> 24);
    if (kBlend == BlendKind::kAny) return BlendAny(ps_, colour, dest | f_.destAlpha);
    return colour;
  }

  // The filtered texels of lanes [j, j + N) (pixels not in `bits` may hold anything).
  I Texels(int j, int bits) const {
    const RunLanes& l = lanes_;
    const int level = l.level[j / N];
    if (level < 0) {
      I texel{};
      for (int k = 0; k < N; ++k) {
        if ((bits >> k) & 1) {
          texel[k] = static_cast<int32_t>(SampleTexel(ft_, l.u[j + k], l.v[j + k], f_.lodPerPixel ? l.lod[j + k] : 0.0f));
        }
      }
      return texel;
    }
    I texel = Filter(level, l.x + j, l.y + j, l.wu + j, l.wv + j, bits);
    if (l.second[j / N]) {
      const int next = level + 1 < st_.levelCount ? level + 1 : level;
      texel = Lerp8Lanes(texel, Filter(next, l.x1 + j, l.y1 + j, l.wu1 + j, l.wv1 + j, bits),
                         Load<I>(reinterpret_cast<const uint32_t*>(l.frac + j)));
    }
    return texel;
  }

  // Texel indices i and i + 1 along one axis of `size` texels, addressed as the stage says;
  // false when a wrap that is not a mask reaches further than one period (the pixels are then
  // filtered one by one).
  static bool Address(I i, uint32_t size, bool wrap, I* first, I* second) {
    const int32_t n = static_cast<int32_t>(size);
    if (!wrap) {
      *first = Max(Min(i, Splat<I>(n - 1)), I{});
      *second = Max(Min(i + 1, Splat<I>(n - 1)), I{});
      return true;
    }
    if ((size & (size - 1)) == 0) {
      *first = i & (n - 1);
      *second = (i + 1) & (n - 1);
      return true;
    }
    if (Bits((i >= -n) & (i < 2 * n - 1)) != kAllLanes) return false;
    auto wrapOnce = [n](I v) {
      v -= v >= n ? Splat<I>(n) : I{};
      return v + (v < 0 ? Splat<I>(n) : I{});
    };
    *first = wrapOnce(i);
    *second = wrapOnce(i + 1);
    return true;
  }

  I Filter(int levelIndex, const int32_t* xs, const int32_t* ys, const int32_t* wus, const int32_t* wvs, int bits) const {
    const FastLevel& level = f_.levels[levelIndex];
    const I x = Load<I>(reinterpret_cast<const uint32_t*>(xs)), y = Load<I>(reinterpret_cast<const uint32_t*>(ys));
    I xa, xb, ya, yb;
    if (!Address(x, level.width, f_.wrapU, &xa, &xb) || !Address(y, level.height, f_.wrapV, &ya, &yb)) {
      I texel{};
      for (int k = 0; k < N; ++k) {
        if (!((bits >> k) & 1)) continue;
        texel[k] = static_cast<int32_t>(f_.sampling == Sampling::kBilinear
                                            ? BilinearTexel(ft_, levelIndex, x[k], y[k], static_cast<uint32_t>(wus[k]), static_cast<uint32_t>(wvs[k]))
                                            : PointTexel(ft_, levelIndex, x[k], y[k]));
      }
      return texel;
    }
    const I opaque = Splat<I>(f_.opaqueTexels ? static_cast<int32_t>(0xFF000000u) : 0);
    const int32_t pitch = static_cast<int32_t>(level.pitchWords);
    if (f_.sampling == Sampling::kPoint) return Gather(level.texels, ya * pitch + xa) | opaque;
    I t00, t10, t01, t11;
    QuadTexels(level, xa, xb, ya, yb, &t00, &t10, &t01, &t11);
    const I wu = Load<I>(reinterpret_cast<const uint32_t*>(wus)), wv = Load<I>(reinterpret_cast<const uint32_t*>(wvs));
    const I top = Lerp8Lanes(t00 | opaque, t10 | opaque, wu);
    const I bottom = Lerp8Lanes(t01 | opaque, t11 | opaque, wu);
    return Lerp8Lanes(top, bottom, wv);
  }

  static constexpr uint64_t kGroupMask = (uint64_t{1} << N) - 1;
  static constexpr int kAllLanes = (1 << N) - 1;
  static constexpr uint32_t kDepthMax = (1u << 24) - 1;

  const FastTriangle& ft_;
  const PixelState& ps_;
  const FastSetup& f_;
  const StageSetup& st_;
  const Triangle& t_;
  RowStart r_{};
  RunLanes lanes_;
};

template <int N, bool kTextured, bool kDepth, BlendKind kBlend>
void ShadeRowsWith(const FastTriangle& ft, const SpanRow* rows, int count) {
  RowKernel<N, kTextured, kDepth, kBlend> kernel(ft);
  for (int i = 0; i < count; ++i) kernel.Shade(rows[i]);
}

template <int N, bool kTextured, bool kDepth>
void ShadeRowsByBlend(const FastTriangle& ft, const SpanRow* rows, int count) {
  switch (ft.fast->blend) {
    case BlendKind::kNone: ShadeRowsWith<N, kTextured, kDepth, BlendKind::kNone>(ft, rows, count); break;
    case BlendKind::kAlpha: ShadeRowsWith<N, kTextured, kDepth, BlendKind::kAlpha>(ft, rows, count); break;
    default: ShadeRowsWith<N, kTextured, kDepth, BlendKind::kAny>(ft, rows, count); break;
  }
}

template <int N>
void ShadeRowsLanes(const FastTriangle& ft, const SpanRow* rows, int count) {
  const bool depth = ft.ps->depth != nullptr;
  if (ft.fast->textured) {
    depth ? ShadeRowsByBlend<N, true, true>(ft, rows, count) : ShadeRowsByBlend<N, true, false>(ft, rows, count);
  } else {
    depth ? ShadeRowsByBlend<N, false, true>(ft, rows, count) : ShadeRowsByBlend<N, false, false>(ft, rows, count);
  }
}

}  // namespace
}  // namespace d3d8
