// Reading the archive's block structure: the marker, the main header, and the search for the
// next file header. Every header field is taken from bytes actually read; positions are 64-bit
// so no header value can wrap them.
#include <algorithm>
#include <cstring>

#include "archive/archive_state.h"
#include "archive/le.h"
#include "archive/walk.h"

namespace archive {

namespace {

constexpr uint8_t kMarkerRar[7] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};  // "Rar!" 1A 07 00
constexpr uint8_t kMarkerZapfol[7] = {'Z', 'a', 'p', 'f', 'o', 'l', '!'};
constexpr uint32_t kMainHeaderSize = 13;
constexpr uint32_t kFileHeaderSize = 32;
constexpr uint16_t kMinBlockHeader = 7;  // CRC, type, flags and size are in every block
constexpr uint32_t kMaxName = 259;

void ParseFileHeader(const uint8_t* b, FileHeader* h) {
  h->headerCrc = GetLE16(b);
  h->type = b[2];
  h->flags = GetLE16(b + 3);
  h->headerSize = GetLE16(b + 5);
  h->packedSize = GetLE32(b + 7);
  h->unpackedSize = GetLE32(b + 11);
  h->hostOs = b[15];
  h->fileCrc = GetLE32(b + 16);
  h->fileTime = GetLE32(b + 20);
  h->version = b[24];
  h->method = b[25];
  h->nameSize = GetLE16(b + 26);
  h->attributes = GetLE32(b + 28);
}

}  // namespace

bool ReadMarkerAndMainHeader() {
  LookupState& s = g_archive.lookup;
  uint8_t marker[7];
  if (std::fread(marker, 1, sizeof marker, s.file) != sizeof marker) return false;
  // Anything else (older RAR versions among them) is not an archive this reader knows.
  if (std::memcmp(marker, kMarkerRar, 7) != 0 && std::memcmp(marker, kMarkerZapfol, 7) != 0) return false;
  uint8_t main[kMainHeaderSize];
  if (std::fread(main, 1, sizeof main, s.file) != sizeof main) return false;
  s.mainFlags = GetLE16(main + 3);
  s.mainHeaderSize = GetLE16(main + 5);
  // Skip what a longer main header carries; a size below 13 skips nothing.
  if (s.mainHeaderSize > kMainHeaderSize)
    std::fseek(s.file, static_cast<long>(s.mainHeaderSize - kMainHeaderSize), SEEK_CUR);
  return true;
}

BlockSearch FindNextFileHeader() {
  LookupState& s = g_archive.lookup;
  const FileHeader kept = s.header;
  for (;;) {
    s.blockStart = ftello(s.file);
    uint8_t raw[kFileHeaderSize];
    const size_t got = std::fread(raw, 1, sizeof raw, s.file);
    // A header cut short by the end of the file ends the archive like an empty read does.
    if (got < sizeof raw) {
      s.header = kept;
      s.foundType = 0;
      fseeko(s.file, s.blockStart, SEEK_SET);
      return BlockSearch::kEndOfArchive;
    }
    ParseFileHeader(raw, &s.header);
    if (s.header.headerSize < kMinBlockHeader) {
      s.header = kept;
      return BlockSearch::kBroken;
    }
    int64_t next = s.blockStart + s.header.headerSize;
    if (s.header.flags & kBlockHasData) next += s.header.packedSize;
    if (next <= s.blockStart) {
      s.header = kept;
      return BlockSearch::kBroken;
    }
    s.nextBlock = next;
    if (s.header.type == kBlockFile) {
      // Names longer than the buffer are cut; the rest of the name is then read as packed data.
      const uint32_t nameSize = s.header.nameSize < kMaxName ? s.header.nameSize : kMaxName;
      const size_t nameGot = std::fread(s.entryName, 1, nameSize, s.file);
      s.entryName[nameGot] = 0;
      s.entryNameRead = static_cast<uint32_t>(nameGot);
      s.foundType = kBlockFile;
      return BlockSearch::kFileHeader;
    }
    if (s.header.type == kBlockEnd) {
      s.header = kept;
      s.foundType = kBlockEnd;
      fseeko(s.file, s.blockStart, SEEK_SET);
      return BlockSearch::kEndBlock;
    }
    // Comments, authenticity information, recovery records and the like are skipped.
    if (fseeko(s.file, next, SEEK_SET) != 0) return BlockSearch::kEndOfArchive;
  }
}

void FillEntryInfo(ArchiveEntryInfo* info, uint32_t index) {
  const LookupState& s = g_archive.lookup;
  const FileHeader& h = s.header;
  info->index = index;
  info->flags = h.flags;
  info->headerSize = h.headerSize;
  info->packedSize = h.packedSize;
  info->unpackedSize = h.unpackedSize;
  info->hostOs = h.hostOs;
  info->fileCrc = h.fileCrc;
  info->fileTime = h.fileTime;
  info->version = h.version;
  info->method = h.method;
  info->nameSize = h.nameSize;
  info->attributes = h.attributes;
  std::memcpy(info->name, s.entryName, sizeof info->name);

  // The whole name field, for the name people read: the walk reads only what a lookup compares,
  // so the rest (of a long or Unicode name) is fetched here and the file put back where it was.
  uint8_t field[kArchiveNameFieldMax];
  size_t fieldSize = s.entryNameRead;
  std::memcpy(field, s.entryName, fieldSize);
  if (h.nameSize > fieldSize && fieldSize == kMaxName) {
    const int64_t here = ftello(s.file);
    const size_t more = std::min<size_t>(h.nameSize, sizeof field) - fieldSize;
    fieldSize += std::fread(field + fieldSize, 1, more, s.file);
    fseeko(s.file, here, SEEK_SET);
  }
  info->nameIsExact = ArchiveNameToUtf8(field, fieldSize, h.flags, info->utf8Name, sizeof info->utf8Name) ? 1 : 0;
}

}  // namespace archive
