// One table read of the stream (private): the code lengths of all alphabets in force, sent as 19
// bit-length codes of 4 bits and then one bit-length symbol per length (a change to the old
// length, or a run). The plan is the cheapest path through those choices for the bit-length code
// it ends up with.
#pragma once

#include <cstdint>
#include <vector>

#include "rarpack/bit_writer.h"
#include "rarpack/lz_codes.h"

namespace zelk4::rarpack {

struct TablePlan {
  bool keepOld = false;           // header bit 14: lengths are changes to the old ones
  uint8_t bitLengths[19] = {};    // the bit-length code
  std::vector<Item> symbols;      // bit-length symbols with their run bits (table unused)
  uint64_t bits = 0;              // everything the table read takes, header included
};

// Plans the table read that sets `lengths[0..count)`. `old` is what the decoder holds as old
// lengths, or null when they must not be used (the previous table was of another size); then
// the header clears them. Both ways are tried when `old` is given.
TablePlan PlanTables(const uint8_t* lengths, uint32_t count, const uint8_t* old, bool audio);

// Writes a planned table read: header (audio flag, keep flag, channels for audio), bit lengths,
// symbols.
void WriteTables(const TablePlan& plan, bool audio, uint32_t channels, BitSink& out);

}  // namespace zelk4::rarpack
