// Bits most significant first, as the RAR 2.0 decoder takes them (private).
#pragma once

#include <cstdint>
#include <vector>

namespace zelk4::rarpack {

class BitWriter {
 public:
  // Appends the low `bits` (0..32) bits of value, highest first.
  void Put(uint32_t value, uint32_t bits) {
    acc_ = (acc_ << bits) | (value & Mask(bits));
    accBits_ += bits;
    if (accBits_ >= 32) {
      // Four whole bytes at once.
      accBits_ -= 32;
      const uint32_t word = static_cast<uint32_t>(acc_ >> accBits_);
      const uint8_t out[4] = {static_cast<uint8_t>(word >> 24), static_cast<uint8_t>(word >> 16),
                              static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word)};
      bytes_.insert(bytes_.end(), out, out + 4);
      acc_ &= Mask(accBits_);
    }
  }

  uint64_t BitCount() const { return uint64_t(bytes_.size()) * 8 + accBits_; }

  // The bytes written, the last one padded with zero bits; the writer is empty afterwards.
  std::vector<uint8_t> Finish() {
    while (accBits_ >= 8) {
      accBits_ -= 8;
      bytes_.push_back(static_cast<uint8_t>(acc_ >> accBits_));
    }
    if (accBits_ > 0) bytes_.push_back(static_cast<uint8_t>(acc_ << (8 - accBits_)));
    acc_ = 0;
    accBits_ = 0;
    std::vector<uint8_t> out;
    out.swap(bytes_);
    return out;
  }

 private:
  static uint64_t Mask(uint32_t bits) { return (uint64_t(1) << bits) - 1; }

  std::vector<uint8_t> bytes_;
  uint64_t acc_ = 0;      // bits not yet in bytes_, fewer than 32 between calls
  uint32_t accBits_ = 0;
};

// Where the packer's bits go: a writer, or nowhere when it only measures a choice. Every bit is
// counted either way.
class BitSink {
 public:
  BitSink(BitWriter* writer, uint64_t* counter) : writer_(writer), counter_(counter) {}
  void Put(uint32_t value, uint32_t bits) {
    *counter_ += bits;
    if (writer_ != nullptr) writer_->Put(value, bits);
  }

 private:
  BitWriter* writer_;
  uint64_t* counter_;
};

}  // namespace zelk4::rarpack
