// The fast span code's kernels, written once for N lanes of GCC vector types and compiled
// once per instruction set: span_kernel_sse2.cpp (4 lanes), span_kernel_avx2.cpp (8 lanes,
// built with AVX2) and span_kernel_avx512.cpp (16 lanes, built with AVX-512). Everything here
// is in an unnamed namespace, so the builds never share a symbol, and it includes only headers
// whose functions are always inlined.
//
// Each lane repeats the general code's scalar expression operation for operation (IEEE single
// and double precision, no contraction into fused multiply-adds; channels in 16-bit lanes
// whose sums never pass 65535), so every value has the bits the general code gives it. The
// tests draw with both, and with every instruction set the processor has, and compare.
//
// N pixels are shaded at a time in two passes:
// - the lane pass works out what is pure arithmetic: 1/w, texture coordinates, level of
//   detail, the level each pixel reads and its texel positions and weights there, and leaves
//   them in a GroupLanes record;
// - the pixel pass reads the texels, filters them and combines texture and diffuse colour;
//   the kernels around them test depth and alpha, blend and write.
// The pixels' own values come from Interpolants: per lane, the pixel's triangle's planes at
// the first pixel the triangle covers on its row, and the pixel's offset from it.
#pragma once

#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "platform/d3d8/fast_triangle.h"
#include "platform/d3d8/pixel_math.h"

namespace zelk4::d3d8 {
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

[[gnu::always_inline]] inline I4 DepthLanesUpTo(int, double start, double step, I4 index, uint32_t maxValue) {
  return DepthLanes(start, step, index, maxValue);
}

[[gnu::always_inline]] inline int Bits(I4 mask) { return _mm_movemask_ps((__m128)mask); }

[[gnu::always_inline]] inline I4 Gather(const uint32_t* base, I4 index) {
  return I4{static_cast<int32_t>(base[index[0]]), static_cast<int32_t>(base[index[1]]),
            static_cast<int32_t>(base[index[2]]), static_cast<int32_t>(base[index[3]])};
}

// The words of lanes in `bits` (the others read 0), and writes of those lanes only: nothing
// outside them is touched, so a group may end past a row's pixels or a tile's.
[[gnu::always_inline]] inline I4 LoadLanes(const uint32_t* p, int bits, I4) {
  if (bits == 15) {
    I4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
  }
  I4 v{};
  for (int k = 0; k < 4; ++k) {
    if ((bits >> k) & 1) v[k] = static_cast<int32_t>(p[k]);
  }
  return v;
}

[[gnu::always_inline]] inline void StoreLanes(uint32_t* p, I4 v, int bits, I4) {
  if (bits == 15) {
    std::memcpy(p, &v, sizeof v);
    return;
  }
  for (int k = 0; k < 4; ++k) {
    if ((bits >> k) & 1) p[k] = static_cast<uint32_t>(v[k]);
  }
}

// The smallest and the largest lane.
[[gnu::always_inline]] inline int32_t LeastLane(I4 v) {
  const int32_t a = v[0] < v[1] ? v[0] : v[1], b = v[2] < v[3] ? v[2] : v[3];
  return a < b ? a : b;
}
[[gnu::always_inline]] inline int32_t MostLane(I4 v) { return -LeastLane(-v); }

// base[index] on each lane: with reach 0 for indices below N, read from the N words at base;
// with reach 1, below 2 N, from the 2 N words there; else gathered. (Four lanes always gather.)
template <int kReach>
[[gnu::always_inline]] inline I4 GatherNear(const uint32_t* base, I4 index) { return Gather(base, index); }

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

[[gnu::always_inline]] inline I8 DepthLanesUpTo(int, double start, double step, I8 index, uint32_t maxValue) {
  return DepthLanes(start, step, index, maxValue);
}

[[gnu::always_inline]] inline int Bits(I8 mask) { return _mm256_movemask_ps((__m256)mask); }

[[gnu::always_inline]] inline I8 Gather(const uint32_t* base, I8 index) {
  return (I8)_mm256_i32gather_epi32(reinterpret_cast<const int*>(base), (__m256i)index, 4);
}

[[gnu::always_inline]] inline I8 LoadLanes(const uint32_t* p, int bits, I8 mask) {
  if (bits == 0xFF) return (I8)_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  return (I8)_mm256_maskload_epi32(reinterpret_cast<const int*>(p), (__m256i)mask);
}

[[gnu::always_inline]] inline void StoreLanes(uint32_t* p, I8 v, int bits, I8 mask) {
  if (bits == 0xFF) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), (__m256i)v);
  } else {
    _mm256_maskstore_epi32(reinterpret_cast<int*>(p), (__m256i)mask, (__m256i)v);
  }
}

[[gnu::always_inline]] inline int32_t LeastLane(I8 v) {
  __m128i m = _mm_min_epi32(_mm256_castsi256_si128((__m256i)v), _mm256_extracti128_si256((__m256i)v, 1));
  m = _mm_min_epi32(m, _mm_shuffle_epi32(m, _MM_SHUFFLE(1, 0, 3, 2)));
  return _mm_cvtsi128_si32(_mm_min_epi32(m, _mm_shuffle_epi32(m, _MM_SHUFFLE(2, 3, 0, 1))));
}
[[gnu::always_inline]] inline int32_t MostLane(I8 v) {
  __m128i m = _mm_max_epi32(_mm256_castsi256_si128((__m256i)v), _mm256_extracti128_si256((__m256i)v, 1));
  m = _mm_max_epi32(m, _mm_shuffle_epi32(m, _MM_SHUFFLE(1, 0, 3, 2)));
  return _mm_cvtsi128_si32(_mm_max_epi32(m, _mm_shuffle_epi32(m, _MM_SHUFFLE(2, 3, 0, 1))));
}

// Word k (0 to 15) of the sixteen at `window`, on each lane.
[[gnu::always_inline]] inline I8 Window16(const uint32_t* window, I8 k) {
  const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(window));
  const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(window + 8));
  const I8 fromLow = (I8)_mm256_permutevar8x32_epi32(low, (__m256i)k);
  const I8 fromHigh = (I8)_mm256_permutevar8x32_epi32(high, (__m256i)k);
  return k > 7 ? fromHigh : fromLow;
}

template <int kReach>
[[gnu::always_inline]] inline I8 GatherNear(const uint32_t* base, I8 index) {
  if constexpr (kReach == 0) {
    return (I8)_mm256_permutevar8x32_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(base)), (__m256i)index);
  } else if constexpr (kReach == 1) {
    return Window16(base, index);
  } else {
    return Gather(base, index);
  }
}

