// Audio mode (private): each byte is predicted from the channel's last byte and past deltas with
// five adaptive weights; the stream codes only the prediction error. Inline: it runs once per
// decoded byte.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "archive/archive_state.h"

namespace archive {

// The byte for prediction error s (0..255) on channel c; adapts the channel's weights every 32 of
// its bytes.
inline uint8_t PredictAudioByte(AudioChannel& c, int32_t& channelDelta, uint32_t s) {
  ++c.byteCount;
  c.d4 = c.d3;
  c.d3 = c.d2;
  c.d2 = c.lastDelta - c.d1;
  c.d1 = c.lastDelta;
  // Deltas are signed bytes and weights stay within -17..16, so the sum is small; the shift is
  // arithmetic.
  const int32_t sum = 8 * c.lastByte + c.w1 * c.d1 + c.w2 * c.d2 + c.w3 * c.d3 + c.w4 * c.d4 +
                      c.w5 * channelDelta;
  const int32_t predicted = (sum >> 3) & 0xFF;
  const int32_t b = predicted - static_cast<int32_t>(s);

  const int32_t e = static_cast<int32_t>(static_cast<int8_t>(static_cast<uint8_t>(s))) * 8;
  const int32_t candidates[11] = {e,           e - c.d1, e + c.d1, e - c.d2, e + c.d2,          e - c.d3,
                                  e + c.d3,    e - c.d4, e + c.d4, e - channelDelta, e + channelDelta};
  for (int i = 0; i < 11; ++i) c.errors[i] += static_cast<uint32_t>(std::abs(candidates[i]));

  c.lastDelta = channelDelta = static_cast<int8_t>(static_cast<uint8_t>(b - c.lastByte));
  c.lastByte = b;

  if ((c.byteCount & 31) == 0) {
    uint32_t best = 0;
    for (uint32_t i = 1; i < 11; ++i)
      if (c.errors[i] < c.errors[best]) best = i;
    for (uint32_t& err : c.errors) err = 0;
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
