// MatchFinder::Search, inline for the parser's hot loop (private; included by match_finder.h).
#pragma once

#include "rarpack/format.h"

namespace zelk4::rarpack {

template <typename Consider>
void MatchFinder::Search(uint32_t pos, uint32_t maxLength, uint32_t chainLength, uint32_t niceLength,
                         Consider consider) {
  InsertUpTo(pos + 1);
  if (pos + 3 > size_ || pos != enteredAt_) return;
  if (maxLength > size_ - pos) maxLength = size_ - pos;
  if (maxLength < 3) return;
  // The next search is most likely one byte on: start fetching its chain head now.
  if (pos + 5 <= size_) {
    if (shortMatches_) {
      __builtin_prefetch(&head_[Hash4(Bytes4(pos + 1))], 1);
    } else {
      __builtin_prefetch(&buckets_[size_t(Hash4(Bytes4(pos + 1))) * kBucketSlots], 1);
    }
  }
  const uint32_t lowest = pos > kMaxDistance ? pos - kMaxDistance : 0;
  const uint32_t here4 = Bytes4(pos);
  const uint8_t* here = data_ + pos;

  uint32_t best = 2;
  const uint32_t triple = shortMatches_ ? tripleBefore_ : kNone;
  if (triple != kNone && triple >= lowest && (Bytes4(triple) & 0xFFFFFF) == (here4 & 0xFFFFFF)) {
    best = MatchLength(pos, pos - triple, maxLength);
    consider(best, pos - triple);
    if (best >= niceLength || best >= maxLength) return;
  }
  if (maxLength < 4 || pos + 4 > size_) return;

  if (!shortMatches_) {
    // The bucket's first position is pos itself; the others are earlier, newest first.
    const uint32_t* bucket = &buckets_[size_t(Hash4(here4)) * kBucketSlots];
    const uint32_t slots = chainLength + 1 < kBucketSlots ? chainLength + 1 : kBucketSlots;
    for (uint32_t i = 1; i < slots; ++i) {
      const uint32_t cand = bucket[i];
      if (cand == kNone || cand < lowest) break;
      if (Load4(cand) == here4 && data_[cand + best] == here[best]) {
        const uint32_t length = MatchLength(pos, pos - cand, maxLength);
        if (length > best) {
          best = length;
          consider(length, pos - cand);
          if (length >= niceLength || length >= maxLength) break;
        }
      }
    }
    return;
  }

  uint32_t cand = links_[pos & linkMask_].prev;
  uint32_t previous = pos;
  while (cand != kNone && chainLength > 0) {
    // A chain link that does not lead further back belongs to a slot reused by a newer position.
    if (cand >= previous || cand < lowest) break;
    previous = cand;
    --chainLength;
    const Link& link = links_[cand & linkMask_];
    // Other four bytes under the same hash are turned away without touching the data.
    if (link.bytes == here4 && data_[cand + best] == here[best]) {
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
