// Canonical Huffman codes limited to 15 bits (private).
#pragma once

#include <cstdint>

namespace zelk4::rarpack {

// Code lengths for the symbols 0..count-1 from their frequencies: 0 for an unused symbol, at most
// maxBits for the others. With two or more used symbols the code is complete (every bit pattern
// decodes), which strict decoders require; a single used symbol gets length 1.
void BuildCodeLengths(const uint32_t* freq, uint32_t count, uint32_t maxBits, uint8_t* lengths);

// The canonical code of each symbol, as RAR (and deflate) assign them: shorter codes first, and
// within one length in symbol order, counting up from zero.
void CanonicalCodes(const uint8_t* lengths, uint32_t count, uint16_t* codes);

}  // namespace zelk4::rarpack