// Pixels 0-3 in p0 and 4-7 in p1 as pairs (a, b): the a's and the b's in lane order.
[[gnu::always_inline]] inline void Unpair(__m256i p0, __m256i p1, I8* a, I8* b) {
  const __m256 s0 = _mm256_shuffle_ps(_mm256_castsi256_ps(p0), _mm256_castsi256_ps(p1), _MM_SHUFFLE(2, 0, 2, 0));
  const __m256 s1 = _mm256_shuffle_ps(_mm256_castsi256_ps(p0), _mm256_castsi256_ps(p1), _MM_SHUFFLE(3, 1, 3, 1));
  *a = (I8)_mm256_permute4x64_epi64(_mm256_castps_si256(s0), _MM_SHUFFLE(3, 1, 2, 0));
  *b = (I8)_mm256_permute4x64_epi64(_mm256_castps_si256(s1), _MM_SHUFFLE(3, 1, 2, 0));
}

// The texels at indices a and b and the ones after them, by gathering 64-bit pairs.
[[gnu::always_inline]] inline void PairTexels(const FastLevel& level, I8 a, I8 b, I8* t00, I8* t10, I8* t01, I8* t11) {
  const long long* base = reinterpret_cast<const long long*>(level.texels);
  Unpair(_mm256_i32gather_epi64(base, _mm256_castsi256_si128((__m256i)a), 4),
         _mm256_i32gather_epi64(base, _mm256_extracti128_si256((__m256i)a, 1), 4), t00, t10);
  Unpair(_mm256_i32gather_epi64(base, _mm256_castsi256_si128((__m256i)b), 4),
         _mm256_i32gather_epi64(base, _mm256_extracti128_si256((__m256i)b, 1), 4), t01, t11);
}
#endif

#ifdef __AVX512F__
using I16 = Lanes<16>::I;
using F16 = Lanes<16>::F;

[[gnu::always_inline]] inline I16 TruncToInt(F16 f) { return (I16)_mm512_cvttps_epi32((__m512)f); }

[[gnu::always_inline]] inline I16 DepthLanes(double start, double step, I16 index, uint32_t maxValue) {
  const __m512i i = (__m512i)index;
  const __m512d lo = _mm512_cvtepi32_pd(_mm512_castsi512_si256(i));
  const __m512d hi = _mm512_cvtepi32_pd(_mm512_extracti64x4_epi64(i, 1));
  const __m512d s = _mm512_set1_pd(start), d = _mm512_set1_pd(step);
  const __m512d zLo = _mm512_add_pd(s, _mm512_mul_pd(d, lo)), zHi = _mm512_add_pd(s, _mm512_mul_pd(d, hi));
  const __m512d scale = _mm512_set1_pd(static_cast<double>(maxValue)), half = _mm512_set1_pd(0.5);
  const __m512i q = _mm512_inserti64x4(
      _mm512_castsi256_si512(_mm512_cvttpd_epi32(_mm512_add_pd(_mm512_mul_pd(zLo, scale), half))),
      _mm512_cvttpd_epi32(_mm512_add_pd(_mm512_mul_pd(zHi, scale), half)), 1);
  auto both = [](__mmask8 low, __mmask8 high) { return static_cast<__mmask16>(low | (high << 8)); };
  const __mmask16 positive = both(_mm512_cmp_pd_mask(zLo, _mm512_setzero_pd(), _CMP_GT_OQ),
                                  _mm512_cmp_pd_mask(zHi, _mm512_setzero_pd(), _CMP_GT_OQ));
  const __mmask16 full = both(_mm512_cmp_pd_mask(zLo, _mm512_set1_pd(1.0), _CMP_GE_OQ),
                              _mm512_cmp_pd_mask(zHi, _mm512_set1_pd(1.0), _CMP_GE_OQ));
  return (I16)_mm512_mask_mov_epi32(_mm512_maskz_mov_epi32(positive, q), full,
                                    _mm512_set1_epi32(static_cast<int>(maxValue)));
}

// DepthLanes for lanes below `count` (the others may read anything): a row of at most eight
// pixels needs only the low eight, half the double-precision work.
[[gnu::always_inline]] inline I16 DepthLanesUpTo(int count, double start, double step, I16 index, uint32_t maxValue) {
  if (count > 8) return DepthLanes(start, step, index, maxValue);
  const __m512d z = _mm512_add_pd(_mm512_set1_pd(start),
                                  _mm512_mul_pd(_mm512_set1_pd(step), _mm512_cvtepi32_pd(_mm512_castsi512_si256((__m512i)index))));
  const __m256i q = _mm512_cvttpd_epi32(
      _mm512_add_pd(_mm512_mul_pd(z, _mm512_set1_pd(static_cast<double>(maxValue))), _mm512_set1_pd(0.5)));
  const __mmask8 positive = _mm512_cmp_pd_mask(z, _mm512_setzero_pd(), _CMP_GT_OQ);
  const __mmask8 full = _mm512_cmp_pd_mask(z, _mm512_set1_pd(1.0), _CMP_GE_OQ);
  const __m256i low = _mm256_mask_mov_epi32(_mm256_maskz_mov_epi32(positive, q), full,
                                            _mm256_set1_epi32(static_cast<int>(maxValue)));
  return (I16)_mm512_zextsi256_si512(low);
}

[[gnu::always_inline]] inline int Bits(I16 mask) { return _mm512_movepi32_mask((__m512i)mask); }

[[gnu::always_inline]] inline I16 Gather(const uint32_t* base, I16 index) {
  return (I16)_mm512_i32gather_epi32((__m512i)index, reinterpret_cast<const int*>(base), 4);
}

// As the narrower ones: the lanes in `bits` only, nothing outside them read or written.
[[gnu::always_inline]] inline I16 LoadLanes(const uint32_t* p, int bits, I16) {
  return (I16)_mm512_maskz_loadu_epi32(static_cast<__mmask16>(bits), p);
}

[[gnu::always_inline]] inline void StoreLanes(uint32_t* p, I16 v, int bits, I16) {
  _mm512_mask_storeu_epi32(p, static_cast<__mmask16>(bits), (__m512i)v);
}

[[gnu::always_inline]] inline int32_t LeastLane(I16 v) { return _mm512_reduce_min_epi32((__m512i)v); }
[[gnu::always_inline]] inline int32_t MostLane(I16 v) { return _mm512_reduce_max_epi32((__m512i)v); }

// Word k (0 to 31) of the thirty-two at `window`, on each lane.
[[gnu::always_inline]] inline I16 Window32(const uint32_t* window, I16 k) {
  return (I16)_mm512_permutex2var_epi32(_mm512_loadu_si512(window), (__m512i)k, _mm512_loadu_si512(window + 16));
}

template <int kReach>
[[gnu::always_inline]] inline I16 GatherNear(const uint32_t* base, I16 index) {
  if constexpr (kReach == 0) {
    return (I16)_mm512_permutexvar_epi32((__m512i)index, _mm512_loadu_si512(base));
  } else if constexpr (kReach == 1) {
    return Window32(base, index);
  } else {
    return Gather(base, index);
  }
}

