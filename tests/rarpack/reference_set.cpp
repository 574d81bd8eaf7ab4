#include <cstring>

#include "test_data.h"

namespace zelk4::rarpack_test {

namespace {

constexpr uint32_t kSetDosTime = (((2001 - 1980) << 9 | 6 << 5 | 1) << 16) | (12 << 11);  // 2001-06-01 12:00

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// Noise in which every block of `period` bytes starts with a copy of the bytes `distance` back:
// matches of `length` at exactly that distance, again and again.
Bytes RepeatsAt(uint32_t distance, uint32_t length, uint32_t period, uint32_t count, uint32_t seed) {
  Bytes out = Noise(distance + size_t(period) * count, seed);
  for (uint32_t k = 0; k < count; ++k) {
    const size_t at = distance + size_t(period) * k;
    std::memmove(out.data() + at, out.data() + at - distance, length);
  }
  return out;
}

// Noise followed by copies of every length from 2 to 260, each from a different place before it
// and followed by a byte that ends it: every length code with every extra-bits value.
Bytes EveryLength(uint32_t seed) {
  Bytes out = Noise(40000, seed);
  const Bytes fresh = Noise(300, seed + 1);
  for (uint32_t length = 2; length <= 260; ++length) {
    const size_t from = out.size() - 200 - (length * 97) % 30000;
    for (uint32_t i = 0; i < length; ++i) out.push_back(out[from + i]);
    out.push_back(fresh[length]);
  }
  return out;
}

// Text over a tiny alphabet: two- and three-byte matches at every short distance.
Bytes SmallAlphabet(size_t size, uint32_t seed) {
  Bytes out = Noise(size, seed);
  for (auto& b : out) b = static_cast<uint8_t>('a' + b % 6);
  return out;
}

zelk4::rarpack::PackOptions Options(int level, bool solid, uint32_t blockSymbols = 0, uint32_t forceChannels = 0) {
  zelk4::rarpack::PackOptions o;
  o.level = level;
  o.solid = solid;
  o.blockSymbols = blockSymbols;
  o.forceAudioChannels = forceChannels;
  return o;
}

}  // namespace

namespace {

std::vector<SetArchive> MakeReferenceSet() {
  std::vector<SetArchive> set;
  std::vector<std::pair<std::string, Bytes>> tiny;
  for (size_t size : {0, 1, 2, 3, 4, 17, 100})
    tiny.push_back({"tiny\\text" + std::to_string(size) + ".txt", Text(size, uint32_t(size))});
  tiny.push_back({"tiny\\noise.bin", Noise(33, 1)});
  set.push_back({"tiny.rar", tiny, Options(4, false)});
  set.push_back({"tiny-solid.rar", tiny, Options(4, true)});

  const std::vector<std::pair<std::string, Bytes>> text = {
      {"text\\words.txt", Text(120000, 1)}, {"text\\more.txt", Text(20000, 2)},
      {"text\\letters.txt", SmallAlphabet(40000, 3)}, {"data\\records.bin", Records(60000, 4)}};
  for (int level : {1, 3, 5}) set.push_back({"text-m" + std::to_string(level) + ".rar", text, Options(level, false)});
  set.push_back({"text-m0.rar", text, Options(0, false)});

  set.push_back({"binary.rar",
                 {{"data\\records.bin", Records(300000, 5)}, {"data\\noise.bin", Noise(60000, 6)},
                  {"data\\mixed.bin", Join({Records(20000, 7), Noise(5000, 8), Records(20000, 7)})}},
                 Options(4, false)});

  const std::vector<std::pair<std::string, Bytes>> sound = {
      {"sound\\mono8.wav", Wav(40000, 8, 1, 1)},   {"sound\\stereo8.wav", Wav(20000, 8, 2, 2)},
      {"sound\\three8.wav", Wav(15000, 8, 3, 3)},  {"sound\\four8.wav", Wav(12000, 8, 4, 4)},
      {"sound\\mono16.wav", Wav(20000, 16, 1, 5)}, {"sound\\stereo16.wav", Wav(15000, 16, 2, 6)},
      {"sound\\tagged.wav", WavWithText(15000, 16, 1, 7, 6001)}};
  set.push_back({"audio.rar", sound, Options(4, false)});
  set.push_back({"audio-solid.rar", sound, Options(3, true)});  // the quick parse between sounds
  // Blocks of an odd size: new tables in mid-sound at every channel phase, LZ and audio in turn.
  set.push_back({"blocks-solid.rar",
                 {{"a.wav", Wav(9000, 16, 2, 7)}, {"b.txt", Text(30000, 8)}, {"c.wav", Wav(9000, 8, 3, 9)},
                  {"d.bin", Records(20000, 10)}},
                 Options(4, true, 777)});
  set.push_back({"blocks.rar", {{"e.txt", Join({Text(30000, 11), Records(30000, 12), SmallAlphabet(20000, 13)})}},
                 Options(4, false, 500)});
  // Audio mode on what is not sound, with every channel count.
  set.push_back({"forced-audio1.rar", {{"t.txt", Text(20000, 14)}, {"n.bin", Noise(5000, 15)}}, Options(4, false, 0, 1)});
  set.push_back({"forced-audio3.rar", {{"r.bin", Records(30000, 16)}}, Options(4, false, 0, 3)});
  set.push_back({"forced-audio4.rar", {{"t.txt", Text(30000, 17)}}, Options(4, true, 0, 4)});

  set.push_back({"solid-mix.rar",
                 {{"mix\\empty-first.txt", {}},
                  {"mix\\words.txt", Text(50000, 20)},
                  {"mix\\records.bin", Records(40000, 21)},
                  {"mix\\stereo16.wav", Wav(20000, 16, 2, 22)},
                  {"mix\\empty.txt", {}},
                  {"mix\\noise.bin", Noise(20000, 23)},
                  {"mix\\words-again.txt", Text(50000, 20)},
                  {"mix\\mono8.wav", Wav(20000, 8, 1, 24)},
                  {"mix\\empty-last.txt", {}}},
                 Options(4, true)});

  // Matches at the distances where the codes change: 256/257 (short codes, recent-length bonus),
  // 0x2000 and 0x40000 (length bonuses) and the farthest the packer reaches.
  set.push_back({"distances.rar",
                 {{"d256.bin", RepeatsAt(256, 40, 300, 50, 30)},
                  {"d257.bin", RepeatsAt(257, 3, 300, 50, 31)},
                  {"d2000.bin", Join({RepeatsAt(0x1FFF, 4, 0x2400, 8, 32), RepeatsAt(0x2000, 4, 0x2400, 8, 33)})},
                  {"d40000.bin", Join({RepeatsAt(0x3FFFF, 5, 300, 1, 34), RepeatsAt(0x40000, 260, 300, 1, 35)})},
                  {"far.bin", RepeatsAt(0xFFE00, 300, 400, 1, 36)},
                  {"lengths.bin", EveryLength(37)}},
                 Options(4, false)});

  // Past the window: one entry larger than 1 MiB, and a solid run across it.
  const Bytes big = Join({Text(700000, 40), Noise(300000, 41), Records(400000, 42), Text(300000, 40)});
  set.push_back({"large.rar", {{"large.bin", big}}, Options(4, false)});
  set.push_back({"large-solid.rar",
                 {{"part1.bin", Bytes(big.begin(), big.begin() + 900000)},
                  {"part2.bin", Bytes(big.begin() + 900000, big.end())}},
                 Options(2, true)});
  return set;
}

}  // namespace

const std::vector<SetArchive>& ReferenceSet() {
  static const std::vector<SetArchive> made = MakeReferenceSet();
  return made;
}

zelk4::rarpack::PackResult PackSetArchive(const SetArchive& a) {
  std::vector<zelk4::rarpack::PackFile> files;
  for (const auto& [name, data] : a.entries) files.push_back({name, data, kSetDosTime});
  return zelk4::rarpack::PackArchive(files, a.options);
}

}  // namespace zelk4::rarpack_test
