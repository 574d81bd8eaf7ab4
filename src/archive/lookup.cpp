// ArchiveGetFile and its variants for tools: set up the lookup state, run the walk, and release
// everything the lookup used whatever its outcome.
#include <cstdlib>
#include <cstring>

#include "archive/archive.h"
#include "archive/archive_state.h"
#include "archive/archive_tool.h"
#include "archive/crc32.h"
#include "archive/walk.h"

using namespace archive;

namespace {

void CloseArchive() {
  LookupState& s = g_archive.lookup;
  if (s.file != nullptr) std::fclose(s.file);
  s.file = nullptr;
  std::free(s.fileBuffer);
  s.fileBuffer = nullptr;
  std::free(s.window);
  s.window = nullptr;
}

// Both names must fit their buffers whole: a name cut short could match the wrong entry.
bool CopyNames(const char* name, const char* archivePath) {
  LookupState& s = g_archive.lookup;
  if (name == nullptr || archivePath == nullptr) return false;
  if (std::strlen(name) >= sizeof s.wantedName || std::strlen(archivePath) >= sizeof s.archivePath)
    return false;
  std::strcpy(s.wantedName, name);
  std::strcpy(s.archivePath, archivePath);
  return true;
}

void BeginWalk(const char* password) {
  LookupState& s = g_archive.lookup;
  Crc32BuildTable(s.crcTable);
  s.output = nullptr;
  std::memset(s.password, 0, sizeof s.password);
  if (password != nullptr) std::snprintf(s.password, sizeof s.password, "%s", password);
}

// Whatever the outcome: no password or key left behind, the archive closed, the window freed.
void EndWalk() {
  LookupState& s = g_archive.lookup;
  std::memset(s.password, 0, sizeof s.password);
  std::memset(&s.cipher, 0, sizeof s.cipher);
  std::memset(&s.freshCipher, 0, sizeof s.freshCipher);
  s.freshCipherReady = false;
  CloseArchive();
  s.found = false;
}

int Lookup(uint8_t** data, uint32_t* size, const char* name, const char* archivePath,
           const char* password) {
  LookupState& s = g_archive.lookup;
  BeginWalk(password);
  uint32_t scratchSize = 0;
  s.outputSize = size != nullptr ? size : &scratchSize;
  *s.outputSize = 0;

  const bool ok = CopyNames(name, archivePath) && RunArchiveWalk();

  EndWalk();
  if (!ok) {
    std::free(s.output);
    s.output = nullptr;
    *s.outputSize = 0;
    if (data != nullptr) *data = nullptr;
    return 0;
  }
  if (data != nullptr) {
    *data = s.output;
  } else {
    std::free(s.output);
  }
  s.output = nullptr;
  return 1;
}

}  // namespace

int ArchiveGetFile(uint8_t** data, uint32_t* size, const char* name, const char* archivePath,
                   const char* password) {
  g_archive.lookup.wantedIndex = -1;
  return Lookup(data, size, name, archivePath, password);
}

int ArchiveGetEntryAt(uint8_t** data, uint32_t* size, uint32_t index, const char* archivePath,
                      const char* password) {
  g_archive.lookup.wantedIndex = index;
  const int result = Lookup(data, size, "", archivePath, password);
  g_archive.lookup.wantedIndex = -1;
  return result;
}

int ArchiveGetEntryAtFromMemory(uint8_t** data, uint32_t* size, const uint8_t* archiveBytes,
                                size_t archiveSize, uint32_t index, const char* password) {
  LookupState& s = g_archive.lookup;
  s.wantedIndex = index;
  s.memoryImage = archiveBytes;
  s.memorySize = archiveSize;
  const int result = Lookup(data, size, "", "(memory)", password);
  s.memoryImage = nullptr;
  s.memorySize = 0;
  s.wantedIndex = -1;
  return result;
}

int ArchiveGetFileFromMemory(uint8_t** data, uint32_t* size, const uint8_t* archiveBytes,
                             size_t archiveSize, const char* name, const char* password) {
  LookupState& s = g_archive.lookup;
  s.wantedIndex = -1;
  s.memoryImage = archiveBytes;
  s.memorySize = archiveSize;
  const int result = Lookup(data, size, name, "(memory)", password);
  s.memoryImage = nullptr;
  s.memorySize = 0;
  return result;
}

int ArchiveExtractEach(const char* archivePath, const char* password,
                       void (*visit)(const ArchiveEntryInfo& entry, const uint8_t* data, uint32_t size, int ok,
                                     void* user),
                       void* user, uint16_t* mainFlags) {
  LookupState& s = g_archive.lookup;
  BeginWalk(password);
  s.wantedIndex = -1;
  WalkEnd end = WalkEnd::kNoFile;
  if (CopyNames("", archivePath)) {
    end = RunEveryEntryWalk(visit, user);
    if (mainFlags != nullptr && end != WalkEnd::kNoFile && end != WalkEnd::kNotArchive) *mainFlags = s.mainFlags;
  }

  EndWalk();
  s.outputSize = nullptr;
  return end == WalkEnd::kComplete ? 1 : 0;
}

int ArchiveTestEach(const char* archivePath, const char* password,
                    void (*visit)(const ArchiveEntryInfo& entry, const uint8_t* data, uint32_t size, int ok,
                                  void* user),
                    void* user, uint16_t* mainFlags) {
  g_archive.lookup.checkOnly = true;
  const int result = ArchiveExtractEach(archivePath, password, visit, user, mainFlags);
  g_archive.lookup.checkOnly = false;
  return result;
}

int ArchiveExtractEachFromMemory(const uint8_t* archiveBytes, size_t archiveSize, const char* password,
                                 void (*visit)(const ArchiveEntryInfo& entry, const uint8_t* data, uint32_t size,
                                               int ok, void* user),
                                 void* user, uint16_t* mainFlags) {
  LookupState& s = g_archive.lookup;
  s.memoryImage = archiveBytes;
  s.memorySize = archiveSize;
  const int result = ArchiveExtractEach("(memory)", password, visit, user, mainFlags);
  s.memoryImage = nullptr;
  s.memorySize = 0;
  return result;
}

int ArchiveFileExists(const char* archivePath) {
  FILE* f = archivePath != nullptr ? OpenArchiveFile(archivePath) : nullptr;
  if (f == nullptr) return 0;
  std::fclose(f);
  return 1;
}

void ArchiveSetCrcCheck(int enabled) { g_archive.lookup.skipCrcCheck = enabled == 0; }

int ArchiveListEntries(const char* archivePath, void (*visit)(const ArchiveEntryInfo& entry, void* user),
                       void* user, uint16_t* mainFlags) {
  LookupState& s = g_archive.lookup;
  if (archivePath == nullptr || std::strlen(archivePath) >= sizeof s.archivePath) return 0;
  std::strcpy(s.archivePath, archivePath);
  s.file = OpenArchiveFile(s.archivePath);
  if (s.file == nullptr) return 0;
  bool ok = ReadMarkerAndMainHeader();
  if (ok && mainFlags != nullptr) *mainFlags = s.mainFlags;
  for (uint32_t index = 0; ok; ++index) {
    const BlockSearch found = FindNextFileHeader();
    if (found != BlockSearch::kFileHeader) {
      ok = found != BlockSearch::kBroken;
      break;
    }
    ArchiveEntryInfo info;
    FillEntryInfo(&info, index);
    visit(info, user);
    if (fseeko(s.file, s.nextBlock, SEEK_SET) != 0) ok = false;
  }
  CloseArchive();
  return ok ? 1 : 0;
}
