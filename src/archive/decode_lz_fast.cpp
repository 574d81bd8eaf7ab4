// The LZ decoder's hot loop: the same steps as DecodeLZStep, taken many at a time while none of
// the decoding loop's checks can fire, so that those checks run once per step as one comparison of
// input and output positions against limits worked out on entry.
//
// Entry assumptions, checked by the loop condition before every step:
//   - inPos < min(8163, inTop): the decoding loop would neither refill nor stop for input, and a
//     step reads at most 51 bits (15 main code + 5 length bits + 15 distance code + 16 distance
//     bits), so one 8-byte load at inPos (57 bits past the bit offset) holds all of them and stays
//     inside the 8 KiB buffer;
//   - at least 260 bytes (the longest match) may still be written without the entry ending, a
//     flush falling due, or the window position reaching the window's end.
// Matches whose source lies behind the window start go to the byte-wise copy.
//
// Matches are copied in whole 16- or 8-byte pieces that may write up to 15 bytes past their end.
// Until the window first fills, nothing ahead of the window position is ever read: a match
// reaching before the window start yields zeros without reading, and the exact steps outside this
// loop write every byte before the window wraps; later steps overwrite those bytes. Once the window
// has wrapped, the bytes ahead are the oldest history, which far matches read (and, near the flush
// point, bytes not yet handed out): the bytes past a match are kept and put back after it.
#include <algorithm>
#include <cstring>

#include "archive/bit_input.h"
#include "archive/decode_table.h"
#include "archive/decoder.h"

