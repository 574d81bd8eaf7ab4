// Hash chains over the data of one decoder stream (private). Every position is entered once, in
// order; a search walks the chain of earlier positions that start with the same three bytes,
// nearest first, and never looks further back than the match distance limit.
#pragma once

#include <cstdint>
#include <vector>

namespace zelk4::rarpack {

struct MatchCandidate {
  uint32_t length = 0;
  uint32_t distance = 0;
};

class MatchFinder {
 public:
  // data/size: the whole stream; positions are offsets into it. Positions below `first` are
  // never entered (a finder for a trial starts near where the trial does).
  MatchFinder(const uint8_t* data, uint32_t size, uint32_t first = 0);

  // Enters every position below `end` not yet entered.
  void InsertUpTo(uint32_t end);

  // The length of the common run at pos and pos - distance, at most maxLength.
  uint32_t MatchLength(uint32_t pos, uint32_t distance, uint32_t maxLength) const;

  // Walks at most chainLength candidates for pos (entering positions up to pos first) and calls
  // consider(length, distance) for each one that is longer than the longest so far, for lengths
  // of at least 3; stops early at niceLength.
  template <typename Consider>
  void Search(uint32_t pos, uint32_t maxLength, uint32_t chainLength, uint32_t niceLength, Consider consider);

  // The nearest earlier position with the same two bytes as pos, as a distance (0: none).
  uint32_t NearestPair(uint32_t pos) const;

 private:
  static constexpr uint32_t kHashBits = 17;
  static constexpr uint32_t kNone = 0xFFFFFFFFu;

  uint32_t Hash3(uint32_t pos) const {
    const uint32_t v = uint32_t(data_[pos]) << 16 | uint32_t(data_[pos + 1]) << 8 | data_[pos + 2];
    return (v * 2654435761u) >> (32 - kHashBits);
  }
  uint32_t Pair(uint32_t pos) const { return uint32_t(data_[pos]) << 8 | data_[pos + 1]; }

  const uint8_t* data_;
  uint32_t size_;
  uint32_t inserted_ = 0;         // positions below this are in the chains
  std::vector<uint32_t> head_;    // latest position per hash
  std::vector<uint32_t> prev_;    // previous position with the same hash, per window slot
  std::vector<uint32_t> lastPair_;  // latest position per two-byte value
};

}  // namespace zelk4::rarpack

#include "rarpack/match_finder_search.h"
