// The writers' byte layouts: the fields readers rely on, checked on small handmade inputs.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <stdexcept>

#include "archive/crc32.h"
#include "kit/kit.h"

namespace zelk4::kit {
namespace {

uint32_t Le16(const Bytes& b, size_t at) { return b.at(at) | b.at(at + 1) << 8; }
uint32_t Le32(const Bytes& b, size_t at) { return Le16(b, at) | Le16(b, at + 2) << 16; }

TEST(KitRar, BlocksCarryHeaderCrcsFieldsAndTheEndBlock) {
  const Bytes rar = WriteStoredRar({{"sound\\a.xm", {1, 2, 3}}, {"graphics\\b.png", {}}});
  const uint8_t marker[7] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
  ASSERT_EQ(std::memcmp(rar.data(), marker, 7), 0);
  // Main header: the bytes every RAR 2.x archive without flags starts with.
  const uint8_t mainHeader[13] = {0xCF, 0x90, 0x73, 0, 0, 13, 0, 0, 0, 0, 0, 0, 0};
  ASSERT_EQ(std::memcmp(rar.data() + 7, mainHeader, 13), 0);

  size_t at = 20;
  for (const char* name : {"sound\\a.xm", "graphics\\b.png"}) {
    const size_t headerSize = Le16(rar, at + 5);
    EXPECT_EQ(rar[at + 2], 0x74);
    EXPECT_EQ(Le16(rar, at + 3) & 0x8000u, 0x8000u) << "data follow the header";
    EXPECT_EQ(headerSize, 32 + std::strlen(name));
    EXPECT_EQ(Le16(rar, at), ::Crc32(rar.data() + at + 2, headerSize - 2) & 0xFFFF) << name;
    EXPECT_EQ(Le32(rar, at + 7), Le32(rar, at + 11)) << "stored: packed size = unpacked size";
    EXPECT_EQ(Le32(rar, at + 20), kKitDosTime);
    EXPECT_EQ(rar[at + 24], 20);
    EXPECT_EQ(rar[at + 25], 0x30);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(rar.data() + at + 32), std::strlen(name)), name);
    const uint32_t size = Le32(rar, at + 7);
    EXPECT_EQ(Le32(rar, at + 16), ::Crc32(rar.data() + at + headerSize, size));
    at += headerSize + size;
  }
  const uint8_t end[7] = {0xC4, 0x3D, 0x7B, 0x00, 0x40, 0x07, 0x00};
  ASSERT_EQ(rar.size(), at + 7);
  EXPECT_EQ(std::memcmp(rar.data() + at, end, 7), 0);

  EXPECT_EQ(DosTime(2001, 6, 1, 12, 0, 0), kKitDosTime);
  EXPECT_THROW(WriteStoredRar({{"", {}}}), std::invalid_argument);
  EXPECT_THROW(WriteStoredRar({{std::string(260, 'a'), {}}}), std::invalid_argument);
  EXPECT_NO_THROW(WriteStoredRar({{std::string(259, 'a'), {}}}));
}

