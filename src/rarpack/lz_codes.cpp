#include "rarpack/lz_codes.h"

#include <bit>

namespace zelk4::rarpack {

uint32_t LengthCode(uint32_t value) {
  uint32_t code = value < 8 ? value : 27;
  while (code > 0 && kLengthBase[code] > value) --code;
  return code;
}

uint32_t DistanceCode(uint32_t v) {
  if (v < 4) return v;
  if (v >= kLongDistance2) return 36 + ((v - kLongDistance2) >> 16);
  // Two codes per power of two: the highest bit picks the pair, the next one the code.
  const uint32_t high = 31 - static_cast<uint32_t>(std::countl_zero(v));
  return 2 * high + ((v >> (high - 1)) & 1);
}

uint32_t ShortCode(uint32_t v) {
  uint32_t code = 7;
  while (kShortBase[code] > v) --code;
  return code;
}

CodeChoice ChooseCode(const DistanceState& state, uint32_t length, uint32_t distance) {
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

void AppendMatch(DistanceState& state, uint32_t length, uint32_t distance, std::vector<Item>& out) {
  const CodeChoice c = ChooseCode(state, length, distance);
  switch (c.kind) {
    case CodeKind::kRepeatLast:
      out.push_back({kSymRepeatLast, kTableMain, 0, 0});
      state.Push(distance);  // the last length stays
      return;
    case CodeKind::kRecent: {
      const uint32_t code = LengthCode(c.value);
      out.push_back({static_cast<uint16_t>(kSymRepeatLast + c.index), kTableMain, 0, 0});
      out.push_back({static_cast<uint16_t>(code), kTableRepeat, kLengthBits[code], c.value - kLengthBase[code]});
      break;
    }
    case CodeKind::kShort: {
      const uint32_t v = distance - 1;
      out.push_back({static_cast<uint16_t>(kSymShort + c.index), kTableMain, kShortBits[c.index],
                     v - kShortBase[c.index]});
      break;
    }
    case CodeKind::kFull: {
      const uint32_t code = c.index;
      const uint32_t v = distance - 1;
      const uint32_t dcode = DistanceCode(v);
      out.push_back({static_cast<uint16_t>(kSymMatch + code), kTableMain, kLengthBits[code], c.value - kLengthBase[code]});
      out.push_back({static_cast<uint16_t>(dcode), kTableDistance, kDistanceBits[dcode], v - kDistanceBase[dcode]});
      break;
    }
  }
  state.lastLength = length;
  state.Push(distance);
}

}  // namespace zelk4::rarpack
