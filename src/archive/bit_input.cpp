#include "archive/bit_input.h"

#include <cstring>

#include "archive/walk.h"

namespace archive {

void FillInput(DecoderState& d) {
  // Bytes past what is read stay zero, so what a final peek sees does not depend on earlier data.
  std::memset(d.input, 0, sizeof d.input);
  d.inTop = ReadPackedData(d.input, kInputSize, sizeof d.input);
  d.inPos = 0;
  d.inBit = 0;
}

void RefillInput(DecoderState& d) {
  constexpr uint32_t kKept = kInputSize - kInputCarry;  // 8160: where the carried bytes start
  // Of the carried bytes, those below the old top are still packed data.
  const uint32_t carriedValid = d.inTop > kKept ? d.inTop - kKept : 0;
  std::memmove(d.input, d.input + kKept, kInputCarry);
  d.inPos &= kInputCarry - 1;
  std::memset(d.input + kInputCarry, 0, sizeof d.input - kInputCarry);
  const uint32_t got = ReadPackedData(d.input + kInputCarry, kKept, sizeof d.input - kInputCarry);
  d.inTop = got > 0 ? kInputCarry + got : carriedValid;
}

}  // namespace archive
