// Four pixels at a time with SSE2 (private): the per-pixel values of the fast span code that
// are pure arithmetic (depth, 1/w, texture coordinates, mip level of detail), worked out for a
// run of pixels before the per-pixel tests and writes. Every lane repeats the scalar
// expression operation for operation (IEEE single and double precision, no contraction), so
// each value has the same bits as the scalar code gives it.
#pragma once

#include <emmintrin.h>

#include <cstdint>

namespace d3d8 {

// FastLog2 (pixel_math.h) on four lanes.
inline __m128 FastLog2Lanes(__m128 x) {
  const __m128i bits = _mm_castps_si128(x);
  const __m128i exponent =
      _mm_sub_epi32(_mm_and_si128(_mm_srli_epi32(bits, 23), _mm_set1_epi32(255)), _mm_set1_epi32(127));
  const __m128 m = _mm_castsi128_ps(
      _mm_or_si128(_mm_and_si128(bits, _mm_set1_epi32(0x007FFFFF)), _mm_set1_epi32(0x3F800000)));
  const __m128 t = _mm_sub_ps(m, _mm_set1_ps(1.0f));
  __m128 p = _mm_add_ps(_mm_set1_ps(-0.7181452f), _mm_mul_ps(t, _mm_set1_ps(0.2756003f)));
  p = _mm_add_ps(_mm_set1_ps(1.4425449f), _mm_mul_ps(t, p));
  __m128 r = _mm_add_ps(_mm_cvtepi32_ps(exponent), _mm_mul_ps(t, p));
  const __m128 big = _mm_cmpgt_ps(x, _mm_set1_ps(3.0e38f));
  r = _mm_or_ps(_mm_and_ps(big, _mm_set1_ps(128.0f)), _mm_andnot_ps(big, r));
  const __m128 positive = _mm_cmpgt_ps(x, _mm_setzero_ps());  // false for NaN
  return _mm_or_ps(_mm_and_ps(positive, r), _mm_andnot_ps(positive, _mm_set1_ps(-128.0f)));
}

// QuantizeDepth(start + step * i, maxValue) for lanes i = first .. first + 3.
inline __m128i QuantizeDepthLanes(double start, double step, int first, uint32_t maxValue) {
  const __m128d lo = _mm_cvtepi32_pd(_mm_setr_epi32(first, first + 1, 0, 0));
  const __m128d hi = _mm_cvtepi32_pd(_mm_setr_epi32(first + 2, first + 3, 0, 0));
  const __m128d s = _mm_set1_pd(start), d = _mm_set1_pd(step);
  const __m128d zLo = _mm_add_pd(s, _mm_mul_pd(d, lo)), zHi = _mm_add_pd(s, _mm_mul_pd(d, hi));
  const __m128d scale = _mm_set1_pd(static_cast<double>(maxValue)), half = _mm_set1_pd(0.5);
  // In (0, 1) the rounded value is below 2^24: the truncating conversion is exact there.
  const __m128i qLo = _mm_cvttpd_epi32(_mm_add_pd(_mm_mul_pd(zLo, scale), half));
  const __m128i qHi = _mm_cvttpd_epi32(_mm_add_pd(_mm_mul_pd(zHi, scale), half));
  const __m128i q = _mm_unpacklo_epi64(qLo, qHi);
  auto narrow = [](__m128d a, __m128d b) {
    return _mm_castps_si128(_mm_shuffle_ps(_mm_castpd_ps(a), _mm_castpd_ps(b), _MM_SHUFFLE(2, 0, 2, 0)));
  };
  const __m128i positive = narrow(_mm_cmpgt_pd(zLo, _mm_setzero_pd()), _mm_cmpgt_pd(zHi, _mm_setzero_pd()));
  const __m128i full = narrow(_mm_cmpge_pd(zLo, _mm_set1_pd(1.0)), _mm_cmpge_pd(zHi, _mm_set1_pd(1.0)));
  const __m128i inside = _mm_and_si128(positive, q);
  return _mm_or_si128(_mm_and_si128(full, _mm_set1_epi32(static_cast<int>(maxValue))),
                      _mm_andnot_si128(full, inside));
}

// Bilinear's texel position and weights on four lanes: x = floor(f), weight =
// min(255, trunc((f - x) * 256)) for f = SafeCoord(c * size - 0.5f).
inline void BilinearLanes(__m128 c, float size, __m128i* position, __m128i* weight) {
  constexpr float kLimit = 16777216.0f;
  __m128 f = _mm_sub_ps(_mm_mul_ps(c, _mm_set1_ps(size)), _mm_set1_ps(0.5f));
  // SafeCoord: NaN reads as 0, then [-2^24, 2^24].
  const __m128 number = _mm_cmpord_ps(f, f);
  f = _mm_and_ps(number, f);
  const __m128 low = _mm_cmpgt_ps(f, _mm_set1_ps(-kLimit));
  f = _mm_or_ps(_mm_and_ps(low, f), _mm_andnot_ps(low, _mm_set1_ps(-kLimit)));
  const __m128 high = _mm_cmpgt_ps(f, _mm_set1_ps(kLimit));
  f = _mm_or_ps(_mm_andnot_ps(high, f), _mm_and_ps(high, _mm_set1_ps(kLimit)));
  // FloorToInt: truncate, then one less where that went up.
  __m128i i = _mm_cvttps_epi32(f);
  i = _mm_add_epi32(i, _mm_castps_si128(_mm_cmpgt_ps(_mm_cvtepi32_ps(i), f)));
  __m128i w = _mm_cvttps_epi32(_mm_mul_ps(_mm_sub_ps(f, _mm_cvtepi32_ps(i)), _mm_set1_ps(256.0f)));
  const __m128i over = _mm_cmpgt_epi32(w, _mm_set1_epi32(255));
  w = _mm_or_si128(_mm_andnot_si128(over, w), _mm_and_si128(over, _mm_set1_epi32(255)));
  *position = i;
  *weight = w;
}

}  // namespace d3d8
