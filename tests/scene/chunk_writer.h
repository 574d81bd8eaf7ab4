// Writes small 3DS files for tests and benchmarks: chunks nest with Begin/End (End patches the
// length), values are little-endian. Helpers write the common chunks in the layout the loader
// reads. Nothing is checked: tests write broken files on purpose.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace zelk4::test {

struct Key3ds {
  uint32_t frame;
  std::vector<float> values;
  uint16_t splineFlags = 0;  // one extra float is written per set bit
};

class ChunkWriter {
 public:
  std::vector<uint8_t> bytes;

  ChunkWriter& Begin(uint16_t id) {
    U16(id);
    open_.push_back(bytes.size());
    return U32(0);
  }
  ChunkWriter& End() {
    const size_t start = open_.back() - 2;
    open_.pop_back();
    const uint32_t length = static_cast<uint32_t>(bytes.size() - start);
    for (int i = 0; i < 4; ++i) bytes[start + 2 + i] = static_cast<uint8_t>(length >> (8 * i));
    return *this;
  }
  ChunkWriter& U8(uint8_t v) {
    bytes.push_back(v);
    return *this;
  }
  ChunkWriter& U16(uint16_t v) { return U8(v & 0xFF).U8(v >> 8); }
  ChunkWriter& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
  ChunkWriter& F32(float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    return U32(v);
  }
  ChunkWriter& Str(const std::string& s) {
    for (char c : s) U8(static_cast<uint8_t>(c));
    return U8(0);
  }

  // A whole chunk holding only a string / a word.
  ChunkWriter& StrChunk(uint16_t id, const std::string& s) { return Begin(id).Str(s).End(); }
  ChunkWriter& Color24(uint8_t r, uint8_t g, uint8_t b) { return Begin(0x0011).U8(r).U8(g).U8(b).End(); }

  // POINT_ARRAY from file-axis (x, y, z) triples.
  ChunkWriter& Points(const std::vector<float>& xyz) {
    Begin(0x4110).U16(static_cast<uint16_t>(xyz.size() / 3));
    for (float f : xyz) F32(f);
    return End();
  }
  // FACE_ARRAY header and faces; the caller may add sub-chunks before End().
  ChunkWriter& BeginFaces(const std::vector<uint16_t>& abc, uint16_t flags = 0) {
    Begin(0x4120).U16(static_cast<uint16_t>(abc.size() / 3));
    for (size_t i = 0; i + 2 < abc.size(); i += 3) U16(abc[i]).U16(abc[i + 1]).U16(abc[i + 2]).U16(flags);
    return *this;
  }
  ChunkWriter& MaterialGroup(const std::string& name, uint16_t faceCount) {
    Begin(0x4130).Str(name).U16(faceCount);
    for (uint16_t i = 0; i < faceCount; ++i) U16(i);
    return End();
  }
  ChunkWriter& TexVerts(const std::vector<float>& uv) {
    Begin(0x4140).U16(static_cast<uint16_t>(uv.size() / 2));
    for (float f : uv) F32(f);
    return End();
  }
  // A track chunk (POS_TRACK_TAG .. COL_TRACK_TAG): flags, 8 bytes, key count, then the keys.
  ChunkWriter& Track(uint16_t id, const std::vector<Key3ds>& keys) {
    Begin(id).U16(0).U32(0).U32(0).U32(static_cast<uint32_t>(keys.size()));
    for (const Key3ds& k : keys) {
      U32(k.frame).U16(k.splineFlags);
      for (int bit = 0; bit < 16; ++bit) {
        if (k.splineFlags & (1u << bit)) F32(99.0f);
      }
      for (float v : k.values) F32(v);
    }
    return End();
  }
  // A mesh node's NODE_HDR: name, two flag words, parent index.
  ChunkWriter& NodeHeader(const std::string& name, int16_t parent = -1) {
    return Begin(0xB010).Str(name).U16(0).U16(0).U16(static_cast<uint16_t>(parent)).End();
  }

 private:
  std::vector<size_t> open_;
};

}  // namespace zelk4::test