TEST(KitXm, HeaderAndPatternsAreLaidOutAsFastTracker2SavesThem) {
  XmModule m;
  m.name = "t";
  m.channels = 2;
  m.order = {0};
  XmPattern p(2, 2);
  p.At(0, 0) = {49, 1, 0x50, 0x0C, 0x20};  // all five fields: written unpacked
  p.At(0, 1) = {0, 0, 0, kXmEffectZ, 0x30};
  p.At(1, 0) = {kXmNoteOff, 0, 0, 0, 0};
  m.patterns.push_back(p);
  XmInstrument ins;
  ins.name = "i";
  ins.sample.data = {100, 90, -32768, 32767};
  m.instruments.push_back(ins);
  const Bytes xm = WriteXm(m);

  EXPECT_EQ(std::string(xm.begin(), xm.begin() + 17), "Extended Module: ");
  EXPECT_EQ(std::string(xm.begin() + 17, xm.begin() + 37), "t                   ");  // spaces, no zero
  EXPECT_EQ(xm[37], 0x1A);
  EXPECT_EQ(std::string(xm.begin() + 38, xm.begin() + 58), "FastTracker v2.00   ");
  EXPECT_EQ(Le16(xm, 58), 0x0104u);
  EXPECT_EQ(Le32(xm, 60), 276u);

  const size_t pattern = 60 + 276;
  EXPECT_EQ(Le32(xm, pattern), 9u);
  EXPECT_EQ(Le16(xm, pattern + 5), 2u);
  const Bytes packed(xm.begin() + pattern + 9, xm.begin() + pattern + 9 + Le16(xm, pattern + 7));
  const Bytes expected = {49, 1, 0x50, 0x0C, 0x20,  // unpacked full cell
                          0x98, kXmEffectZ, 0x30,    // effect and parameter only
                          0x81, kXmNoteOff,          // note only
                          0x80};                     // empty
  EXPECT_EQ(packed, expected);

  const size_t instrument = pattern + 9 + packed.size();
  EXPECT_EQ(Le32(xm, instrument), 263u);
  EXPECT_EQ(Le16(xm, instrument + 27), 1u);
  EXPECT_EQ(Le32(xm, instrument + 29), 40u);
  const size_t sample = instrument + 263;
  EXPECT_EQ(Le32(xm, sample), 8u);        // length in bytes
  EXPECT_EQ(xm[sample + 14] & 0x10, 0x10);  // 16-bit
  // Sample data are differences from the previous sample, wrapping at 16 bits.
  const size_t data = sample + 40;
  EXPECT_EQ(Le16(xm, data), 100u);
  EXPECT_EQ(Le16(xm, data + 2), uint32_t(uint16_t(-10)));
  EXPECT_EQ(Le16(xm, data + 4), uint32_t(uint16_t(-32768 - 90)));
  EXPECT_EQ(Le16(xm, data + 6), uint32_t(uint16_t(32767 + 32768)));
  EXPECT_EQ(xm.size(), data + 8);

  XmModule odd = m;
  odd.channels = 3;
  EXPECT_THROW(WriteXm(odd), std::invalid_argument);
  XmModule badOrder = m;
  badOrder.order = {1};
  EXPECT_THROW(WriteXm(badOrder), std::invalid_argument);
}

// Walks a 3DS chunk and its children; containers are the chunks whose children follow directly
// or after a known data part. Returns false when a length does not end inside its parent.
bool ChunksNest(const Bytes& b, size_t start, size_t end, int& chunks) {
  while (start < end) {
    if (end - start < 6) return false;
    const uint32_t id = Le16(b, start), length = Le32(b, start + 2);
    if (length < 6 || length > end - start) return false;
    ++chunks;
    size_t data = start + 6;
    bool container = true;
    switch (id) {
      case 0x4D4D: case 0x3D3D: case 0xAFFF: case 0xA010: case 0xA020: case 0xA030: case 0xA040:
      case 0xA050: case 0xA200: case 0x4100: case 0xB000: case 0xB002: case 0xB003: case 0xB004:
        break;
      case 0x4000: while (b.at(data) != 0) ++data; ++data; break;  // the object name comes first
      case 0x4120: data += 2 + 8 * Le16(b, data); break;          // faces before the groups
      default: container = false;
    }
    if (container && !ChunksNest(b, data, start + length, chunks)) return false;
    start += length;
  }
  return start == end;
}

