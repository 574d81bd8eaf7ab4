// Little-endian byte output for the kit's file writers. Every writer builds its file in memory
// and hands back the bytes; nothing here touches the disk.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace zelk4::kit {

using Bytes = std::vector<uint8_t>;

class ByteWriter {
 public:
  void U8(uint32_t v) { bytes_.push_back(static_cast<uint8_t>(v)); }
  void U16(uint32_t v) {
    U8(v);
    U8(v >> 8);
  }
  void U32(uint32_t v) {
    U16(v);
    U16(v >> 16);
  }
  void F32(float f) {
    uint32_t v = 0;
    std::memcpy(&v, &f, 4);
    U32(v);
  }
  void Raw(const void* data, size_t n) {
    const auto* p = static_cast<const uint8_t*>(data);
    bytes_.insert(bytes_.end(), p, p + n);
  }
  void Raw(const Bytes& b) { bytes_.insert(bytes_.end(), b.begin(), b.end()); }
  // A text in a fixed field: cut to the field, the rest filled with `pad`.
  void Padded(std::string_view text, size_t field, uint8_t pad) {
    for (size_t i = 0; i < field; ++i) U8(i < text.size() ? static_cast<uint8_t>(text[i]) : pad);
  }
  // A zero-terminated text.
  void CString(std::string_view text) {
    Raw(text.data(), text.size());
    U8(0);
  }
  void Fill(size_t n, uint8_t v) { bytes_.insert(bytes_.end(), n, v); }

  // Overwrites a little-endian field already written (lengths known only afterwards).
  void PatchU16(size_t at, uint32_t v) {
    bytes_.at(at) = static_cast<uint8_t>(v);
    bytes_.at(at + 1) = static_cast<uint8_t>(v >> 8);
  }
  void PatchU32(size_t at, uint32_t v) {
    PatchU16(at, v);
    PatchU16(at + 2, v >> 16);
  }

  size_t Size() const { return bytes_.size(); }
  const Bytes& Data() const { return bytes_; }
  Bytes Take() { return std::move(bytes_); }

 private:
  Bytes bytes_;
};

}  // namespace zelk4::kit