namespace archive {

namespace {

constexpr uint32_t kMaxMatch = 260;  // length code 27 with all extra bits, plus the distance additions
constexpr uint32_t kOverCopy = 15;   // the most a piece-wise copy writes past a match's end

inline uint64_t LoadBigEndian64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return __builtin_bswap64(v);
}

// Copies length >= N bytes in N-byte pieces from `distance` >= N bytes back: each piece reads
// bytes that are final already, and the last piece ends exactly at the match's end.
template <uint32_t N>
inline void CopyPieces(uint8_t* to, const uint8_t* from, uint32_t length) {
  uint32_t i = 0;
  for (; i + N < length; i += N) std::memcpy(to + i, from + i, N);
  std::memcpy(to + length - N, from + length - N, N);
}

// A match whose source and target both lie inside the window without wrapping (length 0..260;
// distance 0, from recent distances never set, copies the bytes onto themselves).
inline void CopyInside(uint8_t* to, uint32_t distance, uint32_t length) {
  const uint8_t* from = to - distance;
  if (distance >= 16 && length >= 16) {
    CopyPieces<16>(to, from, length);
  } else if (distance >= 8 && length >= 8) {
    CopyPieces<8>(to, from, length);
  } else if (distance >= 4 && length >= 4) {
    CopyPieces<4>(to, from, length);
  } else if (distance == 1) {
    std::memset(to, from[0], length);
  } else {
    for (uint32_t i = 0; i < length; ++i) to[i] = from[i];
  }
}

// The same copy in whole pieces, which may write up to 15 bytes past the match (see above).
inline void CopyOver(uint8_t* to, uint32_t distance, uint32_t length) {
  const uint8_t* from = to - distance;
  uint8_t* const end = to + length;
  if (distance >= 16) {
    do {
      std::memcpy(to, from, 16);
      to += 16;
      from += 16;
    } while (to < end);
  } else if (distance >= 8) {
    do {
      std::memcpy(to, from, 8);
      to += 8;
      from += 8;
    } while (to < end);
  } else {
    CopyInside(to, distance, length);
  }
}

template <bool kFreshWindow>
uint32_t RunLZ(DecoderState& d) {
  LookupState& s = g_archive.lookup;
  uint8_t* const window = s.window;
  const uint32_t start = d.windowPos;
  const uint32_t room = d.flushPos == start ? kWindowSize : (d.flushPos - start) & kWindowMask;
  // Steps may start while fewer than `writable` bytes have been written in this run.
  int64_t writable = s.bytesToProduce;
  writable = std::min<int64_t>(writable, int64_t(room) - kFlushMargin + 1);
  writable = std::min<int64_t>(writable, int64_t(kWindowSize) - start - kMaxMatch - kOverCopy);
  const uint32_t posEnd = std::min(kRefillBeforeStep + 1, d.inTop);
  if (writable <= 0 || d.inPos >= posEnd) return 0;

  const uint8_t* const in = d.input;
  uint32_t pos = d.inPos, bit = d.inBit;
  uint8_t* out = window + start;
  uint8_t* const outEnd = out + writable;
  uint32_t steps = 0;
  bool newTables = false;
  while (pos < posEnd && out < outEnd) {
    ++steps;
    uint64_t bits = LoadBigEndian64(in + pos) << bit;
    uint32_t used = 0;
    auto peek = [&] { return static_cast<uint32_t>(bits >> 48); };
    auto take = [&](uint32_t n) {
      bits <<= n;
      used += n;
    };
    auto extra = [&](uint32_t n) {
      const uint32_t v = peek() >> (16 - n);
      take(n);
      return v;
    };
    auto decode = [&](const DecodeTable& t) {
      uint32_t length;
      const uint32_t symbol = DecodeFromPeek(t, peek(), &length);
      take(length);
      return symbol;
    };

    const uint32_t sym = decode(d.mainTable);
    if (sym < 256) {
      *out++ = static_cast<uint8_t>(sym);
    } else if (sym == 269) {
      newTables = true;
    } else {
      uint32_t length, distance;
      if (sym >= 270) {
        const uint32_t i = sym - 270;
        length = kLengthBase[i] + 3 + extra(kLengthBits[i]);
        const uint32_t j = decode(d.distanceTable);
        distance = kDistanceBase[j] + 1 + extra(kDistanceBits[j]);
        if (distance >= 0x2000) ++length;
        if (distance >= 0x40000) ++length;
        d.lastLength = length;
      } else if (sym == 256) {
        length = d.lastLength;
        distance = d.lastDistance;
      } else if (sym < 261) {
        distance = d.recent[(d.recentCounter - (sym - 256)) & 3];
        const uint32_t r = decode(d.repeatTable);
        length = kLengthBase[r] + 2 + extra(kLengthBits[r]);
        if (distance >= 0x101) ++length;
        if (distance >= 0x2000) ++length;
        if (distance >= 0x40000) ++length;
        d.lastLength = length;
      } else {
        const uint32_t i = sym - 261;
        distance = kShortBase[i] + 1 + extra(kShortBits[i]);
        length = 2;
        d.lastLength = 2;
      }
      d.recent[d.recentCounter & 3] = distance;
      ++d.recentCounter;
      d.lastDistance = distance;
      const uint32_t at = static_cast<uint32_t>(out - window);
      if (distance <= at) {
        if constexpr (kFreshWindow) {
          CopyOver(out, distance, length);
        } else {
          uint8_t after[kOverCopy];
          std::memcpy(after, out + length, sizeof after);
          CopyOver(out, distance, length);
          std::memcpy(out + length, after, sizeof after);
        }
      } else {
        CopyMatchBytes(d, at, distance, length);
      }
      out += length;
    }
    bit += used;
    pos += bit >> 3;
    bit &= 7;
    if (newTables) break;
  }
  d.inPos = pos;
  d.inBit = bit;
  const uint32_t written = static_cast<uint32_t>(out - (window + start));
  d.windowPos = start + written;
  s.bytesToProduce -= static_cast<int32_t>(written);
  if (newTables) ReadTables(d);
  return steps;
}

}  // namespace

uint32_t DecodeLZRun(DecoderState& d) {
  // The window cannot wrap inside a run (it stops short of the window's end).
  return d.windowWrapped ? RunLZ<false>(d) : RunLZ<true>(d);
}

}  // namespace archive
