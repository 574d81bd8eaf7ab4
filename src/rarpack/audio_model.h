// Audio mode on the packer's side (private): the decoder predicts each byte from its channel's
// past with adaptive weights and adds the coded error; the packer runs the very same predictor,
// so it can send each byte's error. Also finds PCM sound in a WAV file.
#pragma once

#include <cstdint>
#include <span>

#include "archive/rar20_codes.h"

namespace zelk4::rarpack {

// A channel's predictor state, exactly as the decoder keeps it.
using AudioChannelState = archive::AudioChannel;

struct AudioState {
  AudioChannelState channels[4] = {};
  int32_t channelDelta = 0;     // the last delta of any channel
  uint32_t currentChannel = 0;  // channel of the next byte
};

// The symbol (0..255) that makes the decoder produce `byte` on channel c, and c's state after it.
uint32_t AudioEncodeByte(AudioChannelState& c, int32_t& channelDelta, uint8_t byte);

// The sound samples of a WAV file: bytes [begin, end) hold frames of frameBytes bytes.
struct PcmRegion {
  uint32_t begin = 0;
  uint32_t end = 0;
  uint32_t frameBytes = 0;
};

// Finds the data chunk of a RIFF WAVE file with integer PCM of 8 or 16 bits whose frames are 1 to
// 4 bytes (the channels audio mode has). False for anything else. The file is untrusted: chunk
// sizes are checked against the bytes present, and a data chunk that runs past the end is cut.
bool FindPcmRegion(std::span<const uint8_t> file, PcmRegion* region);

}  // namespace zelk4::rarpack