// Pixels 0-7 in p0 and 8-15 in p1 as pairs (a, b): the a's and the b's in lane order.
[[gnu::always_inline]] inline void Unpair(__m512i p0, __m512i p1, I16* a, I16* b) {
  const __m512i even = _mm512_set_epi32(30, 28, 26, 24, 22, 20, 18, 16, 14, 12, 10, 8, 6, 4, 2, 0);
  *a = (I16)_mm512_permutex2var_epi32(p0, even, p1);
  *b = (I16)_mm512_permutex2var_epi32(p0, _mm512_add_epi32(even, _mm512_set1_epi32(1)), p1);
}

[[gnu::always_inline]] inline void PairTexels(const FastLevel& level, I16 a, I16 b, I16* t00, I16* t10, I16* t01,
                                              I16* t11) {
  const long long* base = reinterpret_cast<const long long*>(level.texels);
  Unpair(_mm512_i32gather_epi64(_mm512_castsi512_si256((__m512i)a), base, 4),
         _mm512_i32gather_epi64(_mm512_extracti64x4_epi64((__m512i)a, 1), base, 4), t00, t10);
  Unpair(_mm512_i32gather_epi64(_mm512_castsi512_si256((__m512i)b), base, 4),
         _mm512_i32gather_epi64(_mm512_extracti64x4_epi64((__m512i)b, 1), base, 4), t01, t11);
}
#endif

// --- Texel windows, shared by the eight- and sixteen-lane kernels.

#ifdef __AVX2__
// Texel k of the window at column `start` of each lane's row y, where the rows are row
// `first` and maybe the next: one window per row, each lane taking its own row's.
template <class I, I (*kWindow)(const uint32_t*, I)>
[[gnu::always_inline]] inline I FromRows(const FastLevel& level, I y, int first, bool oneRow, int start, I k) {
  const uint32_t* window = level.texels + static_cast<size_t>(first) * level.pitchWords + start;
  const I fromFirst = kWindow(window, k);
  if (oneRow) return fromFirst;
  return y == first ? fromFirst : kWindow(window + level.pitchWords, k);
}

// The four texels bilinear filtering blends, read from one window of kSpan texels per row,
// when the lanes lie close together on at most two neighbouring rows (a magnified texture,
// or one drawn texel for pixel, clamped at the edge or not); false where they do not.
template <class I, I (*kWindow)(const uint32_t*, I), int kSpan>
[[gnu::always_inline]] inline bool WindowTexels(const FastLevel& level, I xa, I xb, I ya, I yb, I* t00, I* t10, I* t01,
                                                I* t11) {
  const int width = static_cast<int>(level.width);
  if (width < kSpan) return false;
  const int yaFirst = LeastLane(ya), yaLast = MostLane(ya), ybFirst = LeastLane(yb), ybLast = MostLane(yb);
  if (yaLast - yaFirst > 1 || ybLast - ybFirst > 1) return false;
  const int xMin = LeastLane(xa < xb ? xa : xb), xMax = MostLane(xa < xb ? xb : xa);
  const int start = xMin < width - kSpan ? xMin : width - kSpan;  // the window stays inside the row
  if (xMax - start > kSpan - 1) return false;
  const I left = xa - start, right = xb - start;
  *t00 = FromRows<I, kWindow>(level, ya, yaFirst, yaFirst == yaLast, start, left);
  *t10 = FromRows<I, kWindow>(level, ya, yaFirst, yaFirst == yaLast, start, right);
  *t01 = FromRows<I, kWindow>(level, yb, ybFirst, ybFirst == ybLast, start, left);
  *t11 = FromRows<I, kWindow>(level, yb, ybFirst, ybFirst == ybLast, start, right);
  return true;
}

// From a window where the lanes lie close together; else, where every right texel is its left
// one's neighbour in memory, by gathering 64-bit pairs; else one by one.
template <class I, I (*kWindow)(const uint32_t*, I), int kSpan>
[[gnu::always_inline]] inline void WideQuadTexels(const FastLevel& level, I xa, I xb, I ya, I yb, I* t00, I* t10,
                                                  I* t01, I* t11) {
  if (WindowTexels<I, kWindow, kSpan>(level, xa, xb, ya, yb, t00, t10, t01, t11)) return;
  const int32_t pitch = static_cast<int32_t>(level.pitchWords);
  const I rowA = ya * pitch, rowB = yb * pitch;
  if (Bits(xb == xa + 1) != (1 << (sizeof(I) / 4)) - 1) {
    *t00 = Gather(level.texels, rowA + xa);
    *t10 = Gather(level.texels, rowA + xb);
    *t01 = Gather(level.texels, rowB + xa);
    *t11 = Gather(level.texels, rowB + xb);
    return;
  }
  PairTexels(level, rowA + xa, rowB + xa, t00, t10, t01, t11);
}

[[gnu::always_inline]] inline void QuadTexels(const FastLevel& level, I8 xa, I8 xb, I8 ya, I8 yb, I8* t00,
                                              I8* t10, I8* t01, I8* t11) {
  WideQuadTexels<I8, Window16, 16>(level, xa, xb, ya, yb, t00, t10, t01, t11);
}
#endif

