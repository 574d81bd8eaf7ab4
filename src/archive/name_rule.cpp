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

bool NamesMatch(const char* a, const char* b) {
  // Both names are at most 259 bytes and terminated (the lookup refuses longer wanted names and
  // the walk cuts stored ones), well inside the 512 bytes the rule compares.
  for (int i = 0; i < 512; ++i) {
    const unsigned char ca = Fold(static_cast<unsigned char>(a[i]));
    const unsigned char cb = Fold(static_cast<unsigned char>(b[i]));
    if (ca != cb) return false;
    if (ca == 0) return true;
  }
  return true;
}

}  // namespace archive
