// MatchFinder::Search, inline for the parser's hot loop (private; included by match_finder.h).
#pragma once

#include "rarpack/format.h"

namespace zelk4::rarpack {

template <typename Consider>
void MatchFinder::Search(uint32_t pos, uint32_t maxLength, uint32_t chainLength, uint32_t niceLength,
                         Consider consider) {
  InsertUpTo(pos);
  if (maxLength > size_ - pos) maxLength = size_ - pos;
  if (maxLength < 3) return;
  const uint32_t lowest = pos > kMaxDistance ? pos - kMaxDistance : 0;
  uint32_t best = 2;
  uint32_t cand = head_[Hash3(pos)];
  uint32_t previous = kNone;
  const uint8_t* here = data_ + pos;
  while (cand != kNone && chainLength > 0) {
    // A chain link that does not lead further back belongs to a slot reused by a newer position.
    if (previous != kNone && cand >= previous) break;
    previous = cand;
    if (cand < lowest || cand >= pos) break;
    --chainLength;
    const uint8_t* there = data_ + cand;
    if (there[best] == here[best] && there[0] == here[0] && there[1] == here[1]) {
      const uint32_t length = MatchLength(pos, pos - cand, maxLength);
      if (length > best) {
        best = length;
        consider(length, pos - cand);
        if (length >= niceLength || length >= maxLength) break;
      }
    }
    cand = prev_[cand & (kWindowSize - 1)];
  }
}

}  // namespace zelk4::rarpack
