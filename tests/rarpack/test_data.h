// Inputs for the packer's tests: deterministic text, binary records, noise and PCM sound, and a
// round trip through the engine's own archive reader.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rarpack/rarpack.h"

namespace zelk4::rarpack_test {

using Bytes = std::vector<uint8_t>;

Bytes Noise(size_t size, uint32_t seed);
// English-like text made of a few hundred words, with punctuation and line breaks.
Bytes Text(size_t size, uint32_t seed);
// Little-endian records of counters, small floats and names, as game data files hold.
Bytes Records(size_t size, uint32_t seed);
// A WAV file: `bits` 8 or 16, `channels` 1..4, a few tones with a little noise.
Bytes Wav(uint32_t frames, uint32_t bits, uint32_t channels, uint32_t seed);
// The same with a chunk of `textBytes` of text before the sound and another one after it.
Bytes WavWithText(uint32_t frames, uint32_t bits, uint32_t channels, uint32_t seed, uint32_t textBytes);

struct Unpacked {
  bool ok = false;
  Bytes data;
};
// The entry at `index`, as the engine's lookup produces it from the archive bytes.
Unpacked Extract(const Bytes& archive, uint32_t index);

// One archive of the reference set: entries (names with backslashes) and how to pack them.
struct SetArchive {
  std::string file;  // e.g. "text-m3.rar"
  std::vector<std::pair<std::string, Bytes>> entries;
  zelk4::rarpack::PackOptions options;
};

// The archives that both our reader and the outside reference decoders must extract intact:
// noise, text, binary records and PCM sound, from 0 bytes to past the 1 MiB window, stored,
// LZ and audio mode, solid and not, many small blocks, and matches at every distance class.
const std::vector<SetArchive>& ReferenceSet();  // made once, on first use

zelk4::rarpack::PackResult PackSetArchive(const SetArchive& a);

}  // namespace zelk4::rarpack_test