#ifdef __AVX512F__
[[gnu::always_inline]] inline void QuadTexels(const FastLevel& level, I16 xa, I16 xb, I16 ya, I16 yb, I16* t00,
                                              I16* t10, I16* t01, I16* t11) {
  WideQuadTexels<I16, Window32, 32>(level, xa, xb, ya, yb, t00, t10, t01, t11);
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

// The lanes' mask for the lane bits in `bits`.
template <class I>
[[gnu::always_inline]] inline I MaskOf(int bits) {
  return (Splat<I>(bits) & LaneBits<I>()) != 0;
}

// The values of one triangle at the first pixel it covers on a row (planes.h: value at the
// reference point plus the steps), as the general code works them out.
struct RowStart {
  float q, u, v;
  float diffuse[4];  // r, g, b, a times 1/w
  double z;
};

[[gnu::always_inline]] inline RowStart StartOfRow(const Triangle& t, const float* planes, int texSlot, int y,
                                                  int xBase) {
  const float fy = static_cast<float>(y) - t.refY;
  const float fx0 = static_cast<float>(xBase) - t.refX;
  auto start = [&](const float* p) { return p[0] + p[1] * fx0 + p[2] * fy; };
  RowStart r;
  r.q = start(planes);
  for (int c = 0; c < 4; ++c) r.diffuse[c] = t.flatColour ? 0.0f : start(planes + 3 * (1 + kDiffuseSlot + c));
  r.u = texSlot >= 0 ? start(planes + 3 * (1 + texSlot)) : 0.0f;
  r.v = texSlot >= 0 ? start(planes + 3 * (2 + texSlot)) : 0.0f;
  r.z = t.z0 + t.zdx * (static_cast<double>(xBase) - t.refX) + t.zdy * (static_cast<double>(y) - t.refY);
  return r;
}

// Where N pixels take their values from: per lane, the pixel's offset from the first pixel
// its triangle covers on its row, that triangle's values there and its planes' steps.
template <int N>
struct Interpolants {
  using I = typename Lanes<N>::I;
  using F = typename Lanes<N>::F;
  F i;
  I affine;  // lanes whose triangle has one 1/w ...
  F wConst;  // ... and its reciprocal
  F q, qx, qy;
  F u, ux, uy, v, vx, vy;
  I flat;  // lanes whose triangle has one colour ...
  I flatDiffuse;  // ... that one
  F diffuse[4], diffuseX[4];

  // Every lane takes the triangle's values at a row start (what the triangle does not use
  // is left unset).
  void Take(const Triangle& t, const float* planes, int texSlot, const RowStart& r) {
    auto set = [&](F* field, float value) { *field = Splat<F>(value); };
    affine = Splat<I>(t.affine ? -1 : 0);
    set(&wConst, t.wConst);
    set(&q, r.q);
    set(&qx, planes[1]);
    set(&qy, planes[2]);
    if (texSlot >= 0) {
      const float* pu = planes + 3 * (1 + texSlot);
      set(&u, r.u);
      set(&ux, pu[1]);
      set(&uy, pu[2]);
      set(&v, r.v);
      set(&vx, pu[4]);
      set(&vy, pu[5]);
    }
    flat = Splat<I>(t.flatColour ? -1 : 0);
    flatDiffuse = Splat<I>(static_cast<int32_t>(t.flatDiffuse));
    if (!t.flatColour) {
      for (int c = 0; c < 4; ++c) {
        set(&diffuse[c], r.diffuse[c]);
        set(&diffuseX[c], planes[3 * (1 + kDiffuseSlot + c) + 1]);
      }
    }
  }
};

// What the lane pass leaves for the pixel pass.
template <int N>
struct GroupLanes {
  using I = typename Lanes<N>::I;
  using F = typename Lanes<N>::F;
  F w, u, v, lod;
  // The level each pixel reads first, and the weight by which it blends in the next one (0:
  // it reads one level only).
  I level, frac;
  // The top level's texel positions and weights, once worked out (for the alpha cut).
  bool topKnown = false;
  I topX, topY, topWu, topWv;
};

// The lane and pixel passes under one pixel state.
template <int N, bool kTextured>
class LaneShader {
  using I = typename Lanes<N>::I;
  using F = typename Lanes<N>::F;

 public:
  explicit LaneShader(const PixelState& ps) : ps_(ps), f_(ps.fast), st_(ps.stages[0]) {}

  GroupLanes<N> LanePass(const Interpolants<N>& p) const {
    GroupLanes<N> g;
    g.w = p.affine ? p.wConst : 1.0f / (p.q + p.qx * p.i);
    if (!kTextured) return g;
    g.u = (p.u + p.ux * p.i) * g.w;
    g.v = (p.v + p.vx * p.i) * g.w;
    g.lod = F{};
    if (f_.lodPerPixel) {
      // d(u)/dx = (dU/dx - u dq/dx) / q for U = u q, in texels of the top level.
      auto d = [&](F step, F c, F q, float size) { return ((step - c * q) * g.w) * size; };
      const F dudx = d(p.ux, g.u, p.qx, f_.topWidth), dudy = d(p.uy, g.u, p.qy, f_.topWidth);
      const F dvdx = d(p.vx, g.v, p.qx, f_.topHeight), dvdy = d(p.vy, g.v, p.qy, f_.topHeight);
      const F rx = dudx * dudx + dvdx * dvdx, ry = dudy * dudy + dvdy * dvdy;
      g.lod = 0.5f * FastLog2Lanes<F, I>(rx > ry ? rx : ry) + st_.lodBias;
    }
    // The level each pixel reads first, the next one, and the weight between them, as
    // SampleStage chooses them; with both filters alike every pixel is "this level, blended
    // with the next by frac", frac 0 where only one level is read.
    const int last = st_.levelCount - 1;
    g.level = I{};
    g.frac = I{};
    if (f_.lodPerPixel && last > 0) {
      const I positive = g.lod > 0.0f;
      if (st_.mipFilter == D3DTEXF_POINT) {
        const I nearest = Min(TruncToInt(g.lod + 0.5f), Splat<I>(last));
        g.level = g.lod >= 64.0f ? Splat<I>(last) : nearest;
      } else {
        const I whole = TruncToInt(g.lod);
        const I between = TruncToInt((g.lod - __builtin_convertvector(whole, F)) * 256.0f);
        const I beyond = g.lod >= static_cast<float>(last);
        g.level = beyond ? Splat<I>(last) : whole;
        g.frac = beyond ? I{} : between;
      }
      g.level = positive ? g.level : I{};
      g.frac = positive ? g.frac : I{};
    }
    return g;
  }

  // The filtered texels of the lanes in `active` (the others may hold anything): the pixels
  // reading one level first are filtered together, one level after the other.
  I Texels(const GroupLanes<N>& g, int active) const {
    I texel{};
    if (f_.sampling == Sampling::kEachPixel) {
      for (int k = 0; k < N; ++k) {
        if ((active >> k) & 1) {
          texel[k] = static_cast<int32_t>(SampleTexel(ps_, g.u[k], g.v[k], f_.lodPerPixel ? g.lod[k] : 0.0f));
        }
      }
      return texel;
    }
    const int last = st_.levelCount - 1;
    for (int remaining = active; remaining != 0;) {
      const int level = g.level[__builtin_ctz(static_cast<unsigned>(remaining))];
      const int bits = remaining & Bits(g.level == level);
      I x, y, wu, wv;
      if (level == 0 && g.topKnown) {
        x = g.topX;
        y = g.topY;
        wu = g.topWu;
        wv = g.topWv;
      } else {
        Positions(f_.levels[level], g.u, g.v, &x, &y, &wu, &wv);
      }
      I filtered = Filter(level, x, y, wu, wv, bits);
      if (f_.twoLevels && (Bits(g.frac != 0) & bits) != 0) {
        const int next = level < last ? level + 1 : last;
        Positions(f_.levels[next], g.u, g.v, &x, &y, &wu, &wv);
        filtered = Lerp8Lanes(filtered, Filter(next, x, y, wu, wv, bits), g.frac);
      }
      texel = bits == active ? filtered : (MaskOf<I>(bits) ? filtered : texel);
      remaining &= ~bits;
    }
    return texel;
  }

  // The interpolated diffuse colour, or each lane's flat one.
  I Diffuse(const Interpolants<N>& p, F w, bool anyInterpolated) const {
    if (!anyInterpolated) return p.flatDiffuse;
    auto channel = [&](int c) { return ToByteLanes<F, I>((p.diffuse[c] + p.diffuseX[c] * p.i) * w); };
    const I interpolated = (channel(3) << 24) | (channel(0) << 16) | (channel(1) << 8) | channel(2);
    return p.flat ? p.flatDiffuse : interpolated;
  }

  // Pixels whose texels all have too little alpha for the alpha test (lanes past the span
  // only widen the area looked at): their bits in `active` cleared. Only the top level is read.
  // Along a row of a triangle with one 1/w the positions only grow or only shrink, so the end
  // lanes bound them.
  int CutByAlpha(GroupLanes<N>* lanes, uint32_t alphaCut, bool monotonic, int active) const {
    GroupLanes<N>& g = *lanes;
    Positions(f_.levels[0], g.u, g.v, &g.topX, &g.topY, &g.topWu, &g.topWv);
    g.topKnown = true;
    const I x = g.topX, y = g.topY;
    int xMin, xMax, yMin, yMax;
    if (monotonic) {
      xMin = x[0] < x[N - 1] ? x[0] : x[N - 1];
      xMax = x[0] < x[N - 1] ? x[N - 1] : x[0];
      yMin = y[0] < y[N - 1] ? y[0] : y[N - 1];
      yMax = y[0] < y[N - 1] ? y[N - 1] : y[0];
    } else {
      xMin = LeastLane(x);
      xMax = MostLane(x);
      yMin = LeastLane(y);
      yMax = MostLane(y);
    }
    return BlockMaxAlpha(f_, xMin, xMax, yMin, yMax, N) < alphaCut ? 0 : active;
  }

 private:
  void Positions(const FastLevel& level, F u, F v, I* x, I* y, I* wu, I* wv) const {
    if (f_.sampling == Sampling::kBilinear) {
      BilinearAxis<F, I>(u, static_cast<float>(level.width), x, wu);
      BilinearAxis<F, I>(v, static_cast<float>(level.height), y, wv);
    } else {
      F safe;
      *x = FloorSafe<F, I>(u * static_cast<float>(level.width), &safe);
      *y = FloorSafe<F, I>(v * static_cast<float>(level.height), &safe);
      *wu = *wv = I{};
    }
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

  [[gnu::always_inline]] I Filter(int levelIndex, I x, I y, I wu, I wv, int active) const {
    const FastLevel& level = f_.levels[levelIndex];
    if (active != kAllLanes) {
      // Lanes outside `active` take the first active lane's position: their pixels are not
      // drawn, and so they widen no window and need no texel read one by one.
      const int lead = __builtin_ctz(static_cast<unsigned>(active));
      const I keep = MaskOf<I>(active);
      x = keep ? x : Splat<I>(x[lead]);
      y = keep ? y : Splat<I>(y[lead]);
    }
    I xa, xb, ya, yb;
    if (!Address(x, level.width, f_.wrapU, &xa, &xb) || !Address(y, level.height, f_.wrapV, &ya, &yb)) {
      I texel{};
      for (int k = 0; k < N; ++k) {
        if (!((active >> k) & 1)) continue;
        texel[k] = static_cast<int32_t>(f_.sampling == Sampling::kBilinear
                                            ? BilinearTexel(ps_, levelIndex, x[k], y[k], static_cast<uint32_t>(wu[k]),
                                                            static_cast<uint32_t>(wv[k]))
                                            : PointTexel(ps_, levelIndex, x[k], y[k]));
      }
      return texel;
    }
    const I opaque = Splat<I>(f_.opaqueTexels ? static_cast<int32_t>(0xFF000000u) : 0);
    const int32_t pitch = static_cast<int32_t>(level.pitchWords);
    if (f_.sampling == Sampling::kPoint) return Gather(level.texels, ya * pitch + xa) | opaque;
    I t00, t10, t01, t11;
    QuadTexels(level, xa, xb, ya, yb, &t00, &t10, &t01, &t11);
    const I top = Lerp8Lanes(t00 | opaque, t10 | opaque, wu);
    const I bottom = Lerp8Lanes(t01 | opaque, t11 | opaque, wu);
    return Lerp8Lanes(top, bottom, wv);
  }

  static constexpr int kAllLanes = (1 << N) - 1;

  const PixelState& ps_;
  const FastSetup& f_;
  const StageSetup& st_;
};

constexpr uint32_t kDepthMax = (1u << 24) - 1;  // D24X8

// Forward rows: every pixel tested, shaded, blended and written as its row is walked.
template <int N, bool kTextured, bool kDepth, BlendKind kBlend>
class RowKernel {
  using I = typename Lanes<N>::I;
  using F = typename Lanes<N>::F;

 public:
  explicit RowKernel(const FastTriangle& ft)
      : ft_(ft), ps_(*ft.ps), f_(ps_.fast), t_(*ft.t), shader_(ps_) {
    const int texSlot = kTextured ? ps_.stages[0].texSlot : -1;
    texSlot_ = texSlot;
  }

  void Shade(const SpanRow& row) {
    const RowStart r = StartOfRow(t_, ft_.planes, texSlot_, row.y, row.xBase);
    Interpolants<N> p;  // not zeroed: 1.4 KB in sixteen lanes, and Take sets all the row reads
    p.Take(t_, ft_.planes, texSlot_, r);
    uint32_t* colourRow = RowOf(ps_.target, row.y);
    uint32_t* depthRow = kDepth ? RowOf(ps_.depth, row.y) : nullptr;
    const I iota = Iota<I>();
    for (int runStart = row.x0; runStart < row.x1; runStart += kRun) {
      const int runEnd = row.x1 - runStart < kRun ? row.x1 : runStart + kRun;
      if (cutBudget_ > 0 && SkipRunByAlpha(r, runStart - row.xBase, runEnd - runStart)) continue;
      for (int x = runStart; x < runEnd; x += N) {
        const int count = runEnd - x < N ? runEnd - x : N;
        int bits = (1 << count) - 1;
        const I index = Splat<I>(x - row.xBase) + iota;
        p.i = __builtin_convertvector(index, F);
        I depth{};
        if (kDepth) {
          depth = DepthLanesUpTo(count, r.z, t_.zdx, index, kDepthMax);
          const I stored = ShiftRight(LoadLanes(depthRow + x, bits, MaskOf<I>(bits)), 8);
          bits &= Bits(CompareLanes(ps_.zFunc, depth, stored));
          if (bits == 0) continue;
        }
        GroupLanes<N> g = shader_.LanePass(p);
        I colour = shader_.Diffuse(p, g.w, !t_.flatColour);
        if (kTextured) {
          if (ft_.alphaCut != 0 && f_.alphaBlocks != nullptr && cutBudget_ > 0) {
            bits = shader_.CutByAlpha(&g, ft_.alphaCut, t_.affine, bits);
            cutBudget_ = bits == 0 ? (cutBudget_ < 64 ? cutBudget_ + 3 : 64) : cutBudget_ - 1;
            if (bits == 0) continue;
          }
          const I texel = shader_.Texels(g, bits);
          if (ft_.colourFrom == ft_.alphaFrom) {
            colour = FromLanes(ft_.colourFrom, texel, colour);
          } else {
            colour = (FromLanes(ft_.colourFrom, texel, colour) & 0x00FFFFFF) |
                     (FromLanes(ft_.alphaFrom, texel, colour) & static_cast<int32_t>(0xFF000000u));
          }
        }
        if (ps_.alphaTest) {
          bits &= Bits(CompareLanes(ps_.alphaFunc, ShiftRight(colour, 24), Splat<I>(ps_.alphaRef)));
          if (bits == 0) continue;
        }
        const I mask = MaskOf<I>(bits);
        if (kDepth && ps_.zWrite) StoreLanes(depthRow + x, (depth << 8) | 0xFF, bits, mask);
        if (kBlend != BlendKind::kNone) colour = Blend(colour, LoadLanes(colourRow + x, bits, mask), bits);
        StoreLanes(colourRow + x, colour, bits, mask);
      }
    }
  }

 private:
  static uint32_t* RowOf(IDirect3DSurface8* surface, int y) {
    return reinterpret_cast<uint32_t*>(surface->bits_.data() + static_cast<size_t>(y) * surface->pitch_);
  }

  I Blend(I colour, I dest, int bits) const {
    dest |= static_cast<int32_t>(f_.destAlpha);
    if (kBlend == BlendKind::kAlpha) return BlendAlphaLanes(colour, dest, ShiftRight(colour, 24));
    for (int k = 0; k < N; ++k) {
      if ((bits >> k) & 1) {
        colour[k] = static_cast<int32_t>(BlendAny(ps_, static_cast<uint32_t>(colour[k]), static_cast<uint32_t>(dest[k])));
      }
    }
    return colour;
  }

  // With the same 1/w all over the triangle, each step along the row moves the texture
  // coordinates one way only (every rounding keeps the order), so the run's texel positions
  // lie between those of its end pixels: a run whose blocks all have too little alpha is
  // left out at once.
  bool SkipRunByAlpha(const RowStart& r, int first, int count) const {
    if (!kTextured || ft_.alphaCut == 0 || f_.alphaBlocks == nullptr || !t_.affine) return false;
    const float* pu = ft_.planes + 3 * (1 + texSlot_);
    auto position = [&](float start, float step, int i, float size) {
      const float c = (start + step * static_cast<float>(i)) * t_.wConst;
      return FloorToInt(SafeCoord(c * size - 0.5f));
    };
    const int last = first + count - 1;
    const int xa = position(r.u, pu[1], first, f_.topWidth), xb = position(r.u, pu[1], last, f_.topWidth);
    const int ya = position(r.v, pu[4], first, f_.topHeight), yb = position(r.v, pu[4], last, f_.topHeight);
    return BlockMaxAlpha(f_, xa < xb ? xa : xb, xa < xb ? xb : xa, ya < yb ? ya : yb, ya < yb ? yb : ya, 16) <
           ft_.alphaCut;
  }

  static constexpr int kRun = 64;  // pixels whose alpha blocks are looked at together

  const FastTriangle& ft_;
  const PixelState& ps_;
  const FastSetup& f_;
  const Triangle& t_;
  const LaneShader<N, kTextured> shader_;
  int texSlot_;
  // Alpha-block looks left: a look that finds too little alpha earns three more, one that
  // does not costs one, so where fewer than a quarter of the looks pay they stop for the rest
  // of the triangle in this tile (they only ever save work, never change a pixel).
  int cutBudget_ = 8;
};

template <int N, bool kTextured, bool kDepth, BlendKind kBlend>
void ShadeRowsWith(const FastTriangle& ft, const SpanRow* rows, int count) {
  RowKernel<N, kTextured, kDepth, kBlend> kernel(ft);
  for (int i = 0; i < count; ++i) kernel.Shade(rows[i]);
}

template <int N, bool kTextured, bool kDepth>
void ShadeRowsByBlend(const FastTriangle& ft, const SpanRow* rows, int count) {
  switch (ft.ps->fast.blend) {
    case BlendKind::kNone: ShadeRowsWith<N, kTextured, kDepth, BlendKind::kNone>(ft, rows, count); break;
    case BlendKind::kAlpha: ShadeRowsWith<N, kTextured, kDepth, BlendKind::kAlpha>(ft, rows, count); break;
    default: ShadeRowsWith<N, kTextured, kDepth, BlendKind::kAny>(ft, rows, count); break;
  }
}

// Rows of one colour alpha-blended over the target, with no depth: the overlay veils and
// flashes. Alpha 0 gives round(d * 255 / 255) = d in every channel: nothing changes (an
// X8R8G8B8 target still has its unused byte written as 255, so it goes the long way).
template <int N>
void ConstantAlphaRows(const PixelState& ps, uint32_t colour, const SpanRow* rows, int count) {
  using I = typename Lanes<N>::I;
  const uint32_t destAlpha = ps.fast.destAlpha;
  if ((colour >> 24) == 0 && destAlpha == 0) return;
  const I source = Splat<I>(static_cast<int32_t>(colour)), alpha = Splat<I>(static_cast<int32_t>(colour >> 24));
  for (int i = 0; i < count; ++i) {
    const SpanRow& row = rows[i];
    uint32_t* pixels = reinterpret_cast<uint32_t*>(ps.target->bits_.data() + static_cast<size_t>(row.y) * ps.target->pitch_);
    for (int x = row.x0; x < row.x1; x += N) {
      const int n = row.x1 - x < N ? row.x1 - x : N;
      const int bits = (1 << n) - 1;
      const I mask = MaskOf<I>(bits);
      const I dest = LoadLanes(pixels + x, bits, mask) | static_cast<int32_t>(destAlpha);
      StoreLanes(pixels + x, BlendAlphaLanes(source, dest, alpha), bits, mask);
    }
  }
}

template <int N>
void ShadeRowsLanes(const FastTriangle& ft, const SpanRow* rows, int count) {
  const PixelState& ps = *ft.ps;
  if (ft.t->flatColour && !ps.fast.textured && ps.depth == nullptr && ps.fast.blend == BlendKind::kAlpha && !ps.alphaTest) {
    ConstantAlphaRows<N>(ps, ft.t->flatDiffuse, rows, count);
    return;
  }
  const bool depth = ft.ps->depth != nullptr;
  if (ft.ps->fast.textured) {
    depth ? ShadeRowsByBlend<N, true, true>(ft, rows, count) : ShadeRowsByBlend<N, true, false>(ft, rows, count);
  } else {
    depth ? ShadeRowsByBlend<N, false, true>(ft, rows, count) : ShadeRowsByBlend<N, false, false>(ft, rows, count);
  }
}

// Deferred rows: the depth test and write, and the winner of each pixel that passes. The
// triangle gets a record when it wins somewhere.
template <int N, bool kDepth>
void DepthRowsWith(const PixelState& ps, const Triangle& t, const float* planes, const SpanRow* rows, int count,
                   TileBatch* batch) {
  using I = typename Lanes<N>::I;
  const I iota = Iota<I>();
  const uint32_t record = batch->recordCount;
  const I recordLanes = Splat<I>(static_cast<int32_t>(record));
  int firstWon = kTilePixels, lastWon = -1;
  for (int i = 0; i < count; ++i) {
    int y = rows[i].y;
    // Kept in a general register: GCC otherwise moves y through memory into a vector register
    // for the subtraction below, and the wide load has to wait for the narrow store.
    asm("" : "+r"(y));
    const int rowBase = rows[i].xBase, x0 = rows[i].x0, x1 = rows[i].x1;
    const double z = t.z0 + t.zdx * (static_cast<double>(rowBase) - t.refX) +
                     t.zdy * (static_cast<double>(y) - t.refY);
    uint32_t* depthRow =
        kDepth ? reinterpret_cast<uint32_t*>(ps.depth->bits_.data() + static_cast<size_t>(y) * ps.depth->pitch_)
               : nullptr;
    const int r = y - batch->y0;
    const ptrdiff_t rowAt = static_cast<ptrdiff_t>(r) * kTilePixels - batch->x0;  // pixel x at rowAt + x
    uint32_t* winners = batch->winner + rowAt;
    uint32_t* xBases = reinterpret_cast<uint32_t*>(batch->xBase) + rowAt;
    const I xBase = Splat<I>(rowBase);
    int won = 0;
    for (int x = x0; x < x1; x += N) {
      const int n = x1 - x < N ? x1 - x : N;
      int bits = (1 << n) - 1;
      if (kDepth) {
        const I depth = DepthLanesUpTo(n, z, t.zdx, Splat<I>(x - rowBase) + iota, kDepthMax);
        const I stored = ShiftRight(LoadLanes(depthRow + x, bits, MaskOf<I>(bits)), 8);
        bits &= Bits(CompareLanes(ps.zFunc, depth, stored));
        if (bits == 0) continue;
        if (ps.zWrite) StoreLanes(depthRow + x, (depth << 8) | 0xFF, bits, MaskOf<I>(bits));
      }
      const I mask = MaskOf<I>(bits);
      StoreLanes(winners + x, recordLanes, bits, mask);
      StoreLanes(xBases + x, xBase, bits, mask);
      won |= bits;
    }
    if (won == 0) continue;
    firstWon = r < firstWon ? r : firstWon;
    lastWon = r;
  }
  if (lastWon < 0) return;
  if (batch->recordCount == batch->recordCapacity) GrowRecords(batch);
  uint32_t* const* fields = batch->fields;
  auto put = [&](int field, uint32_t value) { fields[field][record] = value; };
  auto putFloat = [&](int field, float value) { std::memcpy(fields[field] + record, &value, 4); };
  auto putPlane = [&](int field, const float* plane) {
    for (int k = 0; k < 3; ++k) putFloat(field + k, plane[k]);
  };
  put(TileBatch::kState, t.state);
  put(TileBatch::kFlags, t.flags);
  putFloat(TileBatch::kWConst, t.wConst);
  put(TileBatch::kFlatDiffuse, t.flatDiffuse);
  putFloat(TileBatch::kRefX, t.refX);
  putFloat(TileBatch::kRefY, t.refY);
  putPlane(TileBatch::kQ, planes);
  if (ps.fast.textured) {
    const float* pu = planes + 3 * (1 + ps.stages[0].texSlot);
    putPlane(TileBatch::kU, pu);
    putPlane(TileBatch::kV, pu + 3);
  }
  if (!t.flatColour) {  // a flat triangle's lanes take its one colour
    for (int c = 0; c < 4; ++c) putPlane(TileBatch::kDiffuse + 3 * c, planes + 3 * (1 + kDiffuseSlot + c));
  }
  ++batch->recordCount;
  batch->rowFirst = firstWon < batch->rowFirst ? firstWon : batch->rowFirst;
  batch->rowLast = lastWon > batch->rowLast ? lastWon : batch->rowLast;
}

template <int N>
void DepthRowsLanes(const PixelState& ps, const Triangle& t, const float* planes, const SpanRow* rows, int count,
                    TileBatch* batch) {
  if (ps.depth != nullptr) {
    DepthRowsWith<N, true>(ps, t, planes, rows, count, batch);
  } else {
    DepthRowsWith<N, false>(ps, t, planes, rows, count, batch);
  }
}

// Shades the lanes in `bits` of one group from their interpolants (i set) and writes them to
// `row` at the group's first pixel.
template <int N, bool kTextured>
void ShadeGroup(const PixelState& ps, const Interpolants<N>& p, bool anyInterpolated, uint32_t* row, int bits) {
  using I = typename Lanes<N>::I;
  const LaneShader<N, kTextured> shader(ps);
  const GroupLanes<N> g = shader.LanePass(p);
  I colour = shader.Diffuse(p, g.w, anyInterpolated);
  if (kTextured) {
    const I texel = shader.Texels(g, bits);
    const FastSetup& f = ps.fast;
    if (f.colourFrom == f.alphaFrom) {
      colour = FromLanes(f.colourFrom, texel, colour);
    } else {
      colour = (FromLanes(f.colourFrom, texel, colour) & 0x00FFFFFF) |
               (FromLanes(f.alphaFrom, texel, colour) & static_cast<int32_t>(0xFF000000u));
    }
  }
  StoreLanes(row, colour, bits, MaskOf<I>(bits));
}

template <int N>
void ShadeGroupOf(const PixelState& ps, const Interpolants<N>& p, bool anyInterpolated, uint32_t* row, int bits) {
  if (ps.fast.textured) {
    ShadeGroup<N, true>(ps, p, anyInterpolated, row, bits);
  } else {
    ShadeGroup<N, false>(ps, p, anyInterpolated, row, bits);
  }
}

// Where the lanes of a group read their records: from a window of each field's array at
// the group's lowest record where the records lie close together, else gathered. How far
// the window reaches is chosen once per group, and the reads are made for that reach alone,
// so the choice costs one branch, not one per field.
template <int N>
struct RecordLanes {
  using I = typename Lanes<N>::I;
  using F = typename Lanes<N>::F;
  const TileBatch& batch;
  uint32_t first;  // the lowest record read
  int reach;       // 0: the records lie within N of `first`, 1: within 2 N, 2: further apart
  I offset;        // each lane's record less `first` (0 on lanes outside the group)

  // The lanes in `bits` (records in ids), or all of them reading record `only`.
  RecordLanes(const TileBatch& b, I ids, int bits) : batch(b) {
    const I mask = MaskOf<I>(bits);
    const int32_t least = LeastLane(mask ? ids : Splat<I>(INT32_MAX));
    const int span = MostLane(mask ? ids : Splat<I>(least)) - least + 1;
    first = static_cast<uint32_t>(least);
    reach = span <= N ? 0 : (span <= 2 * N ? 1 : 2);
    offset = mask ? ids - least : I{};
  }
  RecordLanes(const TileBatch& b, uint32_t only) : batch(b), first(only), reach(0), offset{} {}

  template <int kReach>
  I Field(int field) const {
    return GatherNear<kReach>(batch.fields[field] + first, offset);
  }
  template <int kReach>
  F FloatField(int field) const {
    return (F)Field<kReach>(field);
  }
};

// The records of the lanes of a group that share a pixel state, and the values they give
// each pixel.
template <int N>
struct RecordValues {
  using I = typename Lanes<N>::I;
  using F = typename Lanes<N>::F;
  I affine, flat, flatDiffuse;
  F wConst, refX, refY;
  F q[3], u[3], v[3], diffuse[4][3];
  bool textured = false, anyInterpolated = false;

  template <int kReach>
  void Read(const RecordLanes<N>& records, bool withTexture, int bits) {
    textured = withTexture;
    const I flags = records.template Field<kReach>(TileBatch::kFlags);
    affine = (flags & static_cast<int32_t>(kAffine)) != 0;
    flat = (flags & static_cast<int32_t>(kFlatColour)) != 0;
    wConst = records.template FloatField<kReach>(TileBatch::kWConst);
    flatDiffuse = records.template Field<kReach>(TileBatch::kFlatDiffuse);
    refX = records.template FloatField<kReach>(TileBatch::kRefX);
    refY = records.template FloatField<kReach>(TileBatch::kRefY);
    auto plane = [&](int field, F* out) {
      for (int k = 0; k < 3; ++k) out[k] = records.template FloatField<kReach>(field + k);
    };
    plane(TileBatch::kQ, q);
    if (textured) {
      plane(TileBatch::kU, u);
      plane(TileBatch::kV, v);
    }
    anyInterpolated = (Bits(flat) & bits) != bits;
    if (anyInterpolated) {
      for (int c = 0; c < 4; ++c) plane(TileBatch::kDiffuse + 3 * c, diffuse[c]);
    }
  }

  // The interpolants of pixels x, x + 1, ... of row y whose rows start at xBase, with the
  // general code's expressions: a plane's value at the row start, then its step per pixel.
  void At(I xBase, int y, int x, Interpolants<N>* out) const {
    Interpolants<N>& p = *out;
    const F fx0 = __builtin_convertvector(xBase, F) - refX;
    const F fy = Splat<F>(static_cast<float>(y)) - refY;
    auto start = [&](const F* plane) { return plane[0] + plane[1] * fx0 + plane[2] * fy; };
    p.i = __builtin_convertvector(Splat<I>(x) + Iota<I>() - xBase, F);
    p.affine = affine;
    p.wConst = wConst;
    p.q = start(q);
    p.qx = q[1];
    p.qy = q[2];
    if (textured) {
      p.u = start(u);
      p.ux = u[1];
      p.uy = u[2];
      p.v = start(v);
      p.vx = v[1];
      p.vy = v[2];
    }
    p.flat = flat;
    p.flatDiffuse = flatDiffuse;
    if (anyInterpolated) {
      for (int c = 0; c < 4; ++c) {
        p.diffuse[c] = start(diffuse[c]);
        p.diffuseX[c] = diffuse[c][1];
      }
    }
  }
};

// Shades a tile's batch: every winner, N neighbours at a time, each lane with its own
// record's values, one pixel state at a time. A group whose winners all come from one
// triangle keeps its values for the next group, which most often has the same triangle, on
// the same row or the next.
template <int N>
void ShadeBatchLanes(const PixelState* states, TileBatch* batch) {
  using I = typename Lanes<N>::I;
  using F = typename Lanes<N>::F;
  const I iota = Iota<I>();
  uint32_t lastRecord = TileBatch::kNone;
  int lastY = 0;
  const PixelState* lastState = nullptr;
  Interpolants<N> last, mixed;
  RecordValues<N> lastValues, mixedValues;
  int32_t lastXBase = 0;
  bool lastInterpolated = false;
  for (int r = batch->rowFirst; r <= batch->rowLast; ++r) {
    uint32_t* winners = batch->winner + r * kTilePixels;
    const int32_t* xBases = batch->xBase + r * kTilePixels;
    const int y = batch->y0 + r;
    auto rowOf = [y](const PixelState& ps) {
      return reinterpret_cast<uint32_t*>(ps.target->bits_.data() + static_cast<size_t>(y) * ps.target->pitch_);
    };
    for (int c = 0; c < kTilePixels; c += N) {
      const I ids = Load<I>(winners + c);
      int remaining = Bits(ids != static_cast<int32_t>(TileBatch::kNone));
      if (remaining == 0) continue;
      const int x = batch->x0 + c;
      const uint32_t lead = static_cast<uint32_t>(ids[__builtin_ctz(static_cast<unsigned>(remaining))]);
      const bool oneRecord = (Bits(ids == static_cast<int32_t>(lead)) & remaining) == remaining;
      // One record's values are kept for later groups, so every lane takes its row start.
      const I loaded = Load<I>(reinterpret_cast<const uint32_t*>(xBases + c));
      const I xBase = oneRecord ? Splat<I>(loaded[__builtin_ctz(static_cast<unsigned>(remaining))]) : loaded;
      if (oneRecord && lead == lastRecord) {
        if (y != lastY) {  // the same triangle on a new row: only the row start moves
          lastValues.At(xBase, y, x, &last);
          lastY = y;
          lastXBase = xBase[0];
        }
        last.i = __builtin_convertvector(Splat<I>(x - lastXBase) + iota, F);
        ShadeGroupOf<N>(*lastState, last, lastInterpolated, rowOf(*lastState) + x, remaining);
      } else {
        const RecordLanes<N> records = oneRecord ? RecordLanes<N>(*batch, lead) : RecordLanes<N>(*batch, ids, remaining);
        auto shade = [&]<int kReach>() {
          const I state = records.template Field<kReach>(TileBatch::kState);
          while (remaining != 0) {
            const int32_t leadState = state[__builtin_ctz(static_cast<unsigned>(remaining))];
            const int bits = remaining & Bits(state == leadState);
            const PixelState& ps = states[leadState];
            RecordValues<N>& values = oneRecord ? lastValues : mixedValues;  // large too
            values.template Read<kReach>(records, ps.fast.textured, bits);
            Interpolants<N>& p = oneRecord ? last : mixed;  // worked out in place: they are large
            values.At(xBase, y, x, &p);
            ShadeGroupOf<N>(ps, p, values.anyInterpolated, rowOf(ps) + x, bits);
            if (oneRecord) {
              lastRecord = lead;
              lastY = y;
              lastState = &ps;
              lastXBase = xBase[0];
              lastInterpolated = values.anyInterpolated;
            }
            remaining &= ~bits;
          }
        };
        switch (records.reach) {
          case 0: shade.template operator()<0>(); break;
          case 1: shade.template operator()<1>(); break;
          default: shade.template operator()<2>(); break;
        }
      }
      Store(winners + c, Splat<I>(static_cast<int32_t>(TileBatch::kNone)));
    }
  }
  batch->recordCount = 0;
  batch->rowFirst = kTilePixels;
  batch->rowLast = -1;
}

}  // namespace
}  // namespace zelk4::d3d8
