// The audio loop's bit input (private): the next bits of the input buffer at the top of a 64-bit
// word, refilled from one 8-byte load whenever a step may need more, so that several steps share
// one load. The loop builds one from the decoder's input position, takes its steps, and stores
// the position back; the slow path's peek/skip helpers never see it. (The LZ loop, whose steps
// need up to 51 bits each, loads afresh per step instead: fewer instructions there.)
//
// After Refill() at least 56 bits are there: three audio steps take at most 45.
// The load reads up to 8 bytes from `next`; the callers keep `next` within the input buffer's
// 8 KiB and its pad, and never take bits beyond the data of the buffer they came from (bits read
// from the zeroed pad are only looked at, never taken, unless the buffer holds no more data).
#pragma once

#include <cstdint>
#include <cstring>

#include "archive/archive_state.h"
#include "archive/decode_table.h"

namespace archive {

class FastBits {
 public:
  explicit FastBits(const DecoderState& d) : in_(d.input), next_(d.input + d.inPos) {
    Refill();
    Take(d.inBit);
  }

  // The input buffer offset of the next byte a refill loads; the current byte lies 7 or 8 before
  // it right after a refill.
  uint32_t NextLoad() const { return static_cast<uint32_t>(next_ - in_); }

  void Refill() {
    bits_ |= LoadBigEndian64(next_) >> count_;
    next_ += (63 - count_) >> 3;
    count_ |= 56;
  }

  uint32_t Peek16() const { return static_cast<uint32_t>(bits_ >> 48); }

  void Take(uint32_t n) {
    bits_ <<= n;
    count_ -= n;
  }

  // The next n (0..16) bits as a number.
  uint32_t Read(uint32_t n) {
    const uint32_t v = Peek16() >> (16 - n);
    Take(n);
    return v;
  }

  uint32_t Decode(const DecodeTable& t) {
    uint32_t length;
    const uint32_t symbol = DecodeFromPeek(t, Peek16(), &length);
    Take(length);
    return symbol;
  }

  // Puts the position reached back into the decoder's input position and bit offset.
  void Store(DecoderState& d) const {
    const uint32_t bit = NextLoad() * 8 - count_;
    d.inPos = bit >> 3;
    d.inBit = bit & 7;
  }

 private:
  static uint64_t LoadBigEndian64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return __builtin_bswap64(v);
  }

  const uint8_t* in_;
  const uint8_t* next_;
  uint64_t bits_ = 0;   // the next count_ bits at the top; below them zeros or the bits after them
  uint32_t count_ = 0;  // 56..63 after a refill
};

}  // namespace archive
