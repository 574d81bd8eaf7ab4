#include "archive/archive_tool.h"
#include "archive/walk.h"

namespace archive {

namespace {
// Every separator becomes '_' and a..z become upper case; other bytes stay as they are.
unsigned char Fold(unsigned char c) {
  if (c == '\\' || c == '/') return '_';
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 'a' + 'A');
  return c;
}
}  // namespace

// Lookups compare names of at most 259 bytes (the walk cuts stored ones and the lookup refuses
// longer wanted ones); the tools' UTF-8 names may be longer. Both are terminated.
bool NamesMatch(const char* a, const char* b) {
  for (size_t i = 0;; ++i) {
    const unsigned char ca = Fold(static_cast<unsigned char>(a[i]));
    const unsigned char cb = Fold(static_cast<unsigned char>(b[i]));
    if (ca != cb) return false;
    if (ca == 0) return true;
  }
}

}  // namespace archive

int ArchiveNamesMatch(const char* a, const char* b) {
  return a != nullptr && b != nullptr && archive::NamesMatch(a, b) ? 1 : 0;
}