TEST(KitTds, ChunksNestExactlyAndKeysCarryTheirSplineFields) {
  TdsScene s;
  s.endFrame = 10;
  TdsMesh mesh;
  mesh.name = "M";
  mesh.material = "MAT";
  mesh.points = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  mesh.uv = {{0, 0}, {1, 0}, {0, 1}};
  mesh.faces = {{0, 1, 2, 7}};
  s.meshes.push_back(mesh);
  TdsMeshNode node;
  TdsKey key;
  key.frame = 5;
  key.values = {1, 2, 3, 0};
  key.splineFlags = 0x05;  // tension and bias: two floats before the values
  key.spline = {0.25f, 0, 0.5f, 0, 0};
  node.position = {key};
  s.meshNodes.push_back(node);
  s.materials.push_back({"MAT", {}, {}, {}, 10, 0, "a.png"});
  s.cameras.push_back({});
  const Bytes file = WriteTds(s);

  int chunks = 0;
  ASSERT_TRUE(ChunksNest(file, 0, file.size(), chunks));
  EXPECT_GT(chunks, 30);
  EXPECT_EQ(Le32(file, 2), file.size());

  // The position track: header (2 + 8), key count, then frame, flags, spline floats, values.
  const uint8_t tag[2] = {0x20, 0xB0};
  const auto it = std::search(file.begin(), file.end(), tag, tag + 2);
  ASSERT_NE(it, file.end());
  const size_t track = size_t(it - file.begin()) + 6;
  EXPECT_EQ(Le32(file, track + 10), 1u);
  EXPECT_EQ(Le32(file, track + 14), 5u);
  EXPECT_EQ(Le16(file, track + 18), 0x05u);
  float f[5];
  std::memcpy(f, &file[track + 20], sizeof f);
  EXPECT_EQ(f[0], 0.25f);
  EXPECT_EQ(f[1], 0.5f);
  EXPECT_EQ(f[2], 1.0f);
  EXPECT_EQ(f[4], 3.0f);

  s.meshNodes.clear();
  EXPECT_THROW(WriteTds(s), std::invalid_argument);
}

Bytes PkmStream(const Bytes& pkm) {
  const size_t ext = Le16(pkm, 778);
  return Bytes(pkm.begin() + 780 + ext, pkm.end());
}

TEST(KitPaletteImages, RunsFollowEachFormatsRules) {
  // The worked PKM example: 04 03, six times 05, 03, then 300 times 00, markers 01 and 02.
  IndexedPicture pic(309, 1);
  pic.indices = {4, 3, 5, 5, 5, 5, 5, 5, 3};
  pic.indices.resize(309, 0);
  const Bytes stream = PkmStream(WritePkm(pic, 0x01, 0x02, -1));
  EXPECT_EQ(stream, (Bytes{0x04, 0x03, 0x01, 0x05, 0x06, 0x03, 0x02, 0x00, 0x01, 0x2C}));

  // A colour equal to a marker is only ever written as a run; equal markers use short runs only.
  IndexedPicture markers(300, 1);
  markers.indices.assign(300, 7);
  markers.indices[0] = 1;
  const Bytes same = PkmStream(WritePkm(markers, 0x07, 0x07, 5));
  EXPECT_EQ(same, (Bytes{0x01, 0x07, 0x07, 0xFF, 0x07, 0x07, 0x2C}));
  const Bytes withTransparency = WritePkm(markers, 0x01, 0x02, 5);
  EXPECT_EQ(Le16(withTransparency, 778), 10u);  // a comment field, then the transparency field
  EXPECT_EQ(withTransparency[780 + 7], 2);
  EXPECT_EQ(withTransparency[780 + 8], 1);
  EXPECT_EQ(withTransparency[780 + 9], 5);
  EXPECT_EQ(PkmStream(withTransparency)[0], 0x01);  // pixel 0 has the short marker's colour: a run
  EXPECT_EQ(PkmStream(withTransparency)[1], 0x01);

  // PCX: runs end at 63 and at the row end; values 0xC0 and up always go as a run.
  IndexedPicture pcx(70, 2);
  pcx.indices.assign(140, 9);
  pcx.indices[69] = 0xC5;
  const Bytes file = WritePcx(pcx);
  const Bytes body(file.begin() + 128, file.end() - 769);
  EXPECT_EQ(body, (Bytes{0xFF, 9, 0xC6, 9, 0xC1, 0xC5, 0xFF, 9, 0xC7, 9}));
  EXPECT_EQ(file[file.size() - 769], 0x0C);
  EXPECT_THROW(WritePcx(IndexedPicture(3, 1)), std::invalid_argument);
}

}  // namespace
}  // namespace zelk4::kit
