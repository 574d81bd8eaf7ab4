// Hash chains over the data of one decoder stream (private). Every position is entered once, in
// order. A search first takes the nearest earlier position with the same three bytes, then walks
// the chain of earlier positions that start with the same four bytes, nearest first; it never
// looks further back than the match distance limit. Chains of four bytes hold only candidates
// that can beat a three-byte match, so each step of the walk (a memory fetch far away) counts.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "rarpack/format.h"

namespace zelk4::rarpack {

class MatchFinder {
 public:
  // data/size: the whole stream; positions are offsets into it. Positions below `first` are
  // never entered (a finder for a trial starts near where the trial does). Without
  // shortMatches, only the four-byte chains are kept: no nearest three-byte match and no pairs,
  // which makes entering a position several times cheaper.
  MatchFinder(const uint8_t* data, uint32_t size, uint32_t first = 0, bool shortMatches = true);

  // Enters every position below `end` not yet entered. Inline: the parser calls it for every
  // position it searches.
  void InsertUpTo(uint32_t end) {
    if (end > size_) end = size_;
    if (inserted_ >= end) return;
    if (shortMatches_) {
      InsertWithShortMatches(end);
      return;
    }
    // Buckets only: every position with four bytes to hash, in one tight loop.
    const uint32_t last = size_ >= 4 ? size_ - 3 : 0;  // positions below have four bytes
    const uint32_t bucketEnd = end < last ? end : last;
    for (uint32_t pos = inserted_; pos < bucketEnd; ++pos) EnterBucket(pos, Load4(pos));
    inserted_ = end;
    enteredAt_ = end - 1;
  }

  // The length of the common run at pos and pos - distance, at most maxLength.
  uint32_t MatchLength(uint32_t pos, uint32_t distance, uint32_t maxLength) const;

  // Enters the positions up to pos, then calls consider(length, distance) for the nearest match
  // of at least three bytes and for each further one, up to chainLength of them, that is longer
  // than the longest so far; stops early at niceLength.
  template <typename Consider>
  void Search(uint32_t pos, uint32_t maxLength, uint32_t chainLength, uint32_t niceLength, Consider consider);

  // The nearest earlier position with the same two bytes as pos, as a distance (0: none). Right
  // after a search at pos, or before pos is entered.
  uint32_t NearestPair(uint32_t pos) const;

 private:
  static constexpr uint32_t kNone = 0xFFFFFFFFu;
  static constexpr uint32_t kTripleBits = 16;
  static constexpr uint32_t kBucketSlots = 16;  // one cache line of positions

  // The four bytes at pos (there must be four), first byte lowest.
  uint32_t Load4(uint32_t pos) const {
    uint32_t v;
    std::memcpy(&v, data_ + pos, 4);
    return v;
  }
  // The (up to) four bytes at pos, first byte lowest; zeros past the end.
  uint32_t Bytes4(uint32_t pos) const {
    if (pos + 4 <= size_) return Load4(pos);
    uint32_t v = 0;
    for (uint32_t i = 0; pos + i < size_; ++i) v |= uint32_t(data_[pos + i]) << (8 * i);
    return v;
  }
  uint32_t Hash4(uint32_t bytes) const { return (bytes * 2654435761u) >> (32 - hashBits_); }
  static uint32_t Hash3(uint32_t bytes) { return ((bytes & 0xFFFFFF) * 2654435761u) >> (32 - kTripleBits); }
  uint32_t Pair(uint32_t pos) const { return uint32_t(data_[pos]) << 8 | data_[pos + 1]; }
  // Puts pos, whose four bytes are `bytes`, first in its bucket; the oldest position leaves.
  void EnterBucket(uint32_t pos, uint32_t bytes) {
    uint32_t* bucket = &buckets_[size_t(Hash4(bytes)) * kBucketSlots];
    std::memmove(bucket + 1, bucket, (kBucketSlots - 1) * sizeof *bucket);
    bucket[0] = pos;
  }
  // Puts pos, whose four bytes are `bytes`, at the head of its chain.
  void EnterChain(uint32_t pos, uint32_t bytes) {
    uint32_t& head = head_[Hash4(bytes)];
    links_[pos & linkMask_] = {head, bytes};
    head = pos;
  }
  // Enters pos everywhere; what the triple and pair tables held before stays for the search.
  void Enter(uint32_t pos);
  void InsertWithShortMatches(uint32_t end);

  const uint8_t* data_;
  uint32_t size_;
  bool shortMatches_;
  // Small streams get small tables: a slot per position up to the window's size, and twice as
  // many hash values as slots (at most 2^20); with buckets, a bucket per 32 slots.
  uint32_t linkMask_;
  uint32_t hashBits_;
  uint32_t inserted_ = 0;         // positions below this are entered
  std::vector<uint32_t> head_;    // latest position per four-byte hash
  // Per window slot: the previous position with the same four-byte hash, and the four bytes at
  // the slot's position, side by side so one memory fetch tells whether a candidate is real.
  struct Link {
    uint32_t prev;
    uint32_t bytes;
  };
  // Not cleared: a slot is read only through a chain that reached it from a position entered
  // there (heads start empty), so what it held before is never seen. Saves a clear of up to
  // 8 MiB per stream, which was a tenth of packing many small files.
  std::unique_ptr<Link[]> links_;
  // Without short matches: per four-byte hash, the latest kBucketSlots positions entered, newest
  // first. A search reads one line of positions instead of walking a chain link by link (each a
  // fetch from far away), and checks the candidates in the data, which stay in the cache.
  std::vector<uint32_t> buckets_;
  std::vector<uint32_t> lastTriple_;  // latest position per three-byte hash
  std::vector<uint32_t> lastPair_;    // latest position per two-byte value
  uint32_t enteredAt_ = kNone;        // the position entered last, and what the triple and pair
  uint32_t tripleBefore_ = kNone;     // tables held for its bytes before
  uint32_t pairBefore_ = kNone;
};

}  // namespace zelk4::rarpack

#include "rarpack/match_finder_search.h"
