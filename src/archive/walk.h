// Private to the archive library: the pieces of the archive walk, and the interface between the
// walk and the decoder. All of them work on g_archive.
#pragma once

#include <cstdint>
#include <cstdio>

#include "archive/archive_tool.h"

namespace archive {

// Opens the archive named in the lookup state (or the memory image when one is set); when no file
// has exactly that name, takes one whose name differs only in letter case in the same folder.
FILE* OpenArchiveFile(const char* path);

// Checks the marker block and reads the main header. False when the file is not an archive.
bool ReadMarkerAndMainHeader();

enum class BlockSearch {
  kFileHeader,    // a file header (and its name) was read; the file is at its packed data
  kEndBlock,      // an end-of-archive block (type 0x77)
  kEndOfArchive,  // nothing more to read, or a header cut short by the end of the file
  kBroken,        // a header size below 7, or a next block that is not after its start
};

// Finds the next file header from the current position, skipping blocks of other types.
BlockSearch FindNextFileHeader();

// The name rule: letter case does not matter, and '\\', '/' and '_' are alike.
bool NamesMatch(const char* a, const char* b);

// Runs the whole walk for the wanted name (or index); true when the wanted entry was produced and
// passed its CRC-32. Leaves closing and freeing to the caller.
bool RunArchiveWalk();

enum class WalkEnd {
  kComplete,    // the end block or the end of the file was reached
  kNoFile,      // the archive cannot be opened
  kNotArchive,  // no marker and main header, or no memory for the window
  kBroken,      // the block chain breaks
};

using EntryVisitor = void (*)(const ArchiveEntryInfo& entry, const uint8_t* data, uint32_t size, int ok,
                              void* user);

// The tools' walk: every entry in archive order, each read or decoded once, with the reads and
// CRC-32 checks of a lookup. Leaves closing and freeing to the caller.
WalkEnd RunEveryEntryWalk(EntryVisitor visit, void* user);

// The entry's header as the tools see it.
void FillEntryInfo(ArchiveEntryInfo* info, uint32_t index);

// The packed-data reader: reads up to `count` data bytes of the current entry (never more than are
// left) into buffer, decrypting them in whole 16-byte blocks when the entry is encrypted with
// RAR 2.0 encryption. `capacity` is the room in buffer: a final short block is decrypted only
// when a whole block fits. Returns the number of bytes read (0 once the data are used up).
uint32_t ReadPackedData(uint8_t* buffer, uint32_t count, uint32_t capacity);

// Decodes the current compressed entry into the window (and, for the wanted entry, through the
// window into the output block).
void DecodeEntry();

}  // namespace archive
