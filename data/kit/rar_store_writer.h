// The kit's RAR 2.0 archives, written by the packer (src/rarpack): marker block, main header,
// one file header plus data per entry, and the end-of-archive block, with MS-DOS as the host.
// Names are written as given, '/' turned into '\' (the engine asks with backslashes:
// "sound\dream1.xm").
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

// The whole archive in memory, each entry packed at `level` (0 stores them, method 0x30; 1..5
// compress, an entry that would not shrink is stored). Throws std::invalid_argument for a name
// that is empty or longer than 259 bytes, or an entry of 2 GiB or more.
Bytes WriteRar(const std::vector<ArchiveEntry>& entries, int level, uint32_t dosTime = kKitDosTime);

// Every entry stored (the packer's -m0).
Bytes WriteStoredRar(const std::vector<ArchiveEntry>& entries, uint32_t dosTime = kKitDosTime);

}  // namespace zelk4::kit
