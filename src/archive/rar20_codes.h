// The RAR 2.0 stream's fixed code tables and its audio-mode predictor, shared by the decoder and
// by the packer (which must run the very same predictor to know what each byte costs).
#pragma once

#include <cstdint>
#include <cstring>

namespace archive {

// Match lengths: code i adds kLengthBits[i] extra bits to kLengthBase[i].
constexpr uint8_t kLengthBase[28] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  10,  12,  14,  16,  20,
                                     24, 28, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224};
constexpr uint8_t kLengthBits[28] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,
                                     2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5};
// Match distances: code j adds kDistanceBits[j] extra bits to kDistanceBase[j].
constexpr uint32_t kDistanceBase[48] = {
    0,      1,      2,      3,      4,      6,      8,      12,     16,     24,     32,     48,
    64,     96,     128,    192,    256,    384,    512,    768,    1024,   1536,   2048,   3072,
    4096,   6144,   8192,   12288,  16384,  24576,  32768,  49152,  65536,  98304,  131072, 196608,
    262144, 327680, 393216, 458752, 524288, 589824, 655360, 720896, 786432, 851968, 917504, 983040};
constexpr uint8_t kDistanceBits[48] = {0,  0,  0,  0,  1,  1,  2,  2,  3,  3,  4,  4,  5,  5,  6,  6,
                                       7,  7,  8,  8,  9,  9,  10, 10, 11, 11, 12, 12, 13, 13, 14, 14,
                                       15, 15, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16};
// Short matches (symbols 261..268): length 2, distances up to 256.
constexpr uint8_t kShortBase[8] = {0, 4, 8, 16, 32, 64, 128, 192};
constexpr uint8_t kShortBits[8] = {2, 2, 3, 4, 5, 6, 6, 6};

// Audio mode: each byte is predicted from its channel's last byte and past deltas with five
// adaptive weights; the stream codes only the prediction error. All zero at the start of a block.
//
// Every byte adds the size of the error each of eleven adjustments would have left, e, e - d1,
// e + d1, ..., e - d4, e + d4, e - channel delta, e + channel delta (e: the error times 8); every
// 32 bytes the smallest sum picks the weight to move. The sums of e - dk and e + dk are kept four
// at a time (k = 1..4) beside the past deltas, so each byte adds them with a few vector steps.
// Each sum runs over at most 32 bytes of terms below 1300: no overflow.
struct AudioChannel {
  int32_t weight[5];              // w1..w5, kept within -17..16
  alignas(16) int32_t delta[4];   // d1..d4: the past deltas
  alignas(16) uint32_t errorMinus[4];  // sums of |e - dk|
  alignas(16) uint32_t errorPlus[4];   // sums of |e + dk|
  uint32_t errorOther[3];         // sums of |e|, |e - channel delta|, |e + channel delta|
  int32_t lastDelta;
  uint32_t byteCount;
  int32_t lastByte;
};

// Advances channel c to its next byte and returns the predicted byte (0..255).
inline int32_t AudioPredict(AudioChannel& c, int32_t channelDelta) {
  ++c.byteCount;
  int32_t* d = c.delta;
  d[3] = d[2];
  d[2] = d[1];
  d[1] = c.lastDelta - d[0];
  d[0] = c.lastDelta;
  // Deltas are signed bytes and weights stay within -17..16, so the sum is small; the shift is
  // arithmetic.
  const int32_t* w = c.weight;
  const int32_t sum = 8 * c.lastByte + w[0] * d[0] + w[1] * d[1] + w[2] * d[2] + w[3] * d[3] + w[4] * channelDelta;
  return (sum >> 3) & 0xFF;
}

// Four 32-bit lanes (GCC and Clang vector extensions: SSE2 on x86-64, plain code elsewhere).
using AudioLanes = int32_t __attribute__((vector_size(16)));

inline AudioLanes LoadLanes(const void* p) {
  AudioLanes v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline AudioLanes AbsoluteLanes(AudioLanes x) {
  const AudioLanes sign = x >> 31;
  return (x ^ sign) - sign;
}

inline uint32_t Absolute(int32_t x) { return static_cast<uint32_t>(x < 0 ? -x : x); }

// Takes prediction error s (0..255) for the predicted byte; returns the byte, and adapts the
// channel's weights every 32 of its bytes.
inline uint8_t AudioAdapt(AudioChannel& c, int32_t& channelDelta, int32_t predicted, uint32_t s) {
  const int32_t b = predicted - static_cast<int32_t>(s);
  const int32_t e = static_cast<int32_t>(static_cast<int8_t>(static_cast<uint8_t>(s))) * 8;
  const AudioLanes lanesE = {e, e, e, e};
  const AudioLanes deltas = LoadLanes(c.delta);
  const AudioLanes minus = LoadLanes(c.errorMinus) + AbsoluteLanes(lanesE - deltas);
  const AudioLanes plus = LoadLanes(c.errorPlus) + AbsoluteLanes(lanesE + deltas);
  std::memcpy(c.errorMinus, &minus, sizeof minus);
  std::memcpy(c.errorPlus, &plus, sizeof plus);
  c.errorOther[0] += Absolute(e);
  c.errorOther[1] += Absolute(e - channelDelta);
  c.errorOther[2] += Absolute(e + channelDelta);

  c.lastDelta = channelDelta = static_cast<int8_t>(static_cast<uint8_t>(b - c.lastByte));
  c.lastByte = b;

  if ((c.byteCount & 31) == 0) {
    // The sums in the adjustments' order; on a tie the first wins.
    const uint32_t sums[11] = {c.errorOther[0], c.errorMinus[0], c.errorPlus[0], c.errorMinus[1],
                               c.errorPlus[1],  c.errorMinus[2], c.errorPlus[2], c.errorMinus[3],
                               c.errorPlus[3],  c.errorOther[1], c.errorOther[2]};
    uint32_t best = 0;
    for (uint32_t i = 1; i < 11; ++i)
      if (sums[i] < sums[best]) best = i;
    std::memset(c.errorMinus, 0, sizeof c.errorMinus);
    std::memset(c.errorPlus, 0, sizeof c.errorPlus);
    std::memset(c.errorOther, 0, sizeof c.errorOther);
    if (best > 0) {
      // Adjustment 2k - 1 lowers weight k, 2k raises it.
      int32_t& w = c.weight[(best - 1) / 2];
      if (best & 1) {
        if (w >= -16) --w;
      } else {
        if (w < 16) ++w;
      }
    }
  }
  return static_cast<uint8_t>(b & 0xFF);
}

}  // namespace archive
