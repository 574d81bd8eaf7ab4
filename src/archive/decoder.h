// Pieces of the RAR 2.0 decoder shared between its files (private).
#pragma once

#include <cstdint>

#include "archive/archive_state.h"

namespace archive {

// Reads a new set of code tables (LZ or audio) from the stream.
void ReadTables(DecoderState& d);

// Hands the bytes decoded since the last flush to the output block (wanted entry only).
void FlushWindow(DecoderState& d);

}  // namespace archive
