// Writes a RAR 2.0 archive whose entries are stored (method 0x30): the marker block, a main
// header, one file header plus data per entry, and the end-of-archive block. Enough to put
// test files where the engine's archive lookup finds them.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "image_test_support.h"

namespace zelk4::test {

inline void PutLe(std::vector<uint8_t>& out, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// Header bytes from the type on; the 16-bit header CRC is the low half of their CRC-32.
inline void AppendBlock(std::vector<uint8_t>& out, const std::vector<uint8_t>& fromType) {
  PutLe(out, Crc32(fromType.data(), fromType.size()) & 0xFFFF, 2);
  out.insert(out.end(), fromType.begin(), fromType.end());
}

inline std::vector<uint8_t> MakeStoredRar(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& entries) {
  std::vector<uint8_t> out = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
  std::vector<uint8_t> main = {0x73};
  PutLe(main, 0, 2);   // flags
  PutLe(main, 13, 2);  // header size
  PutLe(main, 0, 6);   // reserved
  AppendBlock(out, main);
  for (const auto& [name, data] : entries) {
    std::vector<uint8_t> file = {0x74};
    PutLe(file, 0x8000, 2);  // data follow the header
    PutLe(file, 32 + static_cast<uint32_t>(name.size()), 2);
    PutLe(file, static_cast<uint32_t>(data.size()), 4);  // packed
    PutLe(file, static_cast<uint32_t>(data.size()), 4);  // unpacked
    file.push_back(0);                                   // host OS: MS-DOS
    PutLe(file, Crc32(data.data(), data.size()), 4);
    PutLe(file, 0x21000000, 4);  // time
    file.push_back(20);          // version needed
    file.push_back(0x30);        // stored
    PutLe(file, static_cast<uint32_t>(name.size()), 2);
    PutLe(file, 0x20, 4);  // archive attribute
    file.insert(file.end(), name.begin(), name.end());
    AppendBlock(out, file);
    out.insert(out.end(), data.begin(), data.end());
  }
  std::vector<uint8_t> end = {0x7B};
  PutLe(end, 0x4000, 2);
  PutLe(end, 7, 2);
  AppendBlock(out, end);
  return out;
}

}  // namespace zelk4::test
