// The compact encoding, as the reader takes it: a high byte shared by the units of codes 1 and 3,
// then flag bytes of four 2-bit codes (most significant first), each code followed by its bytes:
// 0 a unit below 0x100 (one byte), 1 a unit with the shared high byte (one byte), 2 a whole unit
// (two bytes, low first), 3 a run of 2..129 units equal to the OEM bytes at the same positions
// (one byte: the run length - 2, top bit clear).
#include "rarpack/name_field.h"

#include <vector>

#include "archive/utf16.h"

namespace zelk4::rarpack {

namespace {

constexpr size_t kMaxUnits = 1024;
constexpr uint32_t kMaxRun = 129;

}  // namespace

NameField MakeNameField(const std::string& name) {
  NameField field;
  bool ascii = true;
  for (unsigned char c : name) ascii = ascii && c < 0x80;
  uint16_t units[kMaxUnits];
  size_t count = 0;
  if (ascii || !archive::Utf8ToUtf16(reinterpret_cast<const uint8_t*>(name.data()), name.size(), units, kMaxUnits,
                                     &count)) {
    field.bytes = name;
    return field;
  }

  std::string oem;
  uint32_t highCount[256] = {};
  for (size_t i = 0; i < count; ++i) {
    oem += units[i] < 0x80 ? static_cast<char>(units[i]) : '?';
    ++highCount[units[i] >> 8];
  }
  // The shared high byte: the one most characters outside the first 256 have.
  uint32_t high = 0, most = 0;
  for (uint32_t h = 1; h < 256; ++h) {
    if (highCount[h] > most) {
      most = highCount[h];
      high = h;
    }
  }

  std::vector<uint8_t> codes;  // (code, its bytes) in order, packed into flag bytes below
  std::vector<std::vector<uint8_t>> payloads;
  for (size_t i = 0; i < count;) {
    size_t run = 0;
    while (i + run < count && run < kMaxRun && units[i + run] < 0x80) ++run;
    if (run >= 2) {
      codes.push_back(3);
      payloads.push_back({static_cast<uint8_t>(run - 2)});
      i += run;
      continue;
    }
    const uint16_t u = units[i++];
    if ((u >> 8) == 0) {
      codes.push_back(0);
      payloads.push_back({static_cast<uint8_t>(u)});
    } else if ((u >> 8) == high) {
      codes.push_back(1);
      payloads.push_back({static_cast<uint8_t>(u)});
    } else {
      codes.push_back(2);
      payloads.push_back({static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8)});
    }
  }

  field.bytes = oem;
  field.bytes += '\0';
  field.bytes += static_cast<char>(high);
  for (size_t k = 0; k < codes.size(); k += 4) {
    uint8_t flags = 0;
    for (size_t j = 0; j < 4; ++j) flags |= static_cast<uint8_t>((k + j < codes.size() ? codes[k + j] : 0) << (6 - 2 * j));
    field.bytes += static_cast<char>(flags);
    for (size_t j = k; j < k + 4 && j < codes.size(); ++j)
      field.bytes.append(payloads[j].begin(), payloads[j].end());
  }
  field.unicode = true;
  return field;
}

}  // namespace zelk4::rarpack
