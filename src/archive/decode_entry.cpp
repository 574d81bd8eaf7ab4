// The RAR 2.0 decoder: LZ77 over the 1 MiB window with Huffman-coded symbols, or audio mode.
// Decoded bytes go into the window; the window is handed to the output block in large copies when
// the free room ahead of the window position runs low, and at the end of the entry.
#include <algorithm>
#include <cstring>

#include "archive/audio_predict.h"
#include "archive/crc32.h"
#include "archive/bit_input.h"
#include "archive/decode_table.h"
#include "archive/decoder.h"
#include "archive/walk.h"

namespace archive {

void CopyMatchBytes(DecoderState& d, uint32_t pos, uint32_t distance, uint32_t length) {
  uint8_t* w = g_archive.lookup.window;
  const bool wraps = pos + length >= kWindowSize;
  if (distance > pos && !d.windowWrapped) {
    // A match reaching before the first byte of a fresh window has nothing to copy: like the
    // reference decoders, it yields zeros for its whole length.
    for (uint32_t i = 0; i < length; ++i) w[(pos + i) & kWindowMask] = 0;
    d.windowWrapped = wraps;
    return;
  }
  if (wraps) d.windowWrapped = true;
  uint32_t src = (pos - distance) & kWindowMask;
  if (pos + length <= kWindowSize && src + length <= kWindowSize) {
    // Neither end wraps: a plain forward copy, byte by byte so an overlap repeats the pattern.
    // With distance >= length the source is behind and clear of the target, or (distances near
    // the window size) ahead of it, where a forward copy is what memmove does.
    uint8_t* to = w + pos;
    const uint8_t* from = w + src;
    if (distance >= length) {
      std::memmove(to, from, length);
    } else {
      for (uint32_t i = 0; i < length; ++i) to[i] = from[i];
    }
    return;
  }
  for (uint32_t i = 0; i < length; ++i) {
    w[pos] = w[src];
    pos = (pos + 1) & kWindowMask;
    src = (src + 1) & kWindowMask;
  }
}

namespace {

uint32_t ReadExtra(DecoderState& d, uint32_t bits) { return bits > 0 ? ReadBits(d, bits) : 0; }

void CopyMatch(DecoderState& d, uint32_t distance, uint32_t length) {
  d.recent[d.recentCounter & 3] = distance;
  ++d.recentCounter;
  d.lastDistance = distance;
  g_archive.lookup.bytesToProduce -= static_cast<int32_t>(length);
  CopyMatchBytes(d, d.windowPos, distance, length);
  d.windowPos = (d.windowPos + length) & kWindowMask;
}

void PutByte(DecoderState& d, uint8_t b) {
  g_archive.lookup.window[d.windowPos] = b;
  d.windowPos = (d.windowPos + 1) & kWindowMask;
  if (d.windowPos == 0) d.windowWrapped = true;
  --g_archive.lookup.bytesToProduce;
}

void DecodeAudioStep(DecoderState& d) {
  const uint32_t s = DecodeSymbol(d, d.audioTables[d.currentChannel]);
  if (s == 256) {
    ReadTables(d);
    return;
  }
  PutByte(d, PredictAudioByte(d.channels[d.currentChannel], d.channelDelta, s));
  if (++d.currentChannel >= d.channelCount) d.currentChannel = 0;
}

void ResetDecoder(DecoderState& d) {
  d.currentChannel = 0;
  d.channelDelta = 0;
  std::memset(d.channels, 0, sizeof d.channels);
  std::memset(d.recent, 0, sizeof d.recent);
  d.recentCounter = 0;
  std::memset(d.oldLengths, 0, sizeof d.oldLengths);
  d.lastDistance = 0;
  d.lastLength = 0;
  // Until the window wraps, bytes are written only below the window position, so clearing up to
  // it clears the whole window; many small entries then do not each pay for a full 1 MiB clear.
  std::memset(g_archive.lookup.window, 0, d.windowWrapped ? kWindowSize : d.windowPos);
  d.windowPos = 0;
  d.flushPos = 0;
  d.windowWrapped = false;
}

}  // namespace

void DecodeLZStep(DecoderState& d) {
  const uint32_t s = DecodeSymbol(d, d.mainTable);
  if (s < 256) {
    PutByte(d, static_cast<uint8_t>(s));
  } else if (s >= 270) {
    const uint32_t i = s - 270;
    uint32_t length = kLengthBase[i] + 3 + ReadExtra(d, kLengthBits[i]);
    const uint32_t j = DecodeSymbol(d, d.distanceTable);
    const uint32_t distance = kDistanceBase[j] + 1 + ReadExtra(d, kDistanceBits[j]);
    if (distance >= 0x2000) ++length;
    if (distance >= 0x40000) ++length;
    d.lastLength = length;
    CopyMatch(d, distance, length);
  } else if (s == 269) {
    ReadTables(d);
  } else if (s == 256) {
    CopyMatch(d, d.lastDistance, d.lastLength);
  } else if (s < 261) {
    const uint32_t distance = d.recent[(d.recentCounter - (s - 256)) & 3];
    const uint32_t r = DecodeSymbol(d, d.repeatTable);
    uint32_t length = kLengthBase[r] + 2 + ReadExtra(d, kLengthBits[r]);
    if (distance >= 0x101) ++length;
    if (distance >= 0x2000) ++length;
    if (distance >= 0x40000) ++length;
    d.lastLength = length;
    CopyMatch(d, distance, length);
  } else {
    const uint32_t i = s - 261;
    const uint32_t distance = kShortBase[i] + 1 + ReadExtra(d, kShortBits[i]);
    d.lastLength = 2;
    CopyMatch(d, distance, 2);
  }
}

void FlushWindow(DecoderState& d) {
  LookupState& s = g_archive.lookup;
  if (!s.found) {
    d.flushPos = d.windowPos;
    return;
  }
  const uint32_t n = (d.windowPos - d.flushPos) & kWindowMask;
  if (uint64_t(*s.outputSize) + n > s.header.unpackedSize) {
    // The entry decoded past its size (a final match ran over): it ends here and fails its CRC.
    d.flushPos = d.windowPos;
    s.bytesToProduce = -1;
    return;
  }
  const uint32_t first = n < kWindowSize - d.flushPos ? n : kWindowSize - d.flushPos;
  if (s.output != nullptr) {
    uint8_t* to = s.output + *s.outputSize;
    std::memcpy(to, s.window + d.flushPos, first);
    std::memcpy(to + first, s.window, n - first);
  } else {
    // A test pass: the bytes are checked here, while they are still in the cache.
    s.runningCrc = Crc32UpdateFast(s.runningCrc, s.window + d.flushPos, first);
    s.runningCrc = Crc32UpdateFast(s.runningCrc, s.window, n - first);
  }
  *s.outputSize += n;
  d.flushPos = d.windowPos;
}

void DecodeEntry() {
  DecoderState& d = g_archive.decoder;
  LookupState& s = g_archive.lookup;
  const bool continues = (s.header.flags & kFileSolid) != 0;
  d.inPos = 0;
  d.inBit = 0;
  if (!continues) ResetDecoder(d);
  FillInput(d);
  if (!continues) ReadTables(d);

  // Each step uses at least one bit, and the loop ends once the packed data are used up, so a
  // header claiming a huge size over a few packed bytes ends quickly (and fails its CRC).
  while (s.bytesToProduce > 0 && !InputUsedUp(d)) {
    if (d.inPos > kRefillBeforeStep) RefillInput(d);
    if (((d.flushPos - d.windowPos) & kWindowMask) < kFlushMargin && d.flushPos != d.windowPos)
      FlushWindow(d);
    if (d.audioMode) {
      if (DecodeAudioRun(d) == 0) DecodeAudioStep(d);
    } else if (DecodeLZRun(d) == 0) {
      DecodeLZStep(d);
    }
  }

  // A solid archive may put the next entry's tables right after this entry's last symbol.
  if (d.inTop >= d.inPos + 5) {
    if (d.audioMode) {
      if (DecodeSymbol(d, d.audioTables[d.currentChannel]) == 256) ReadTables(d);
    } else {
      if (DecodeSymbol(d, d.mainTable) == 269) ReadTables(d);
    }
  }
  FlushWindow(d);
  d.flushPos = d.windowPos;
}

}  // namespace archive
