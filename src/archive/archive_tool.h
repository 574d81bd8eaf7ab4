// Archive access for tools, tests and fuzzing, over the same walk and decoder as ArchiveGetFile:
// listing the entries, extracting all of them in one pass, fetching an entry by its position,
// running a lookup over archive bytes held in memory, and entry names as UTF-8.
#pragma once

#include <cstdint>
#include <cstddef>

// The most of a name field read for its UTF-8 form, and the room that form may take.
constexpr size_t kArchiveNameFieldMax = 1024;
constexpr size_t kArchiveUtf8NameMax = 3 * kArchiveNameFieldMax + 1;

// One file header as the archive stores it (the fields the reader takes apart).
struct ArchiveEntryInfo {
  uint32_t index;         // position among the archive's file headers, from 0
  uint16_t flags;         // 0x0004 encrypted, 0x0010 solid continuation, 0x00E0 == 0x00E0 folder
  uint16_t headerSize;
  uint32_t packedSize;
  uint32_t unpackedSize;
  uint8_t hostOs;
  uint32_t fileCrc;
  uint32_t fileTime;      // MS-DOS date and time
  uint8_t version;        // version needed to extract (20 for RAR 2.0)
  uint8_t method;         // 0x30 stored, 0x31..0x35 compressed
  uint16_t nameSize;      // as stored; the name below holds at most 259 bytes of it
  uint32_t attributes;
  char name[260];         // raw bytes, cut at 259, terminated: what lookups compare
  // The name as people read it, in UTF-8: from the Unicode part of the field (flag 0x0200), or
  // the OEM name read as code page 437. nameIsExact is 0 when a Unicode part was malformed and
  // the OEM name stands in.
  char utf8Name[kArchiveUtf8NameMax];
  int nameIsExact;
};

constexpr uint16_t kArchiveEntryEncrypted = 0x0004;
constexpr uint16_t kArchiveEntrySolid = 0x0010;
constexpr uint16_t kArchiveEntryDirectoryMask = 0x00E0;
constexpr uint8_t kArchiveMethodStored = 0x30;

// Walks the archive's headers and calls visit for every file header in order. Returns 1 when the
// walk reached the end of the archive or its end block, 0 when the archive cannot be opened, is
// not an archive, or its block chain is broken (entries before the break have been visited).
// *mainFlags (when not null) receives the main header's flags (0x0008: solid archive).
int ArchiveListEntries(const char* archivePath, void (*visit)(const ArchiveEntryInfo& entry, void* user),
                       void* user, uint16_t* mainFlags);

// Extracts every entry in archive order, each read or decoded once (a solid archive too), with the
// same reads and CRC-32 checks as a lookup of that entry: visit gets ok = 1 with the entry's bytes
// (valid during the call only), or ok = 0 with none where that lookup would fail. Returns as
// ArchiveListEntries does.
int ArchiveExtractEach(const char* archivePath, const char* password,
                       void (*visit)(const ArchiveEntryInfo& entry, const uint8_t* data, uint32_t size, int ok,
                                     void* user),
                       void* user, uint16_t* mainFlags);

// Like ArchiveExtractEach, but only checks each entry (size and CRC-32, as its bytes are decoded)
// without keeping them: visit gets no data, and the size produced where ok is 1.
int ArchiveTestEach(const char* archivePath, const char* password,
                    void (*visit)(const ArchiveEntryInfo& entry, const uint8_t* data, uint32_t size, int ok,
                                  void* user),
                    void* user, uint16_t* mainFlags);

int ArchiveExtractEachFromMemory(const uint8_t* archiveBytes, size_t archiveSize, const char* password,
                                 void (*visit)(const ArchiveEntryInfo& entry, const uint8_t* data, uint32_t size,
                                               int ok, void* user),
                                 void* user, uint16_t* mainFlags);

// 1 when a lookup would find a file at archivePath (under that name or another letter case).
int ArchiveFileExists(const char* archivePath);

// The lookups' name rule: letter case (a..z) does not matter, and '\\', '/' and '_' are alike.
int ArchiveNamesMatch(const char* a, const char* b);

// Writes the name in a name field as UTF-8 into out (at most outSize - 1 bytes and a zero): with
// flag 0x0200, from the Unicode part after the OEM name and a zero byte (or, without that zero
// byte, the field itself when it is UTF-8); otherwise, or when that part is malformed, the OEM
// name read as code page 437. Returns false when it fell back to the OEM name although the flag
// promised more.
bool ArchiveNameToUtf8(const uint8_t* field, size_t fieldSize, uint16_t flags, char* out, size_t outSize);

// Like ArchiveGetFile, but takes the entry at position `index` among the file headers, whatever its
// name (so a second entry of the same name can be reached).
int ArchiveGetEntryAt(uint8_t** data, uint32_t* size, uint32_t index, const char* archivePath,
                      const char* password);

// Turns the CRC-32 check of the wanted entry off (0) or on (1, the default) for the lookups that
// follow. With it off, a lookup hands over whatever the entry produced, short or damaged: for
// salvaging and for looking at what a broken entry decodes to. The engine never turns it off.
void ArchiveSetCrcCheck(int enabled);

// Runs ArchiveGetFile's lookup over archive bytes in memory instead of a file (fuzzing and tests).
int ArchiveGetFileFromMemory(uint8_t** data, uint32_t* size, const uint8_t* archiveBytes,
                             size_t archiveSize, const char* name, const char* password);
int ArchiveGetEntryAtFromMemory(uint8_t** data, uint32_t* size, const uint8_t* archiveBytes,
                                size_t archiveSize, uint32_t index, const char* password);
