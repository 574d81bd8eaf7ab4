// Audio mode on the packer's side (private): the decoder predicts each byte from its channel's
// past with adaptive weights and adds the coded error; the packer runs the very same predictor,
// so it can send each byte's error. Also finds PCM sound in a WAV file.
#pragma once

#include <cstdint>
#include <span>

namespace zelk4::rarpack {

struct AudioChannelState {
  int32_t w1 = 0, w2 = 0, w3 = 0, w4 = 0, w5 = 0;  // prediction weights, kept within -17..16
  int32_t d1 = 0, d2 = 0, d3 = 0, d4 = 0;          // past deltas
  int32_t lastDelta = 0;
  uint32_t errors[11] = {};  // error sums of the eleven candidate weight changes
  uint32_t byteCount = 0;
  int32_t lastByte = 0;
};

struct AudioState {
  AudioChannelState channels[4];
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
