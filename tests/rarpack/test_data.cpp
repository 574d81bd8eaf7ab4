#include "test_data.h"

#include <cmath>
#include <cstdlib>

#include "archive/archive_tool.h"

namespace zelk4::rarpack_test {

namespace {

struct Random {
  uint64_t state;
  uint32_t Next() {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>(state >> 33);
  }
};

const char* const kWords[] = {
    "the", "demo", "scene", "camera", "music", "archive", "window", "frame", "light", "mesh",
    "of", "and", "a", "to", "in", "is", "that", "it", "with", "as", "for", "was", "on", "are",
    "texture", "overlay", "flash", "particle", "keyframe", "spline", "quaternion", "matrix",
    "render", "device", "buffer", "vertex", "index", "pattern", "sample", "channel", "decoder",
    "table", "length", "distance", "symbol", "stream", "block", "header", "entry", "window's"};

}  // namespace

Bytes Noise(size_t size, uint32_t seed) {
  Random r{seed * 2654435761ull + 1};
  Bytes out(size);
  for (auto& b : out) b = static_cast<uint8_t>(r.Next() >> 7);
  return out;
}

Bytes Text(size_t size, uint32_t seed) {
  Random r{seed + 77};
  Bytes out;
  out.reserve(size + 16);
  size_t line = 0;
  while (out.size() < size) {
    const char* w = kWords[r.Next() % (sizeof kWords / sizeof kWords[0])];
    for (const char* p = w; *p != 0; ++p) out.push_back(static_cast<uint8_t>(*p));
    line += 8;
    const uint32_t k = r.Next() % 16;
    out.push_back(k == 0 ? ',' : k == 1 ? '.' : ' ');
    if (line > 70) {
      out.push_back('\n');
      line = 0;
    }
  }
  out.resize(size);
  return out;
}

Bytes Records(size_t size, uint32_t seed) {
  Random r{seed + 5};
  Bytes out;
  out.reserve(size + 32);
  for (uint32_t i = 0; out.size() < size; ++i) {
    const uint32_t fields[4] = {i, i * 3 + 7, r.Next() % 100, 0x3F800000u + (r.Next() % 64) * 0x10000};
    for (uint32_t f : fields)
      for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(f >> (8 * k)));
    const char* name = kWords[i % 24];
    for (int k = 0; k < 12; ++k) out.push_back(static_cast<uint8_t>(*name ? *name++ : 0));
  }
  out.resize(size);
  return out;
}

Bytes Wav(uint32_t frames, uint32_t bits, uint32_t channels, uint32_t seed) {
  Random r{seed + 9};
  const uint32_t frameBytes = channels * bits / 8;
  const uint32_t dataSize = frames * frameBytes;
  Bytes out;
  auto u16 = [&](uint32_t v) { out.push_back(v & 0xFF), out.push_back((v >> 8) & 0xFF); };
  auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
  auto tag = [&](const char* t) {
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(t[k]));
  };
  tag("RIFF"), u32(36 + dataSize), tag("WAVE"), tag("fmt "), u32(16), u16(1), u16(channels);
  u32(22050), u32(22050 * frameBytes), u16(frameBytes), u16(bits), tag("data"), u32(dataSize);
  for (uint32_t i = 0; i < frames; ++i) {
    for (uint32_t c = 0; c < channels; ++c) {
      const double t = i / 22050.0;
      const double v = 0.45 * std::sin(2 * M_PI * (220 + 70 * c) * t) + 0.2 * std::sin(2 * M_PI * 331 * t) +
                       0.02 * ((r.Next() % 2001) / 1000.0 - 1.0);
      if (bits == 8) {
        out.push_back(static_cast<uint8_t>(std::lround(128 + 127 * v)));
      } else {
        u16(static_cast<uint16_t>(static_cast<int16_t>(std::lround(32767 * v))));
      }
    }
  }
  return out;
}

Bytes WavWithText(uint32_t frames, uint32_t bits, uint32_t channels, uint32_t seed, uint32_t textBytes) {
  const Bytes wav = Wav(frames, bits, channels, seed);
  const Bytes text = Text(textBytes, seed);
  auto chunk = [&](const char* id) {
    Bytes c(id, id + 4);
    for (int k = 0; k < 4; ++k) c.push_back(static_cast<uint8_t>(textBytes >> (8 * k)));
    c.insert(c.end(), text.begin(), text.end());
    if (textBytes & 1) c.push_back(0);
    return c;
  };
  constexpr size_t kDataChunk = 36;  // Wav() writes "data" right after the 16-byte fmt chunk
  Bytes out(wav.begin(), wav.begin() + kDataChunk);
  const Bytes before = chunk("LIST"), after = chunk("note");
  out.insert(out.end(), before.begin(), before.end());
  out.insert(out.end(), wav.begin() + kDataChunk, wav.end());
  out.insert(out.end(), after.begin(), after.end());
  const uint32_t riff = static_cast<uint32_t>(out.size() - 8);
  for (int k = 0; k < 4; ++k) out[4 + k] = static_cast<uint8_t>(riff >> (8 * k));
  return out;
}

Unpacked Extract(const Bytes& archive, uint32_t index) {
  uint8_t* data = nullptr;
  uint32_t size = 0;
  Unpacked u;
  u.ok = ArchiveGetEntryAtFromMemory(&data, &size, archive.data(), archive.size(), index, nullptr) != 0;
  if (u.ok) u.data.assign(data, data + size);
  std::free(data);
  return u;
}

}  // namespace zelk4::rarpack_test
