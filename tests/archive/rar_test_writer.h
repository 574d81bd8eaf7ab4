// Builds small RAR 2.0 archives and compressed streams in test code, so each test names exactly
// the branch it reaches. The stream coder is deliberately plain: fixed code lengths (every main
// symbol 9 bits, distances 6, repeat lengths 5, audio symbols 9) and greedy choices made by the
// caller, not by a match finder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zelk4::archive_test {

using Bytes = std::vector<uint8_t>;

// Bits most significant first, as the decoder takes them.
class BitWriter {
 public:
  void Put(uint32_t value, uint32_t bits);
  // The bytes so far, the last one padded with zero bits.
  Bytes Finish() const;

 private:
  Bytes bytes_;
  uint32_t used_ = 0;  // bits used in the last byte; 0 means it is full (or there is none)
};

// A RAR 2.0 stream coder with fixed tables.
class StreamWriter {
 public:
  // Table headers: LZ tables, or audio tables for 1..4 channels.
  void LZTables();
  void AudioTables(uint32_t channels);

  void Literal(uint8_t byte);                          // main symbols 0..255
  void Match(uint32_t length, uint32_t distance);      // symbols 270..297 with a distance
  void RepeatLast();                                   // symbol 256
  void RecentMatch(uint32_t slot, uint32_t length);    // 257..260: slot 0 is the most recent
  void ShortMatch(uint32_t distance);                  // 261..268, length 2, distance 1..256
  void NewTablesSymbol();                              // main symbol 269 (follow with *Tables)
  void AudioSymbol(uint32_t symbol);                   // 0..255 errors, 256 new tables
  void RawBits(uint32_t value, uint32_t bits) { bits_.Put(value, bits); }
  Bytes Finish() const { return bits_.Finish(); }

 private:
  void Tables(bool audio, uint32_t channels);
  BitWriter bits_;
  bool audio_ = false;
};

// Encodes bytes for audio mode with `channels` channels: computes each byte's prediction error with
// the format's predictor (the job of any RAR 2.0 audio packer) and writes tables and symbols.
// Writes the audio tables and then the symbols into `out`; audio state starts fresh.
void EncodeAudio(StreamWriter& out, const Bytes& data, uint32_t channels);

struct Entry {
  std::string name;
  Bytes packed;            // data as stored in the archive
  uint32_t unpackedSize = 0;
  uint32_t crc = 0;        // the CRC-32 of the unpacked bytes
  uint16_t flags = 0x8000;
  uint8_t version = 20;
  uint8_t method = 0x30;
};

// A stored entry of `data` (its CRC computed).
Entry Stored(const std::string& name, const Bytes& data);
// A compressed entry: `stream` decodes to `data`.
Entry Compressed(const std::string& name, const Bytes& stream, const Bytes& data);

// Marker, main header (with mainFlags), the entries, then an end block.
Bytes BuildArchive(const std::vector<Entry>& entries, uint16_t mainFlags = 0, bool endBlock = true);

// Writes bytes to a fresh file under the test output folder and returns its path.
std::string WriteTempArchive(const std::string& fileName, const Bytes& bytes);

// Runs ArchiveGetFile; the result's `ok` is its return value.
struct Lookup {
  bool ok;
  Bytes data;
  uint32_t size;
  bool nullOnFailure;  // data pointer null and size 0 when the lookup failed
};
Lookup Get(const std::string& archivePath, const std::string& name, const char* password = nullptr);
Lookup GetFromMemory(const Bytes& archive, const std::string& name, const char* password = nullptr);

// Deterministic pseudo-random bytes.
Bytes Noise(size_t size, uint32_t seed);

}  // namespace zelk4::archive_test
