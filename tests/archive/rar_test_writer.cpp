#include "archive/rar_test_writer.h"

#include <cstdlib>
#include <cstring>

#include "archive/archive.h"
#include "archive/archive_tool.h"
#include "archive/crc32.h"
#include "support/corpus.h"

namespace zelk4::archive_test {

namespace {

constexpr uint32_t kLengthBase[28] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  10,  12,  14,  16,  20,
                                      24, 28, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224};
constexpr uint32_t kLengthBits[28] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,
                                      2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5};
constexpr uint32_t kShortBase[8] = {0, 4, 8, 16, 32, 64, 128, 192};
constexpr uint32_t kShortBits[8] = {2, 2, 3, 4, 5, 6, 6, 6};

// Distance codes come in pairs of equal width: 0,0,0,0,1,1,2,2,... then 16 from code 34 on.
uint32_t DistanceBits(uint32_t j) { return j < 4 ? 0 : j < 34 ? j / 2 - 1 : 16; }
uint32_t DistanceBase(uint32_t j) {
  uint32_t base = 0;
  for (uint32_t k = 0; k < j; ++k) base += 1u << DistanceBits(k);
  return base;
}

// Fixed code lengths: every symbol of an alphabet has the same length, so symbol s codes as s.
constexpr uint32_t kMainBits = 9, kDistanceBits = 6, kRepeatBits = 5, kAudioBits = 9;

uint32_t FindLengthCode(uint32_t length) {
  for (uint32_t i = 0; i < 28; ++i)
    if (length < kLengthBase[i] + (1u << kLengthBits[i])) return i;
  std::abort();
}

}  // namespace

void BitWriter::Put(uint32_t value, uint32_t bits) {
  for (uint32_t i = bits; i-- > 0;) {
    if (used_ == 0) bytes_.push_back(0);
    if ((value >> i) & 1) bytes_.back() |= static_cast<uint8_t>(0x80 >> used_);
    used_ = (used_ + 1) & 7;
  }
}

Bytes BitWriter::Finish() const { return bytes_; }

void StreamWriter::Tables(bool audio, uint32_t channels) {
  audio_ = audio;
  bits_.Put(audio ? 1 : 0, 1);
  bits_.Put(0, 1);  // old lengths cleared: every length below is absolute
  if (audio) bits_.Put(channels - 1, 2);
  for (uint32_t i = 0; i < 19; ++i) bits_.Put(i < 16 ? 4 : 0, 4);  // bit-length symbol s codes as s
  auto lengths = [&](uint32_t count, uint32_t length) {
    for (uint32_t i = 0; i < count; ++i) bits_.Put(length, 4);
  };
  if (audio) {
    lengths(257 * channels, kAudioBits);
  } else {
    lengths(298, kMainBits);
    lengths(48, kDistanceBits);
    lengths(28, kRepeatBits);
  }
}

void StreamWriter::LZTables() { Tables(false, 0); }
void StreamWriter::AudioTables(uint32_t channels) { Tables(true, channels); }
void StreamWriter::Literal(uint8_t byte) { bits_.Put(byte, kMainBits); }
void StreamWriter::RepeatLast() { bits_.Put(256, kMainBits); }
void StreamWriter::NewTablesSymbol() { bits_.Put(269, kMainBits); }
void StreamWriter::AudioSymbol(uint32_t symbol) { bits_.Put(symbol, kAudioBits); }

void StreamWriter::Match(uint32_t length, uint32_t distance) {
  if (distance >= 0x2000) --length;
  if (distance >= 0x40000) --length;
  const uint32_t i = FindLengthCode(length - 3);
  bits_.Put(270 + i, kMainBits);
  if (kLengthBits[i]) bits_.Put(length - 3 - kLengthBase[i], kLengthBits[i]);
  uint32_t j = 0;
  while (j + 1 < 48 && DistanceBase(j + 1) + 1 <= distance) ++j;
  bits_.Put(j, kDistanceBits);
  if (DistanceBits(j)) bits_.Put(distance - 1 - DistanceBase(j), DistanceBits(j));
}

void StreamWriter::RecentMatch(uint32_t slot, uint32_t length) {
  // The caller passes the length as coded (before the decoder's distance additions).
  const uint32_t r = FindLengthCode(length - 2);
  bits_.Put(257 + slot, kMainBits);
  bits_.Put(r, kRepeatBits);
  if (kLengthBits[r]) bits_.Put(length - 2 - kLengthBase[r], kLengthBits[r]);
}

void StreamWriter::ShortMatch(uint32_t distance) {
  uint32_t i = 0;
  while (i + 1 < 8 && kShortBase[i + 1] + 1 <= distance) ++i;
  bits_.Put(261 + i, kMainBits);
  bits_.Put(distance - 1 - kShortBase[i], kShortBits[i]);
}

