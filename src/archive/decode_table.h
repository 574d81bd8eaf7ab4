// Canonical Huffman tables of the RAR 2.0 stream (private): building one from code lengths, and
// decoding one symbol by comparing the next 16 bits with the table's code limits.
#pragma once

#include <cstdint>

#include "archive/archive_state.h"
#include "archive/bit_input.h"

namespace archive {

// Builds t from `count` code lengths (each taken modulo 16; 0 means the symbol is unused).
void BuildDecodeTable(DecodeTable& t, const uint8_t* lengths, uint32_t count);

// Decodes one symbol. The code length is found by a fixed comparison tree over the limits
// (limit[0] is 0, the limits never decrease); an index outside the alphabet gives its first symbol.
inline uint32_t DecodeSymbol(DecoderState& d, const DecodeTable& t) {
  const uint32_t v = PeekBits(d) & 0xFFFE;
  const uint32_t* lim = t.limit;
  uint32_t len;
  if (v < lim[8]) {
    if (v < lim[4]) {
      if (v < lim[2]) len = v < lim[1] ? 1 : 2;
      else len = v < lim[3] ? 3 : 4;
    } else {
      if (v < lim[6]) len = v < lim[5] ? 5 : 6;
      else len = v < lim[7] ? 7 : 8;
    }
  } else {
    if (v < lim[12]) {
      if (v < lim[10]) len = v < lim[9] ? 9 : 10;
      else len = v < lim[11] ? 11 : 12;
    } else {
      if (v < lim[14]) len = v < lim[13] ? 13 : 14;
      else len = 15;
    }
  }
  SkipBits(d, len);
  uint32_t index = t.first[len] + ((v - lim[len - 1]) >> (16 - len));
  if (index >= t.symbolCount) index = 0;
  return t.symbols[index];
}

}  // namespace archive
