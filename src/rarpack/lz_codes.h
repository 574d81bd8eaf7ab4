// How one literal or match becomes symbols of the RAR 2.0 stream (private), and the match state
// the decoder keeps for it: the four recent distances and the last match. The packer keeps the
// same state, so it knows when a match can be sent as "the last one again" (256), as one of the
// recent distances (257..260), as a short match (261..268) or must be sent in full (270..297).
#pragma once

#include <bit>
#include <cstdint>
#include <vector>

#include "rarpack/format.h"

namespace zelk4::rarpack {

// The alphabets, placed one after another in a table read: LZ tables fill 0..373, audio tables
// take 257 lengths per channel.
enum : uint8_t { kTableMain = 0, kTableDistance = 1, kTableRepeat = 2, kTableAudio = 3 /* 3..6 */ };

inline uint32_t TableOffset(uint32_t table) {
  switch (table) {
    case kTableMain: return 0;
    case kTableDistance: return kMainSymbols;
    case kTableRepeat: return kMainSymbols + kDistanceSymbols;
    default: return (table - kTableAudio) * kAudioSymbols;
  }
}

// One coded symbol and the raw bits that follow it.
struct Item {
  uint16_t symbol;
  uint8_t table;
  uint8_t extraBits;
  uint32_t extra;
};

struct DistanceState {
  uint32_t recent[4] = {};
  uint32_t counter = 0;  // low two bits: the slot written next
  uint32_t lastDistance = 0;
  uint32_t lastLength = 0;

  uint32_t Recent(uint32_t k) const { return recent[(counter - k) & 3]; }  // k = 1: most recent
  void Push(uint32_t distance) {
    recent[counter & 3] = distance;
    ++counter;
    lastDistance = distance;
  }
};

enum class CodeKind : uint8_t { kRepeatLast, kRecent, kShort, kFull };

struct CodeChoice {
  CodeKind kind;
  uint32_t index;  // kRecent: 1..4; kShort: 0..7; kFull: length code
  uint32_t value;  // kRecent/kFull: the length value the length code covers
};

// The length code of every length value 0..255, worked out once.
struct LengthCodeTable {
  uint8_t code[256];
  constexpr LengthCodeTable() : code() {
    for (uint32_t value = 0; value < 256; ++value) {
      uint32_t c = value < 8 ? value : 27;
      while (c > 0 && kLengthBase[c] > value) --c;
      code[value] = static_cast<uint8_t>(c);
    }
  }
};
inline constexpr LengthCodeTable kLengthCodes;

// The length code (0..27) for a length value 0..255, and the distance code for distance - 1.
// Inline: the parser prices every match candidate with them.
inline uint32_t LengthCode(uint32_t value) { return value < 256 ? kLengthCodes.code[value] : 27; }

inline uint32_t DistanceCode(uint32_t v) {
  if (v < 4) return v;
  if (v >= kLongDistance2) return 36 + ((v - kLongDistance2) >> 16);
  // Two codes per power of two: the highest bit picks the pair, the next one the code.
  const uint32_t high = 31 - static_cast<uint32_t>(std::countl_zero(v));
  return 2 * high + ((v >> (high - 1)) & 1);
}

inline uint32_t ShortCode(uint32_t v) {
  uint32_t code = 7;
  while (kShortBase[code] > v) --code;
  return code;
}

// The cheapest code kind for a match the stream can express (MinMatchLength..MaxMatchLength):
// the last match again, then a recent distance, then a short match, then a full one.
inline CodeChoice ChooseCode(const DistanceState& state, uint32_t length, uint32_t distance) {
  if (distance == state.lastDistance && length == state.lastLength) return {CodeKind::kRepeatLast, 0, 0};
  const uint32_t bonus = RecentLengthBonus(distance);
  if (length >= 2 + bonus && length - 2 - bonus <= 255) {
    for (uint32_t k = 1; k <= 4; ++k)
      if (state.Recent(k) == distance) return {CodeKind::kRecent, k, length - 2 - bonus};
  }
  if (length == 2 && distance <= 256) return {CodeKind::kShort, ShortCode(distance - 1), 0};
  const uint32_t value = length - 3 - MatchLengthBonus(distance);
  return {CodeKind::kFull, LengthCode(value), value};
}

// Appends the symbols of a match and updates the state as the decoder will.
void AppendMatch(DistanceState& state, uint32_t length, uint32_t distance, std::vector<Item>& out);

}  // namespace zelk4::rarpack
