#include "archive/decode_table.h"

#include <cstring>

namespace archive {

namespace {

// The symbols of codes up to kQuickBits long, by their first kQuickBits bits. The codes of
// length L take the 16-bit values [limit[L-1], limit[L]); each limit is a multiple of 2^(16-L)
// (or the cap 0xFFFF, which no even peek reaches, so it stands for 0x10000), so every quick slot
// lies wholly inside one length's range and decodes to one symbol.
void BuildQuick(DecodeTable& t) {
  constexpr uint32_t kShift = 16 - kQuickBits;
  auto top = [](uint32_t limit) { return limit >= 0xFFFF ? 0x10000u : limit; };
  uint32_t slot = 0;
  for (uint32_t len = 1; len <= kQuickBits; ++len) {
    const uint32_t low = top(t.limit[len - 1]), high = top(t.limit[len]);
    for (; slot < (high >> kShift); ++slot) {
      uint32_t index = t.first[len] + (((slot << kShift) - low) >> (16 - len));
      if (index >= t.symbolCount) index = 0;
      t.quick[slot] = static_cast<uint16_t>(t.symbols[index] << 4 | len);
    }
  }
  for (; slot < (1u << kQuickBits); ++slot) t.quick[slot] = 0;
}

}  // namespace

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
  BuildQuick(t);
}

}  // namespace archive
