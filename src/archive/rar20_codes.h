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
struct AudioChannel {
  int32_t w1, w2, w3, w4, w5;  // prediction weights, kept within -17..16
  int32_t d1, d2, d3, d4;      // past deltas
  int32_t lastDelta;
  uint32_t byteCount;
  int32_t lastByte;
  // Error sums of the eleven candidate adjustments, and a twelfth that is never read, so the sums
  // go four at a time. Each runs over at most 32 bytes of terms below 1300: no overflow.
  alignas(16) uint32_t errors[12];
};

// Advances channel c to its next byte and returns the predicted byte (0..255).
inline int32_t AudioPredict(AudioChannel& c, int32_t channelDelta) {
  ++c.byteCount;
  c.d4 = c.d3;
  c.d3 = c.d2;
  c.d2 = c.lastDelta - c.d1;
  c.d1 = c.lastDelta;
  // Deltas are signed bytes and weights stay within -17..16, so the sum is small; the shift is
  // arithmetic.
  const int32_t sum = 8 * c.lastByte + c.w1 * c.d1 + c.w2 * c.d2 + c.w3 * c.d3 + c.w4 * c.d4 +
                      c.w5 * channelDelta;
  return (sum >> 3) & 0xFF;
}

// Four 32-bit lanes (GCC and Clang vector extensions: SSE2 on x86-64, plain code elsewhere).
using AudioLanes = int32_t __attribute__((vector_size(16)));

// Adds |e + offsets| to four error sums.
inline void AddAbsoluteErrors(uint32_t* sums, int32_t e, AudioLanes offsets) {
  const AudioLanes x = AudioLanes{e, e, e, e} + offsets;
  const AudioLanes sign = x >> 31;
  AudioLanes total;
  std::memcpy(&total, sums, sizeof total);
  total += (x ^ sign) - sign;
  std::memcpy(sums, &total, sizeof total);
}

// Takes prediction error s (0..255) for the predicted byte; returns the byte, and adapts the
// channel's weights every 32 of its bytes.
inline uint8_t AudioAdapt(AudioChannel& c, int32_t& channelDelta, int32_t predicted, uint32_t s) {
  const int32_t b = predicted - static_cast<int32_t>(s);
  const int32_t e = static_cast<int32_t>(static_cast<int8_t>(static_cast<uint8_t>(s))) * 8;
  // The candidates, in order: e, e - d1, e + d1, e - d2, e + d2, e - d3, e + d3, e - d4, e + d4,
  // e - channel delta, e + channel delta.
  AddAbsoluteErrors(c.errors, e, AudioLanes{0, -c.d1, c.d1, -c.d2});
  AddAbsoluteErrors(c.errors + 4, e, AudioLanes{c.d2, -c.d3, c.d3, -c.d4});
  AddAbsoluteErrors(c.errors + 8, e, AudioLanes{c.d4, -channelDelta, channelDelta, 0});

  c.lastDelta = channelDelta = static_cast<int8_t>(static_cast<uint8_t>(b - c.lastByte));
  c.lastByte = b;

  if ((c.byteCount & 31) == 0) {
    uint32_t best = 0;
    for (uint32_t i = 1; i < 11; ++i)
      if (c.errors[i] < c.errors[best]) best = i;
    std::memset(c.errors, 0, sizeof c.errors);
    int32_t* weights[5] = {&c.w1, &c.w2, &c.w3, &c.w4, &c.w5};
    if (best > 0) {
      int32_t& w = *weights[(best - 1) / 2];
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
