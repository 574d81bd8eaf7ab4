// Bit input over the decoder's 8 KiB input buffer (private). Bits are taken most significant
// first. The refill thresholds of the callers keep the input position at or below 8190, so a
// 16-bit peek (three bytes) never leaves the buffer and its zeroed pad.
#pragma once

#include <cstdint>

#include "archive/archive_state.h"

namespace archive {

// Refill points: a decoding step reads at most 51 bits, the start of a table read 80 bits, one
// bit-length symbol with its run length 22 bits.
constexpr uint32_t kRefillBeforeStep = 8162;
constexpr uint32_t kRefillBeforeTables = 8167;
constexpr uint32_t kRefillBeforeBitLength = 8187;

inline uint32_t PeekBits(const DecoderState& d) {
  const uint8_t* p = d.input + d.inPos;
  return ((uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | uint32_t(p[2])) >> (8 - d.inBit)) & 0xFFFF;
}

inline void SkipBits(DecoderState& d, uint32_t n) {
  d.inBit += n;
  d.inPos += d.inBit >> 3;
  d.inBit &= 7;
}

// Reads the next n (1..16) bits as a number.
inline uint32_t ReadBits(DecoderState& d, uint32_t n) {
  const uint32_t v = PeekBits(d) >> (16 - n);
  SkipBits(d, n);
  return v;
}

// True once every byte of packed data in the buffer has been used: decoding further would only
// go over padding.
inline bool InputUsedUp(const DecoderState& d) { return d.inPos >= d.inTop; }

// Reads up to 8192 bytes of the entry's packed data into the start of the buffer.
void FillInput(DecoderState& d);

// Moves the last 32 bytes to the start and reads up to 8160 bytes behind them.
void RefillInput(DecoderState& d);

}  // namespace archive
