// MatchFinder::Search, inline for the parser's hot loop (private; included by match_finder.h).
#pragma once

#include "rarpack/format.h"

namespace zelk4::rarpack {

template <typename Consider>
void MatchFinder::Search(uint32_t pos, uint32_t maxLength, uint32_t chainLength, uint32_t niceLength,
                         Consider consider) {
  InsertUpTo(pos);
  if (pos + 3 > size_) return;
  // The next search is most likely one byte on: start fetching its chain head now.
  if (pos + 4 <= size_) __builtin_prefetch(&head_[Hash3(pos + 1)], 1);
  uint32_t cand;
  if (inserted_ == pos) {
    // Look pos up and enter it in one go.
    uint32_t& head = head_[Hash3(pos)];
    cand = head;
    Enter(pos, head);
    uint32_t& pair = lastPair_[Pair(pos)];
    pairBefore_ = pair;
    pairAt_ = pos;
    pair = pos;
    inserted_ = pos + 1;
  } else {
    cand = links_[pos & linkMask_].prev;  // searched before: its chain goes on from its link
  }

  if (maxLength > size_ - pos) maxLength = size_ - pos;
  if (maxLength < 3) return;
  const uint32_t lowest = pos > kMaxDistance ? pos - kMaxDistance : 0;
  uint32_t best = 2;
  uint32_t previous = kNone;
  const uint8_t* here = data_ + pos;
  const uint32_t here3 = Bytes4(pos) & 0xFFFFFF;
  while (cand != kNone && chainLength > 0) {
    // A chain link that does not lead further back belongs to a slot reused by a newer position.
    if (previous != kNone && cand >= previous) break;
    previous = cand;
    if (cand < lowest || cand >= pos) break;
    --chainLength;
    const Link& link = links_[cand & linkMask_];
    // Other three bytes under the same hash are turned away without touching the data.
    if ((link.bytes & 0xFFFFFF) == here3 && data_[cand + best] == here[best]) {
      const uint32_t length = MatchLength(pos, pos - cand, maxLength);
      if (length > best) {
        best = length;
        consider(length, pos - cand);
        if (length >= niceLength || length >= maxLength) break;
      }
    }
    cand = link.prev;
  }
}

}  // namespace zelk4::rarpack
