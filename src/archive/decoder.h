// Pieces of the RAR 2.0 decoder shared between its files (private).
#pragma once

#include <cstdint>

#include "archive/archive_state.h"

namespace archive {

// Flush when fewer than this many bytes are free ahead of the window position: a match is at
// most 260 bytes, so the window never overruns bytes not yet flushed.
constexpr uint32_t kFlushMargin = 270;

// Reads a new set of code tables (LZ or audio) from the stream.
void ReadTables(DecoderState& d);

// Hands the bytes decoded since the last flush to the output block (wanted entry only).
void FlushWindow(DecoderState& d);

// One LZ step with every rule of the format (the decoding loop's checks are the caller's).
void DecodeLZStep(DecoderState& d);

// LZ steps in a row while none of the decoding loop's checks can fire; returns how many it took
// (0: the caller takes one with DecodeLZStep). Stops after a step that reads new tables.
uint32_t DecodeLZRun(DecoderState& d);

// Audio steps in rounds of the channel count, while none of the decoding loop's checks can fire;
// returns how many rounds it began (0: the caller takes one step with DecodeAudioStep). Stops
// after a step that reads new tables.
uint32_t DecodeAudioRun(DecoderState& d);

// Copies `length` bytes from `distance` back to window position `pos`, byte by byte so an overlap
// repeats the pattern, wrapping at the window's end. A source before the first byte of a fresh
// window yields zeros for the whole match. Does not move the window position.
void CopyMatchBytes(DecoderState& d, uint32_t pos, uint32_t distance, uint32_t length);

}  // namespace archive
