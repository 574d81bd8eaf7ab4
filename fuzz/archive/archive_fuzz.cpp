// Fuzzes the archive lookup: the whole input is the archive (read from memory through the same
// walk the engine uses on files), looked up once by entry position and once by a name, and walked
// once whole as the tools do (every entry decoded, every name turned into UTF-8). The name is one
// the seed archives hold (so mutated seeds reach the decoder) or comes from the input's tail (so
// the name rule meets odd bytes). Every outcome is fine except a crash, a sanitizer report, or a
// slow input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "archive/archive_tool.h"

namespace {

const char* const kNames[] = {"exe\\test.exe", "JPG/TEST.JPG", "BoatModernEnglish.wav", "license.TXT",
                              "SECRET.TXT",    "void20",       "TECT.TXT"};
constexpr size_t kNameCount = sizeof kNames / sizeof kNames[0];

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t last = data[size - 1];
  const char* password = (last & 0x80) ? "password" : nullptr;

  uint8_t* out = nullptr;
  uint32_t outSize = 0;
  if (ArchiveGetEntryAtFromMemory(&out, &outSize, data, size, last & 3, password)) std::free(out);

  char tailName[64];
  const char* name = kNames[(size / 2) % kNameCount];
  if ((last & 0x70) == 0x70) {
    // Up to 63 bytes before the last one, cut at the first zero byte.
    const size_t n = size - 1 < sizeof tailName - 1 ? size - 1 : sizeof tailName - 1;
    std::memcpy(tailName, data + size - 1 - n, n);
    tailName[n] = 0;
    name = tailName;
  }
  out = nullptr;
  if (ArchiveGetFileFromMemory(&out, &outSize, data, size, name, password)) std::free(out);

  uint64_t sum = 0;
  ArchiveExtractEachFromMemory(
      data, size, password,
      [](const ArchiveEntryInfo& e, const uint8_t* bytes, uint32_t n, int ok, void* user) {
        // Touch what the tools read: the UTF-8 name and every byte handed over.
        uint64_t& s = *static_cast<uint64_t*>(user);
        s += std::strlen(e.utf8Name) + static_cast<uint64_t>(ok);
        for (uint32_t i = 0; i < n; ++i) s += bytes[i];
      },
      &sum, nullptr);
  volatile uint64_t sink = sum;
  (void)sink;
  return 0;
}
