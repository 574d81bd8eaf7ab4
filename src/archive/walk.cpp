// The archive walk: from the main header, file header after file header, until the wanted entry
// has been produced. A non-solid archive jumps from header to header without reading data; a solid
// one decodes every compressed entry up to the wanted one, into the window only.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "archive/archive_state.h"
#include "archive/crc32.h"
#include "archive/walk.h"

namespace archive {

namespace {

constexpr uint8_t kMinVersion = 13;
constexpr uint8_t kMaxVersion = 20;

bool VersionSupported(const FileHeader& h) { return h.version >= kMinVersion && h.version <= kMaxVersion; }
// One coded bit yields at most one match of at most 260 bytes (length code 27 with all extra bits
// set, plus the long-distance additions), so a compressed entry can never unpack to more than
// 8 * 260 bytes per packed byte. Larger claims are refused before anything is allocated.
constexpr uint64_t kMaxBytesPerPackedByte = 8 * 260;
constexpr uint32_t kStoredChunk = 8192;

// How many packed bytes of the current entry the file can still deliver.
uint64_t PackedBytesAvailable() {
  LookupState& s = g_archive.lookup;
  const int64_t here = ftello(s.file);
  const int64_t inFile = (here >= 0 && s.fileSize > here) ? s.fileSize - here : 0;
  return std::min<uint64_t>(static_cast<uint64_t>(inFile), s.header.packedSize);
}

// Allocates the caller's block for the wanted entry, after checking that the header's unpacked
// size could be real: a stored entry cannot hold more than its data, a compressed one not more
// than its packed bits can code.
bool AllocateOutput() {
  LookupState& s = g_archive.lookup;
  const uint64_t unpacked = s.header.unpackedSize;
  const uint64_t available = PackedBytesAvailable();
  const uint64_t limit = s.header.method == kMethodStored ? available : available * kMaxBytesPerPackedByte;
  if (unpacked > limit || unpacked > INT32_MAX) return false;
  *s.outputSize = 0;
  s.runningCrc = 0xFFFFFFFFu;
  if (s.checkOnly) return true;
  // One byte at least, so a zero-length entry still gets a real block.
  s.output = static_cast<uint8_t*>(std::malloc(unpacked > 0 ? unpacked : 1));
  if (s.output == nullptr) return false;
  *s.outputSize = 0;
  return true;
}

// A stored entry goes straight into the output block. Encrypted ones are padded to whole 16-byte
// blocks, so they are read and decrypted in a work buffer and only the entry's bytes copied; so
// are the ones a test pass only checks.
void ReadStoredEntry() {
  LookupState& s = g_archive.lookup;
  const uint32_t wanted = std::min(s.header.unpackedSize, s.header.packedSize);
  if (s.encryptionVersion < 20 && s.output != nullptr) {
    *s.outputSize = ReadPackedData(s.output, wanted, wanted);
    return;
  }
  static uint8_t work[kStoredChunk];
  uint32_t done = 0;
  while (done < wanted) {
    const uint32_t got = ReadPackedData(work, kStoredChunk, kStoredChunk);
    if (got == 0) break;
    const uint32_t take = std::min(got, wanted - done);
    if (s.output != nullptr) {
      std::memcpy(s.output + done, work, take);
    } else {
      s.runningCrc = Crc32UpdateFast(s.runningCrc, work, take);
    }
    done += take;
  }
  std::memset(work, 0, sizeof work);
  *s.outputSize = done;
}

bool ExtractEntry() {
  LookupState& s = g_archive.lookup;
  const FileHeader& h = s.header;
  if (!VersionSupported(h)) return false;
  s.encryptionVersion = (s.password[0] != 0 && (h.flags & kFileEncrypted)) ? h.version : 0;
  // Entries of the older scheme (13..19) are read as they are.
  if (s.encryptionVersion >= 20) {
    if (!s.freshCipherReady) {
      Rar20SetPassword(&s.freshCipher, s.crcTable, s.password,
                       static_cast<uint32_t>(strnlen(s.password, sizeof s.password)));
      s.freshCipherReady = true;
    }
    s.cipher = s.freshCipher;
  }
  s.packedLeft = h.packedSize;
  s.bytesToProduce = static_cast<int32_t>(h.unpackedSize);
  if (h.method == kMethodStored) {
    if (s.found) ReadStoredEntry();
  } else {
    DecodeEntry();
  }
  if (!s.found || s.skipCrcCheck) return true;
  // Only bytes actually produced are checked: a short entry fails instead of hashing stale memory.
  if (*s.outputSize != h.unpackedSize) return false;
  const uint32_t crc = s.output != nullptr ? Crc32UpdateFast(0xFFFFFFFFu, s.output, *s.outputSize) : s.runningCrc;
  return ~crc == h.fileCrc;
}

// Opens the archive, reads its main header and allocates the window.
bool StartWalk() {
  LookupState& s = g_archive.lookup;
  s.file = OpenArchiveFile(s.archivePath);
  if (s.file == nullptr) return false;
  // (glibc ignores the size asked for unless it is given the buffer too.)
  s.fileBuffer = static_cast<char*>(std::malloc(kFileBufferSize));
  if (s.fileBuffer != nullptr) std::setvbuf(s.file, s.fileBuffer, _IOFBF, kFileBufferSize);
  fseeko(s.file, 0, SEEK_END);
  s.fileSize = ftello(s.file);
  fseeko(s.file, 0, SEEK_SET);
  if (!ReadMarkerAndMainHeader()) return false;
  s.window = static_cast<uint8_t*>(std::calloc(kWindowSize, 1));
  return s.window != nullptr;
}

}  // namespace

bool RunArchiveWalk() {
  LookupState& s = g_archive.lookup;
  if (!StartWalk()) return false;
  for (int64_t index = 0;; ++index) {
    if (FindNextFileHeader() != BlockSearch::kFileHeader) return false;
    s.found = s.wantedIndex >= 0 ? index == s.wantedIndex : NamesMatch(s.entryName, s.wantedName);
    if (s.found && !AllocateOutput()) return false;
    if ((s.mainFlags & kMainSolid) || s.found) {
      if (!ExtractEntry()) return false;
    }
    if (fseeko(s.file, s.nextBlock, SEEK_SET) != 0) return false;
    if (s.found) return true;
  }
}

WalkEnd RunEveryEntryWalk(EntryVisitor visit, void* user) {
  LookupState& s = g_archive.lookup;
  if (!StartWalk()) return s.file == nullptr ? WalkEnd::kNoFile : WalkEnd::kNotArchive;
  const bool solid = (s.mainFlags & kMainSolid) != 0;
  // In a solid archive an entry that cannot be extracted ends every later lookup there too.
  bool chainLost = false;
  for (uint32_t index = 0;; ++index) {
    const BlockSearch found = FindNextFileHeader();
    if (found != BlockSearch::kFileHeader) return found == BlockSearch::kBroken ? WalkEnd::kBroken : WalkEnd::kComplete;
    ArchiveEntryInfo info;
    FillEntryInfo(&info, index);
    uint32_t size = 0;
    s.outputSize = &size;
    bool ok = false;
    if (!chainLost) {
      // An entry whose size cannot be real is still decoded (into the window only) in a solid
      // archive, as a lookup of a later entry would.
      s.found = AllocateOutput();
      // An entry that claims to continue the previous one in an archive that is not solid meets,
      // in a lookup of its own, the decoder's state over a fresh (zeroed) window; so it does here.
      if (!solid && (s.header.flags & kFileSolid)) std::memset(s.window, 0, kWindowSize);
      if (s.found || solid) {
        const bool extracted = ExtractEntry();
        ok = s.found && extracted;
        if (solid && !VersionSupported(s.header)) chainLost = true;
      }
    }
    visit(info, ok ? s.output : nullptr, ok ? size : 0, ok ? 1 : 0, user);
    std::free(s.output);
    s.output = nullptr;
    s.found = false;
    if (fseeko(s.file, s.nextBlock, SEEK_SET) != 0) return WalkEnd::kBroken;
  }
}

}  // namespace archive
