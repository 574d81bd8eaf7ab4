// Fuzzes the packer: any bytes, cut into up to three files, packed with options taken from the
// input's first byte, must come back intact through the engine's own reader. A difference aborts.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "archive/archive_tool.h"
#include "rarpack/rarpack.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  // Option byte: bits 0-2 level (0..5), bit 3 solid, bits 4-5 forced audio channels (0: auto),
  // bit 6 tiny blocks. The second byte says where the input is cut into files.
  const uint8_t options = data[0];
  const uint8_t cut = data[1];
  const std::span<const uint8_t> body(data + 2, size - 2);
  zelk4::rarpack::PackOptions o;
  o.level = (options & 7) % 6;
  o.solid = (options & 8) != 0;
  o.forceAudioChannels = (options >> 4) & 3;
  o.blockSymbols = (options & 0x40) ? 37 : 0;

  const size_t first = body.size() * (cut & 15) / 16, second = body.size() * (cut >> 4) / 16;
  const size_t a = std::min(first, second), b = std::max(first, second);
  const std::vector<std::span<const uint8_t>> parts = {body.subspan(0, a), body.subspan(a, b - a), body.subspan(b)};
  std::vector<zelk4::rarpack::PackFile> files;
  for (size_t i = 0; i < parts.size(); ++i) files.push_back({"f" + std::to_string(i), parts[i]});
  const zelk4::rarpack::PackResult packed = zelk4::rarpack::PackArchive(files, o);
  if (!packed.ok) std::abort();

  for (uint32_t i = 0; i < files.size(); ++i) {
    uint8_t* out = nullptr;
    uint32_t outSize = 0;
    if (!ArchiveGetEntryAtFromMemory(&out, &outSize, packed.archive.data(), packed.archive.size(), i, nullptr)) {
      std::fprintf(stderr, "entry %u does not come back\n", i);
      std::abort();
    }
    const bool same = outSize == parts[i].size() && std::equal(parts[i].begin(), parts[i].end(), out);
    std::free(out);
    if (!same) {
      std::fprintf(stderr, "entry %u comes back different\n", i);
      std::abort();
    }
  }
  return 0;
}
