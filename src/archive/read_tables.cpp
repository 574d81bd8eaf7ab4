// Reading new code tables. The code lengths themselves come coded: 19 bit-length codes of 4 bits
// build a small table whose symbols give each length as a change to the previous table's length,
// or as a run.
#include <cstring>

#include "archive/bit_input.h"
#include "archive/decode_table.h"
#include "archive/decoder.h"

namespace archive {

void ReadTables(DecoderState& d) {
  if (d.inPos > kRefillBeforeTables) RefillInput(d);
  const uint32_t head = PeekBits(d);
  d.audioMode = (head & 0x8000) != 0;
  if (!(head & 0x4000)) std::memset(d.oldLengths, 0, sizeof d.oldLengths);
  SkipBits(d, 2);

  uint32_t toRead = kLZLengths;
  if (d.audioMode) {
    d.channelCount = ((head >> 12) & 3) + 1;
    if (d.currentChannel >= d.channelCount) d.currentChannel = 0;
    SkipBits(d, 2);
    toRead = kAudioSymbols * d.channelCount;
  }

  uint8_t bitLengths[kBitLengthSymbols];
  for (uint32_t i = 0; i < kBitLengthSymbols; ++i) bitLengths[i] = static_cast<uint8_t>(ReadBits(d, 4));
  BuildDecodeTable(d.bitLengthTable, bitLengths, kBitLengthSymbols);

  // Cleared first: lengths beyond those read must not carry stale values into the old lengths.
  uint8_t lengths[kMaxLengths] = {};
  for (uint32_t i = 0; i < toRead;) {
    if (d.inPos > kRefillBeforeBitLength) RefillInput(d);
    const uint32_t s = DecodeSymbol(d, d.bitLengthTable);
    if (s < 16) {
      lengths[i] = static_cast<uint8_t>((s + d.oldLengths[i]) & 15);
      ++i;
    } else if (s == 16) {
      // Repeat the previous length; at the first position there is none, which gives 0.
      for (uint32_t n = ReadBits(d, 2) + 3; n > 0 && i < toRead; --n, ++i)
        lengths[i] = i > 0 ? lengths[i - 1] : 0;
    } else {
      const uint32_t n = s == 17 ? ReadBits(d, 3) + 3 : ReadBits(d, 7) + 11;
      for (uint32_t k = 0; k < n && i < toRead; ++k, ++i) lengths[i] = 0;
    }
  }

  if (d.audioMode) {
    for (uint32_t ch = 0; ch < d.channelCount; ++ch)
      BuildDecodeTable(d.audioTables[ch], lengths + ch * kAudioSymbols, kAudioSymbols);
  } else {
    BuildDecodeTable(d.mainTable, lengths, kMainSymbols);
    BuildDecodeTable(d.distanceTable, lengths + kMainSymbols, kDistanceSymbols);
    BuildDecodeTable(d.repeatTable, lengths + kMainSymbols + kDistanceSymbols, kRepeatSymbols);
  }
  std::memcpy(d.oldLengths, lengths, sizeof d.oldLengths);
}

}  // namespace archive
