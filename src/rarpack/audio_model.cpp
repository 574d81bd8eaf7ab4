#include "rarpack/audio_model.h"

#include <cstdlib>

namespace zelk4::rarpack {

uint32_t AudioEncodeByte(AudioChannelState& c, int32_t& channelDelta, uint8_t byte) {
  const int32_t predicted = archive::AudioPredict(c, channelDelta);
  const uint32_t s = static_cast<uint32_t>(predicted - byte) & 0xFF;
  // From here on exactly the decoder's steps for symbol s.
  archive::AudioAdapt(c, channelDelta, predicted, s);
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
