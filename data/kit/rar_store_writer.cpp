#include "kit/rar_store_writer.h"

#include <stdexcept>

#include "rarpack/rarpack.h"

namespace zelk4::kit {

uint32_t DosTime(int year, int month, int day, int hour, int minute, int second) {
  uint32_t date = static_cast<uint32_t>((year - 1980) << 9 | month << 5 | day);
  uint32_t time = static_cast<uint32_t>(hour << 11 | minute << 5 | second / 2);
  return date << 16 | time;
}

Bytes WriteRar(const std::vector<ArchiveEntry>& entries, int level, uint32_t dosTime) {
  std::vector<rarpack::PackFile> pack;
  for (const ArchiveEntry& e : entries) pack.push_back({e.name, e.data, dosTime});
  rarpack::PackOptions options;
  options.level = level;
  options.hostOs = 0;  // MS-DOS, as the kit has always written
  rarpack::PackResult packed = rarpack::PackArchive(pack, options);
  if (!packed.ok) throw std::invalid_argument(packed.error);
  return std::move(packed.archive);
}

Bytes WriteStoredRar(const std::vector<ArchiveEntry>& entries, uint32_t dosTime) {
  return WriteRar(entries, 0, dosTime);
}

}  // namespace zelk4::kit
