// The name field of a file header (private): ASCII names as they are; other names (given in
// UTF-8) as an OEM name with '?' for every character outside ASCII, a zero byte, and the name in
// RAR's compact 16-bit encoding, which sets header flag 0x0200. Bytes that are not UTF-8 are
// stored unchanged, as an OEM name.
#pragma once

#include <cstdint>
#include <string>

namespace zelk4::rarpack {

struct NameField {
  std::string bytes;
  bool unicode = false;  // the header needs flag 0x0200
};

NameField MakeNameField(const std::string& name);

}  // namespace zelk4::rarpack
