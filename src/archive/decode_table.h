// Canonical Huffman tables of the RAR 2.0 stream (private): building one from code lengths, and
// decoding one symbol from the next 16 bits: one quick lookup for codes of up to kQuickBits bits,
// else a comparison of the bits with the table's code limits.
#pragma once

#include <cstdint>

#include "archive/archive_state.h"
#include "archive/bit_input.h"

namespace archive {

// Builds t from `count` code lengths (each taken modulo 16; 0 means the symbol is unused).
void BuildDecodeTable(DecodeTable& t, const uint8_t* lengths, uint32_t count);

// The symbol of a code longer than kQuickBits bits, from the next 16 bits `peek`; its length goes
// to *length. The length is found by a fixed comparison tree over the limits (limit[0] is 0, the
// limits never decrease); an index outside the alphabet gives its first symbol.
inline uint32_t DecodeLongCode(const DecodeTable& t, uint32_t peek, uint32_t* length) {
  const uint32_t v = peek & 0xFFFE;
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
  *length = len;
  uint32_t index = t.first[len] + ((v - lim[len - 1]) >> (16 - len));
  if (index >= t.symbolCount) index = 0;
  return t.symbols[index];
}

// The symbol at the front of `peek` (the next 16 bits); its code length goes to *length.
inline uint32_t DecodeFromPeek(const DecodeTable& t, uint32_t peek, uint32_t* length) {
  const uint32_t quick = t.quick[peek >> (16 - kQuickBits)];
  if (quick != 0) [[likely]] {
    *length = quick & 15;
    return quick >> 4;
  }
  return DecodeLongCode(t, peek, length);
}

// Decodes one symbol from the bit input.
inline uint32_t DecodeSymbol(DecoderState& d, const DecodeTable& t) {
  uint32_t length;
  const uint32_t symbol = DecodeFromPeek(t, PeekBits(d), &length);
  SkipBits(d, length);
  return symbol;
}

}  // namespace archive
