// The data archive: the one way to the demo's assets. A caller names a file inside a RAR 2.0
// archive and receives its bytes in a new memory block.
//
// Every lookup opens the archive, walks its blocks from the start (there is no directory cache),
// reads the entry stored or decompresses it, checks its CRC-32, and closes the archive again.
// The archive is hostile input: every read is bounded, and a damaged archive only makes the
// lookup fail.
//
// Single-threaded: the lookup state is one global; never call it from two threads or from
// inside a lookup.
#pragma once

#include <cstdint>

// Fetches the entry `name` from the archive file `archivePath`.
//
// name: the path inside the archive, e.g. "graphics\\loading.png". Letter case does not matter,
//   and '\\', '/' and '_' are all alike. The first matching entry wins. Names of 260 bytes or
//   more are refused.
// archivePath: opened relative to the working directory; when no file has exactly that name,
//   a file of the same name in another letter case in that folder is taken ("Data.rar" and
//   "data.rar" reach the same file). Paths of 256 bytes or more are refused.
// password: null or "" for none; used for entries encrypted with RAR 2.0 encryption.
//
// Returns 1 with *data pointing at a malloc'ed block of *size bytes, which the caller frees with
// free(). Returns 0 with *data null and *size 0 when the archive cannot be read, the entry is
// absent, cannot be decoded or fails its CRC-32.
int ArchiveGetFile(uint8_t** data, uint32_t* size, const char* name, const char* archivePath,
                   const char* password);
