// Audio mode (private): the byte for each coded prediction error. Inline: it runs once per
// decoded byte.
#pragma once

#include <cstdint>

#include "archive/rar20_codes.h"

namespace archive {

// The byte for prediction error s (0..255) on channel c.
inline uint8_t PredictAudioByte(AudioChannel& c, int32_t& channelDelta, uint32_t s) {
  return AudioAdapt(c, channelDelta, AudioPredict(c, channelDelta), s);
}

}  // namespace archive
