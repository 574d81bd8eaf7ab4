#include "archive/archive_state.h"
#include "archive/walk.h"

namespace archive {
void DecodeEntry() {}
}  // namespace archive
