#include <algorithm>

#include "archive/archive_state.h"
#include "archive/walk.h"

namespace archive {

uint32_t ReadPackedData(uint8_t* buffer, uint32_t count, uint32_t capacity) {
  LookupState& s = g_archive.lookup;
  if (count == 0 || s.file == nullptr) return 0;
  const uint32_t wanted = std::min(count, s.packedLeft);
  const uint32_t got = static_cast<uint32_t>(std::fread(buffer, 1, wanted, s.file));
  s.packedLeft -= got;
  if (s.encryptionVersion >= 20) {
    for (uint32_t i = 0; i < got && i + 16 <= capacity; i += 16)
      Rar20DecryptBlock(&s.cipher, s.crcTable, buffer + i);
  }
  return got;
}

}  // namespace archive
