#include "archive/archive_state.h"

namespace archive {

// Zero-initialised at start-up: no decoder state, no open archive.
ArchiveState g_archive;

}  // namespace archive
