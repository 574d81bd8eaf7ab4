// The per-pixel arithmetic shared by the general and the fast span code (private), so both
// give the same bits. Channels are integers 0..255. Always inlined: the AVX2 and AVX-512
// kernels include this header, and no out-of-line copy built for them may stand in for the
// others' calls.
#pragma once

#include <cstdint>
#include <cstring>

#include "platform/d3d8/d3d8types.h"

namespace zelk4::d3d8 {

// round(a * b / 255) for a, b in 0..255 (exact: Blinn's form of the division).
[[gnu::always_inline]] inline int Mul255(int a, int b) {
  int v = a * b + 128;
  return (v + (v >> 8)) >> 8;
}

// An interpolated channel on the 0..255 scale, rounded to nearest; NaN reads as 0.
[[gnu::always_inline]] inline int ToByte(float v) {
  if (!(v > 0.0f)) return 0;
  if (v >= 255.0f) return 255;
  return static_cast<int>(v + 0.5f);
}

// Channel-wise (a * (256 - f) + b * f + 128) >> 8 on 0xAARRGGBB words, f in 0..256.
[[gnu::always_inline]] inline uint32_t Lerp8(uint32_t a, uint32_t b, uint32_t f) {
  const uint32_t g = 256 - f;
  uint32_t rb = ((a & 0x00FF00FFu) * g + (b & 0x00FF00FFu) * f + 0x00800080u) >> 8;
  uint32_t ag = (((a >> 8) & 0x00FF00FFu) * g + ((b >> 8) & 0x00FF00FFu) * f + 0x00800080u);
  return (rb & 0x00FF00FFu) | (ag & 0xFF00FF00u);
}

[[gnu::always_inline]] inline bool Compare(DWORD func, uint32_t value, uint32_t reference) {
  switch (func) {
    case D3DCMP_NEVER: return false;
    case D3DCMP_LESS: return value < reference;
    case D3DCMP_EQUAL: return value == reference;
    case D3DCMP_LESSEQUAL: return value <= reference;
    case D3DCMP_GREATER: return value > reference;
    case D3DCMP_NOTEQUAL: return value != reference;
    case D3DCMP_GREATEREQUAL: return value >= reference;
    default: return true;  // ALWAYS, and unknown values
  }
}

// Depth in [0, 1] to an unsigned integer of maxValue + 1 steps, rounded to nearest.
[[gnu::always_inline]] inline uint32_t QuantizeDepth(double z, uint32_t maxValue) {
  if (!(z > 0.0)) return 0;
  if (z >= 1.0) return maxValue;
  return static_cast<uint32_t>(z * maxValue + 0.5);
}

// A texel-space coordinate kept where float-to-int conversion is defined; NaN reads as 0.
[[gnu::always_inline]] inline float SafeCoord(float f) {
  constexpr float kLimit = 16777216.0f;
  if (!(f > -kLimit)) return f != f ? 0.0f : -kLimit;
  if (f > kLimit) return kLimit;
  return f;
}

// floor() for |f| <= 2^24 (what SafeCoord leaves), as an int.
[[gnu::always_inline]] inline int FloorToInt(float f) {
  int i = static_cast<int>(f);
  return static_cast<float>(i) > f ? i - 1 : i;
}

// round(v / 255) on both 16-bit lanes of a word (each lane at most 255 * 255), as Mul255.
[[gnu::always_inline]] inline uint32_t Div255Lanes(uint32_t v) {
  v += 0x00800080u;
  return ((v + ((v >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
}

// Src * a + Dest * (255 - a), rounded, for every channel: the usual alpha blend. Equal to
// BlendAdd per channel, since the sum never exceeds 255 * 255.
[[gnu::always_inline]] inline uint32_t BlendAlphaWord(uint32_t s, uint32_t d, uint32_t a) {
  const uint32_t ia = 255 - a;
  uint32_t rb = (s & 0x00FF00FFu) * a + (d & 0x00FF00FFu) * ia;
  uint32_t ag = ((s >> 8) & 0x00FF00FFu) * a + ((d >> 8) & 0x00FF00FFu) * ia;
  return Div255Lanes(rb) | (Div255Lanes(ag) << 8);
}

// Base-2 logarithm from the exponent and a fixed cubic of the mantissa: the same bits on every
// machine, error within 0.014. Used for the mip level of detail.
[[gnu::always_inline]] inline float FastLog2(float x) {
  if (!(x > 0.0f)) return -128.0f;
  if (x > 3.0e38f) return 128.0f;
  uint32_t bits;
  std::memcpy(&bits, &x, 4);
  const int exponent = static_cast<int>((bits >> 23) & 255) - 127;
  bits = (bits & 0x007FFFFFu) | 0x3F800000u;  // mantissa in [1, 2)
  float m;
  std::memcpy(&m, &bits, 4);
  const float t = m - 1.0f;
  // log2(1 + t) on [0, 1): exact at both ends.
  return static_cast<float>(exponent) + t * (1.4425449f + t * (-0.7181452f + t * 0.2756003f));
}

// One channel of Src * SrcFactor + Dest * DestFactor, rounded and saturated.
[[gnu::always_inline]] inline int BlendAdd(int s, int fs, int d, int fd) {
  int v = (s * fs + d * fd + 127) / 255;
  return v > 255 ? 255 : v;
}

}  // namespace zelk4::d3d8
