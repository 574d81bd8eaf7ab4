#include "kit/rar_store_writer.h"

#include <limits>
#include <stdexcept>

#include "kit/crc32.h"

namespace zelk4::kit {
namespace {

constexpr uint8_t kMarker[7] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
constexpr uint8_t kMainHeader = 0x73;
constexpr uint8_t kFileHeader = 0x74;
constexpr uint8_t kEndOfArchive = 0x7B;
constexpr uint16_t kLongBlock = 0x8000;       // a data size follows the header size
constexpr uint16_t kSkipIfUnknown = 0x4000;   // old readers step over the block
constexpr uint8_t kHostMsDos = 0;
constexpr uint8_t kVersion20 = 20;
constexpr uint8_t kMethodStore = 0x30;
constexpr uint32_t kAttrArchive = 0x20;

// Writes a block whose CRC field (first two bytes) is filled once the header is complete.
void SealHeader(ByteWriter& out, size_t start) {
  const Bytes& b = out.Data();
  uint32_t crc = Crc32(b.data() + start + 2, b.size() - start - 2);
  out.PatchU16(start, crc & 0xFFFF);
}

}  // namespace

uint32_t DosTime(int year, int month, int day, int hour, int minute, int second) {
  uint32_t date = static_cast<uint32_t>((year - 1980) << 9 | month << 5 | day);
  uint32_t time = static_cast<uint32_t>(hour << 11 | minute << 5 | second / 2);
  return date << 16 | time;
}

Bytes WriteStoredRar(const std::vector<ArchiveEntry>& entries, uint32_t dosTime) {
  ByteWriter out;
  out.Raw(kMarker, sizeof kMarker);

  size_t start = out.Size();
  out.U16(0);
  out.U8(kMainHeader);
  out.U16(0);   // flags: not solid, not a volume, no comment
  out.U16(13);  // header size
  out.U16(0);   // reserved
  out.U32(0);   // reserved
  SealHeader(out, start);

  for (const ArchiveEntry& e : entries) {
    if (e.name.empty() || e.name.size() > 259) {
      throw std::invalid_argument("archive entry name must have 1 to 259 bytes: '" + e.name + "'");
    }
    if (e.data.size() > std::numeric_limits<uint32_t>::max() - 1) {
      throw std::invalid_argument("archive entry too large: " + e.name);
    }
    const auto size = static_cast<uint32_t>(e.data.size());
    start = out.Size();
    out.U16(0);
    out.U8(kFileHeader);
    out.U16(kLongBlock);
    out.U16(static_cast<uint32_t>(32 + e.name.size()));
    out.U32(size);  // packed size: stored, so the same
    out.U32(size);  // unpacked size
    out.U8(kHostMsDos);
    out.U32(Crc32(e.data.data(), e.data.size()));
    out.U32(dosTime);
    out.U8(kVersion20);
    out.U8(kMethodStore);
    out.U16(static_cast<uint32_t>(e.name.size()));
    out.U32(kAttrArchive);
    out.Raw(e.name.data(), e.name.size());
    SealHeader(out, start);
    out.Raw(e.data);
  }

  start = out.Size();
  out.U16(0);
  out.U8(kEndOfArchive);
  out.U16(kSkipIfUnknown);
  out.U16(7);
  SealHeader(out, start);
  return out.Take();
}

}  // namespace zelk4::kit
