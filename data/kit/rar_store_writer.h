// A RAR 2.0 archive writer that stores files uncompressed (method 0x30). The layout is what
// WinRAR 2.x writes: marker block, main header, one file header plus data per entry, and an
// end-of-archive block. Header CRCs are the low 16 bits of the CRC-32 of the header from its type
// byte on. Names are written as given (the engine asks with backslashes: "sound\dream1.xm").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kit/byte_writer.h"

namespace zelk4::kit {

struct ArchiveEntry {
  std::string name;  // path inside the archive, backslash-separated, at most 259 bytes
  Bytes data;
};

// A DOS date/time stamp (date in the high 16 bits). The kit uses one fixed stamp so that the
// archive is the same byte for byte on every build.
uint32_t DosTime(int year, int month, int day, int hour, int minute, int second);
inline constexpr uint32_t kKitDosTime = (((2001 - 1980) << 9 | 6 << 5 | 1) << 16) | (12 << 11);

// The whole archive in memory. Throws std::invalid_argument for a name that is empty or longer
// than 259 bytes, or an entry of 4 GiB or more.
Bytes WriteStoredRar(const std::vector<ArchiveEntry>& entries, uint32_t dosTime = kKitDosTime);

}  // namespace zelk4::kit
