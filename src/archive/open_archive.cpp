// Opening the archive file. The callers spell it "Data.rar" and "data.rar"; on a case-sensitive
// file system both must reach the same file, so a missing exact name falls back to a name in the
// same folder that differs only in letter case.
#include <dirent.h>
#include <strings.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "archive/archive_state.h"
#include "archive/walk.h"

namespace archive {

FILE* OpenArchiveFile(const char* path) {
  LookupState& s = g_archive.lookup;
  if (s.memoryImage != nullptr) {
    if (s.memorySize == 0) return nullptr;
    return fmemopen(const_cast<uint8_t*>(s.memoryImage), s.memorySize, "rb");
  }
  FILE* f = std::fopen(path, "rb");
  if (f != nullptr || errno != ENOENT) return f;

  const char* slash = std::strrchr(path, '/');
  const char* base = slash ? slash + 1 : path;
  char folder[256];
  if (slash) {
    std::snprintf(folder, sizeof folder, "%.*s", static_cast<int>(slash - path + 1), path);
  } else {
    std::snprintf(folder, sizeof folder, "./");
  }
  if (*base == 0) return nullptr;
  DIR* dir = opendir(folder);
  if (dir == nullptr) return nullptr;
  char found[512] = "";
  while (const dirent* e = readdir(dir)) {
    if (strcasecmp(e->d_name, base) == 0) {
      std::snprintf(found, sizeof found, "%s%s", slash ? folder : "", e->d_name);
      break;
    }
  }
  closedir(dir);
  return found[0] ? std::fopen(found, "rb") : nullptr;
}

}  // namespace archive
