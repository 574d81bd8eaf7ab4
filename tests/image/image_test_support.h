// Helpers for the image tests: owned decode results, expected-pixel files, tiny file builders.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "archive/crc32.h"
#include "image/image.h"

namespace zelk4::test {

// One decode result; the pixel array is released with delete[] as the loaders require.
struct Decoded {
  bool ok = false;
  uint32_t width = 0;
  uint32_t height = 0;
  std::unique_ptr<uint32_t[]> pixels;

  uint32_t At(uint32_t x, uint32_t y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  std::vector<uint32_t> Words() const {
    return std::vector<uint32_t>(pixels.get(), pixels.get() + static_cast<size_t>(width) * height);
  }
};

using DecodeFunction = bool (*)(const uint8_t*, size_t, uint32_t*, uint32_t*, uint32_t**);

inline Decoded Decode(DecodeFunction decode, const std::vector<uint8_t>& bytes) {
  Decoded d;
  uint32_t* pixels = nullptr;
  d.ok = decode(bytes.data(), bytes.size(), &d.width, &d.height, &pixels);
  d.pixels.reset(pixels);
  return d;
}

// Little-endian 0xAARRGGBB words of an expected-result file.
inline std::vector<uint32_t> WordsOf(const std::vector<uint8_t>& bytes) {
  std::vector<uint32_t> words(bytes.size() / 4);
  for (size_t i = 0; i < words.size(); ++i) {
    words[i] = static_cast<uint32_t>(bytes[4 * i] | bytes[4 * i + 1] << 8 | bytes[4 * i + 2] << 16) |
               static_cast<uint32_t>(bytes[4 * i + 3]) << 24;
  }
  return words;
}

inline void PutLe16(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  out[at] = static_cast<uint8_t>(v);
  out[at + 1] = static_cast<uint8_t>(v >> 8);
}

// An 18-byte TGA header followed by the given pixel bytes.
inline std::vector<uint8_t> MakeTga(uint8_t imageType, uint32_t width, uint32_t height, uint8_t depth,
                                    const std::vector<uint8_t>& pixelBytes) {
  std::vector<uint8_t> out(18, 0);
  out[2] = imageType;
  PutLe16(out, 12, width);
  PutLe16(out, 14, height);
  out[16] = depth;
  out.insert(out.end(), pixelBytes.begin(), pixelBytes.end());
  return out;
}

// A 128-byte PCX header, the run-length stream and a palette whose entry k is (k, 0, 255 - k).
inline std::vector<uint8_t> MakePcx(uint32_t width, uint32_t height, const std::vector<uint8_t>& stream) {
  std::vector<uint8_t> out(128, 0);
  out[0] = 10;
  out[1] = 5;
  out[2] = 1;
  out[3] = 8;
  PutLe16(out, 4, 3);
  PutLe16(out, 6, 7);
  PutLe16(out, 8, 3 + width - 1);
  PutLe16(out, 10, 7 + height - 1);
  out[65] = 1;
  out.insert(out.end(), stream.begin(), stream.end());
  out.push_back(12);  // palette marker
  for (int k = 0; k < 256; ++k) {
    out.push_back(static_cast<uint8_t>(k));
    out.push_back(0);
    out.push_back(static_cast<uint8_t>(255 - k));
  }
  return out;
}

// PCX palette colour of index k as MakePcx writes it (red and blue exchanged by the loader).
inline uint32_t PcxColour(uint32_t k) { return 0xFF000000u | (255 - k) << 16 | k; }

// A PKM header with the palette entry k = (k & 63, 1, 2), the given extension bytes and stream.
inline std::vector<uint8_t> MakePkm(uint8_t shortMarker, uint8_t longMarker, uint32_t width, uint32_t height,
                                    const std::vector<uint8_t>& extensions, const std::vector<uint8_t>& stream) {
  std::vector<uint8_t> out(780, 0);
  std::memcpy(out.data(), "PKM", 3);
  out[4] = shortMarker;
  out[5] = longMarker;
  PutLe16(out, 6, width);
  PutLe16(out, 8, height);
  for (int k = 0; k < 256; ++k) {
    out[10 + 3 * k] = static_cast<uint8_t>(k & 63);
    out[11 + 3 * k] = 1;
    out[12 + 3 * k] = 2;
  }
  PutLe16(out, 778, static_cast<uint32_t>(extensions.size()));
  out.insert(out.end(), extensions.begin(), extensions.end());
  out.insert(out.end(), stream.begin(), stream.end());
  return out;
}

// PKM colour of index k as MakePkm writes it.
inline uint32_t PkmColour(uint32_t k, uint32_t alpha = 0xFF) {
  return alpha << 24 | (k & 63) * 4 << 16 | 4 << 8 | 8;
}

}  // namespace zelk4::test

namespace zelk4::test {

// A minimal PNG: signature, IHDR, optional extra chunks (already framed), one IDAT holding the
// filtered rows in stored deflate blocks, IEND. Chunk CRCs are right.
struct PngChunk {
  const char* type;
  std::vector<uint8_t> data;
};

inline void AppendChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
  const uint32_t length = static_cast<uint32_t>(data.size());
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(length >> s));
  const size_t typeAt = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  const uint32_t crc = ::Crc32(out.data() + typeAt, out.size() - typeAt);
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(crc >> s));
}

inline std::vector<uint8_t> MakePng(uint32_t width, uint32_t height, uint8_t depth, uint8_t colourType,
                                    const std::vector<uint8_t>& filteredRows, const std::vector<PngChunk>& extra = {}) {
  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> ihdr;
  for (uint32_t v : {width, height})
    for (int s = 24; s >= 0; s -= 8) ihdr.push_back(static_cast<uint8_t>(v >> s));
  ihdr.insert(ihdr.end(), {depth, colourType, 0, 0, 0});
  AppendChunk(out, "IHDR", ihdr);
  for (const auto& chunk : extra) AppendChunk(out, chunk.type, chunk.data);

  std::vector<uint8_t> z = {0x78, 0x01};
  size_t pos = 0;
  do {
    const size_t n = std::min<size_t>(filteredRows.size() - pos, 65535);
    const bool last = pos + n == filteredRows.size();
    z.insert(z.end(), {static_cast<uint8_t>(last), static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8),
                       static_cast<uint8_t>(~n), static_cast<uint8_t>(~n >> 8)});
    z.insert(z.end(), filteredRows.begin() + static_cast<long>(pos), filteredRows.begin() + static_cast<long>(pos + n));
    pos += n;
  } while (pos < filteredRows.size());
  uint32_t a = 1, b = 0;
  for (uint8_t v : filteredRows) {
    a = (a + v) % 65521;
    b = (b + a) % 65521;
  }
  const uint32_t adler = b << 16 | a;
  for (int s = 24; s >= 0; s -= 8) z.push_back(static_cast<uint8_t>(adler >> s));
  AppendChunk(out, "IDAT", z);
  AppendChunk(out, "IEND", {});
  return out;
}

}  // namespace zelk4::test
