#include "archive/decode_table.h"

#include <cstring>

namespace archive {

void BuildDecodeTable(DecodeTable& t, const uint8_t* lengths, uint32_t count) {
  uint32_t perLength[16] = {};
  for (uint32_t i = 0; i < count; ++i) ++perLength[lengths[i] & 15];
  perLength[0] = 0;

  // limit[L] is the first 16-bit left-aligned code of more than L bits. For any lengths the
  // running code stays below 298 << 16, so the shift cannot overflow; the cap keeps limits inside
  // the 16 bits a peek yields, and they never decrease.
  uint32_t next[16];
  uint32_t code = 0;
  t.limit[0] = 0;
  t.first[0] = 0;
  next[0] = 0;
  for (uint32_t len = 1; len < 16; ++len) {
    code = 2 * (code + perLength[len]);
    const uint32_t limit = code << (15 - len);
    t.limit[len] = limit > 0xFFFF ? 0xFFFF : limit;
    t.first[len] = t.first[len - 1] + perLength[len - 1];
    next[len] = t.first[len];
  }
  std::memset(t.symbols, 0, sizeof t.symbols);
  for (uint32_t s = 0; s < count; ++s) {
    const uint32_t len = lengths[s] & 15;
    if (len != 0) t.symbols[next[len]++] = s;
  }
  t.symbolCount = count;
}

}  // namespace archive
