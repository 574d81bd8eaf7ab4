#include "rarpack/lz_codes.h"

namespace zelk4::rarpack {

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
