#include "rarpack/match_finder.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace zelk4::rarpack {

// MatchLength finds the first differing byte from the lowest set bit of two little-endian words.
static_assert(std::endian::native == std::endian::little);

namespace {

uint32_t TableSpan(uint32_t size) {
  uint32_t span = 1;
  while (span < size && span < kWindowSize) span <<= 1;
  return span;
}

}  // namespace

MatchFinder::MatchFinder(const uint8_t* data, uint32_t size, uint32_t first, bool shortMatches)
    : data_(data), size_(size), shortMatches_(shortMatches), linkMask_(TableSpan(size) - 1), inserted_(first),
      lastTriple_(shortMatches ? size_t(1) << kTripleBits : 0, kNone), lastPair_(shortMatches ? 65536 : 0, kNone) {
  const uint32_t spanBits = std::bit_width(TableSpan(size));
  if (shortMatches) {
    hashBits_ = std::clamp<uint32_t>(spanBits, 10, 20);
    head_.assign(size_t(1) << hashBits_, kNone);
    links_.reset(new Link[size_t(linkMask_) + 1]);
  } else {
    // A bucket per 32 window slots: hashes with few positions share their lines with others,
    // common ones keep their latest 16, and the table (2 bytes per slot) stays in the cache.
    hashBits_ = std::clamp<uint32_t>(std::max(spanBits, 11u) - 5, 6, 20);
    buckets_.assign((size_t(1) << hashBits_) * kBucketSlots, kNone);
  }
}

void MatchFinder::Enter(uint32_t pos) {
  const uint32_t bytes = Bytes4(pos);
  if (pos + 4 <= size_) EnterChain(pos, bytes);
  enteredAt_ = pos;
  tripleBefore_ = pairBefore_ = kNone;
  if (pos + 3 <= size_) {
    uint32_t& triple = lastTriple_[Hash3(bytes)];
    tripleBefore_ = triple;
    triple = pos;
  }
  if (pos + 2 <= size_) {
    uint32_t& pair = lastPair_[Pair(pos)];
    pairBefore_ = pair;
    pair = pos;
  }
}

void MatchFinder::InsertWithShortMatches(uint32_t end) {
  // All but the last position in one tight loop: only the last one's earlier triple and pair
  // are kept for the search that follows, and four bytes are there to read for each of them.
  const uint32_t bulkEnd = std::min(end - 1, size_ >= 4 ? size_ - 3 : 0);
  for (uint32_t pos = inserted_; pos < bulkEnd; ++pos) {
    const uint32_t bytes = Load4(pos);
    EnterChain(pos, bytes);
    lastTriple_[Hash3(bytes)] = pos;
    lastPair_[(bytes & 0xFF) << 8 | ((bytes >> 8) & 0xFF)] = pos;
  }
  for (inserted_ = std::max(inserted_, bulkEnd); inserted_ < end; ++inserted_) Enter(inserted_);
}

uint32_t MatchFinder::MatchLength(uint32_t pos, uint32_t distance, uint32_t maxLength) const {
  if (maxLength > size_ - pos) maxLength = size_ - pos;
  const uint8_t* a = data_ + pos;
  const uint8_t* b = a - distance;
  uint32_t n = 0;
  while (n + 8 <= maxLength) {
    uint64_t x, y;
    std::memcpy(&x, a + n, 8);
    std::memcpy(&y, b + n, 8);
    if (x != y) return n + static_cast<uint32_t>(__builtin_ctzll(x ^ y) >> 3);
    n += 8;
  }
  while (n < maxLength && a[n] == b[n]) ++n;
  return n;
}

uint32_t MatchFinder::NearestPair(uint32_t pos) const {
  if (!shortMatches_ || pos + 2 > size_) return 0;
  const uint32_t last = pos == enteredAt_ ? pairBefore_ : lastPair_[Pair(pos)];
  return last != kNone && last < pos ? pos - last : 0;
}

}  // namespace zelk4::rarpack