void EncodeAudio(StreamWriter& out, const Bytes& data, uint32_t channels) {
  struct Channel {
    int32_t w[5] = {}, d[4] = {}, lastDelta = 0, lastByte = 0;
    uint32_t errors[11] = {}, count = 0;
  } ch[4];
  int32_t channelDelta = 0;
  out.AudioTables(channels);
  uint32_t cur = 0;
  for (uint8_t want : data) {
    Channel& c = ch[cur];
    ++c.count;
    c.d[3] = c.d[2];
    c.d[2] = c.d[1];
    c.d[1] = c.lastDelta - c.d[0];
    c.d[0] = c.lastDelta;
    const int32_t sum = 8 * c.lastByte + c.w[0] * c.d[0] + c.w[1] * c.d[1] + c.w[2] * c.d[2] +
                        c.w[3] * c.d[3] + c.w[4] * channelDelta;
    const int32_t predicted = (sum >> 3) & 0xFF;
    const uint32_t s = static_cast<uint32_t>(predicted - want) & 0xFF;
    out.AudioSymbol(s);
    const int32_t b = predicted - static_cast<int32_t>(s);  // low byte equals `want`
    const int32_t e = static_cast<int8_t>(s) * 8;
    const int32_t diffs[5] = {c.d[0], c.d[1], c.d[2], c.d[3], channelDelta};
    c.errors[0] += std::abs(e);
    for (int k = 0; k < 5; ++k) {
      c.errors[1 + 2 * k] += std::abs(e - diffs[k]);
      c.errors[2 + 2 * k] += std::abs(e + diffs[k]);
    }
    c.lastDelta = channelDelta = static_cast<int8_t>(b - c.lastByte);
    c.lastByte = b;
    if (c.count % 32 == 0) {
      int best = 0;
      for (int k = 1; k < 11; ++k)
        if (c.errors[k] < c.errors[best]) best = k;
      std::memset(c.errors, 0, sizeof c.errors);
      if (best > 0) {
        int32_t& w = c.w[(best - 1) / 2];
        if (best % 2 == 1 && w >= -16) --w;
        if (best % 2 == 0 && w < 16) ++w;
      }
    }
    cur = (cur + 1) % channels;
  }
}

Entry Stored(const std::string& name, const Bytes& data) {
  Entry e;
  e.name = name;
  e.packed = data;
  e.unpackedSize = static_cast<uint32_t>(data.size());
  e.crc = Crc32(data.data(), data.size());
  return e;
}

Entry Compressed(const std::string& name, const Bytes& stream, const Bytes& data) {
  Entry e = Stored(name, data);
  e.packed = stream;
  e.method = 0x33;
  return e;
}

namespace {
void Put16(Bytes& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
}  // namespace

Bytes BuildArchive(const std::vector<Entry>& entries, uint16_t mainFlags, bool endBlock) {
  Bytes b = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
  Put16(b, 0);
  b.push_back(0x73);
  Put16(b, mainFlags);
  Put16(b, 13);
  Put16(b, 0);
  Put32(b, 0);
  for (const Entry& e : entries) {
    Put16(b, 0);
    b.push_back(0x74);
    Put16(b, e.flags);
    Put16(b, static_cast<uint32_t>(32 + e.name.size()));
    Put32(b, static_cast<uint32_t>(e.packed.size()));
    Put32(b, e.unpackedSize);
    b.push_back(0);
    Put32(b, e.crc);
    Put32(b, 0);
    b.push_back(e.version);
    b.push_back(e.method);
    Put16(b, static_cast<uint32_t>(e.name.size()));
    Put32(b, 0x20);
    b.insert(b.end(), e.name.begin(), e.name.end());
    b.insert(b.end(), e.packed.begin(), e.packed.end());
  }
  if (endBlock) {
    const uint8_t end[7] = {0xC4, 0x3D, 0x7B, 0x00, 0x40, 0x07, 0x00};
    b.insert(b.end(), end, end + 7);
  }
  return b;
}

std::string WriteTempArchive(const std::string& fileName, const Bytes& bytes) {
  const auto path = zelk4::test::TestOutputDir() / "archive" / fileName;
  std::filesystem::create_directories(path.parent_path());
  zelk4::test::WriteFileBytes(path, bytes);
  return path.string();
}

namespace {
Lookup Finish(int result, uint8_t* data, uint32_t size) {
  Lookup r{result == 1, {}, size, data == nullptr && size == 0};
  if (data != nullptr) r.data.assign(data, data + size);
  std::free(data);
  return r;
}
}  // namespace

Lookup Get(const std::string& archivePath, const std::string& name, const char* password) {
  uint8_t* data = reinterpret_cast<uint8_t*>(1);  // must be overwritten either way
  uint32_t size = 12345;
  const int result = ArchiveGetFile(&data, &size, name.c_str(), archivePath.c_str(), password);
  return Finish(result, data, size);
}

Lookup GetFromMemory(const Bytes& archive, const std::string& name, const char* password) {
  uint8_t* data = reinterpret_cast<uint8_t*>(1);
  uint32_t size = 12345;
  const int result = ArchiveGetFileFromMemory(&data, &size, archive.data(), archive.size(), name.c_str(), password);
  return Finish(result, data, size);
}

Bytes Noise(size_t size, uint32_t seed) {
  Bytes b(size);
  uint32_t x = seed * 2654435761u + 1;
  for (auto& v : b) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    v = static_cast<uint8_t>(x >> 24);
  }
  return b;
}

}  // namespace zelk4::archive_test
