// Audio mode's hot loop: the same steps as DecodeAudioStep, taken a whole round of channels at a
// time (channel 0, 1, ... up to the channel count) while none of the decoding loop's checks can
// fire. The channel count is a template argument, so each channel's table and predictor record
// sit at fixed places and the round is unrolled.
//
// Entry assumptions, checked before every round:
//   - the round starts at channel 0;
//   - each of its steps starts with inPos < min(8163, inTop): a step reads at most 15 bits, two
//     steps' worth come from each refill of the bit buffer, and the input position moves on by at
//     most 2 bytes per step;
//   - each step may write its byte without the entry ending, a flush falling due, or the window
//     position reaching the window's end.
#include <algorithm>

#include "archive/audio_predict.h"
#include "archive/bit_input.h"
#include "archive/decoder.h"
#include "archive/fast_bits.h"

namespace archive {

namespace {

struct AudioRun {
  FastBits in;
  uint8_t* out;
  int32_t delta;         // the channel delta, shared by all channels
  uint32_t stopChannel;  // the channel whose step read "new tables", or kNoStop
};

constexpr uint32_t kNoStop = ~0u;

// One step on channel K; false when it read "new tables" (the step ends there).
template <uint32_t K>
inline bool Step(DecoderState& d, AudioRun& r) {
  if (K % 2 == 0 && K > 0) r.in.Refill();
  const uint32_t sym = r.in.Decode(d.audioTables[K]);
  if (sym == 256) [[unlikely]] {
    r.stopChannel = K;
    return false;
  }
  *r.out++ = PredictAudioByte(d.channels[K], r.delta, sym);
  return true;
}

template <uint32_t Channels>
uint32_t Rounds(DecoderState& d, AudioRun& r, const uint8_t* outEnd, uint32_t posEnd) {
  // After a refill the current byte is at most NextLoad() - 7; the round's last step starts at
  // most 2 * (Channels - 1) bytes further on.
  const uint32_t loadEnd = posEnd + 7 - 2 * (Channels - 1);
  uint32_t rounds = 0;
  for (;;) {
    r.in.Refill();
    if (r.in.NextLoad() >= loadEnd || r.out + Channels > outEnd) break;
    ++rounds;
    if (!Step<0>(d, r)) break;
    if constexpr (Channels > 1) {
      if (!Step<1>(d, r)) break;
    }
    if constexpr (Channels > 2) {
      if (!Step<2>(d, r)) break;
    }
    if constexpr (Channels > 3) {
      if (!Step<3>(d, r)) break;
    }
  }
  return rounds;
}

}  // namespace

uint32_t DecodeAudioRun(DecoderState& d) {
  LookupState& s = g_archive.lookup;
  const uint32_t channels = d.channelCount;
  if (d.currentChannel != 0 || channels < 1 || channels > 4) return 0;
  const uint32_t start = d.windowPos;
  const uint32_t room = d.flushPos == start ? kWindowSize : (d.flushPos - start) & kWindowMask;
  // A step may start while fewer than `writable` bytes have been written in this run.
  int64_t writable = s.bytesToProduce;
  writable = std::min<int64_t>(writable, int64_t(room) - kFlushMargin + 1);
  writable = std::min<int64_t>(writable, int64_t(kWindowSize) - start - 1);
  const uint32_t posEnd = std::min(kRefillBeforeStep + 1, d.inTop);
  if (writable < channels || d.inPos + 16 >= posEnd) return 0;

  uint8_t* const begin = s.window + start;
  AudioRun r{FastBits(d), begin, d.channelDelta, kNoStop};
  const uint8_t* const outEnd = begin + writable;
  uint32_t rounds = 0;
  switch (channels) {
    case 1: rounds = Rounds<1>(d, r, outEnd, posEnd); break;
    case 2: rounds = Rounds<2>(d, r, outEnd, posEnd); break;
    case 3: rounds = Rounds<3>(d, r, outEnd, posEnd); break;
    default: rounds = Rounds<4>(d, r, outEnd, posEnd); break;
  }
  r.in.Store(d);
  d.channelDelta = r.delta;
  const uint32_t written = static_cast<uint32_t>(r.out - begin);
  d.windowPos = start + written;
  s.bytesToProduce -= static_cast<int32_t>(written);
  if (r.stopChannel != kNoStop) {
    d.currentChannel = r.stopChannel;
    ReadTables(d);
  }
  return rounds;
}

}  // namespace archive
