#include "rarpack/audio_model.h"

#include <cstdlib>

namespace zelk4::rarpack {

uint32_t AudioEncodeByte(AudioChannelState& c, int32_t& channelDelta, uint8_t byte) {
  ++c.byteCount;
  c.d4 = c.d3;
  c.d3 = c.d2;
  c.d2 = c.lastDelta - c.d1;
  c.d1 = c.lastDelta;
  const int32_t sum = 8 * c.lastByte + c.w1 * c.d1 + c.w2 * c.d2 + c.w3 * c.d3 + c.w4 * c.d4 +
                      c.w5 * channelDelta;
  const int32_t predicted = (sum >> 3) & 0xFF;
  const uint32_t s = static_cast<uint32_t>(predicted - byte) & 0xFF;
  // From here on exactly the decoder's steps for symbol s; b is the byte as it computes it.
  const int32_t b = predicted - static_cast<int32_t>(s);

  const int32_t e = static_cast<int32_t>(static_cast<int8_t>(static_cast<uint8_t>(s))) * 8;
  const int32_t candidates[11] = {e,        e - c.d1, e + c.d1, e - c.d2, e + c.d2,         e - c.d3,
                                  e + c.d3, e - c.d4, e + c.d4, e - channelDelta, e + channelDelta};
  for (int i = 0; i < 11; ++i) c.errors[i] += static_cast<uint32_t>(std::abs(candidates[i]));

  c.lastDelta = channelDelta = static_cast<int8_t>(static_cast<uint8_t>(b - c.lastByte));
  c.lastByte = b;

  if ((c.byteCount & 31) == 0) {
    uint32_t best = 0;
    for (uint32_t i = 1; i < 11; ++i)
      if (c.errors[i] < c.errors[best]) best = i;
    for (uint32_t& err : c.errors) err = 0;
    int32_t* weights[5] = {&c.w1, &c.w2, &c.w3, &c.w4, &c.w5};
    if (best > 0) {
      int32_t& w = *weights[(best - 1) / 2];
      if (best & 1) {
        if (w >= -16) --w;
      } else {
        if (w < 16) ++w;
      }
    }
  }
  return s;
}

namespace {

uint32_t LE16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t LE32(const uint8_t* p) { return LE16(p) | LE16(p + 2) << 16; }

constexpr uint32_t kFormatPcm = 1;
constexpr uint32_t kFormatExtensible = 0xFFFE;

}  // namespace

bool FindPcmRegion(std::span<const uint8_t> file, PcmRegion* region) {
  const uint8_t* p = file.data();
  const size_t size = file.size();
  if (size < 12 || LE32(p) != 0x46464952u /* RIFF */ || LE32(p + 8) != 0x45564157u /* WAVE */) return false;
  uint32_t frameBytes = 0;
  size_t at = 12;
  while (at + 8 <= size) {
    const uint32_t id = LE32(p + at);
    const uint64_t chunkSize = LE32(p + at + 4);
    const size_t body = at + 8;
    if (id == 0x20746D66u /* "fmt " */) {
      if (chunkSize < 16 || body + 16 > size) return false;
      const uint32_t format = LE16(p + body);
      const uint32_t channels = LE16(p + body + 2);
      const uint32_t blockAlign = LE16(p + body + 12);
      const uint32_t bits = LE16(p + body + 14);
      if (format == kFormatExtensible) {
        // The sub-format's first two bytes name the real format.
        if (chunkSize < 26 || body + 26 > size || LE16(p + body + 24) != kFormatPcm) return false;
      } else if (format != kFormatPcm) {
        return false;
      }
      if ((bits != 8 && bits != 16) || channels == 0 || blockAlign != channels * bits / 8) return false;
      frameBytes = blockAlign;
    } else if (id == 0x61746164u /* "data" */) {
      if (frameBytes == 0 || frameBytes > 4) return false;
      region->begin = static_cast<uint32_t>(body);
      region->end = static_cast<uint32_t>(body + chunkSize < size ? body + chunkSize : size);
      region->frameBytes = frameBytes;
      return region->end > region->begin;
    }
    at = body + chunkSize + (chunkSize & 1);  // chunks are padded to even sizes
  }
  return false;
}

}  // namespace zelk4::rarpack
