// The packer: writes RAR 2.0 archives whose entries are compressed the way the engine's archive
// reader (and any RAR 2.0 extractor) decodes them. LZ77 over the 1 MiB window with Huffman-coded
// symbols, or audio mode for PCM sound; solid archives carry the decoder state from one entry to
// the next. Everything happens in memory; the caller reads the files and writes the archive.
//
// Calls share no state, so separate calls may run on separate threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <span>
#include <string>
#include <vector>

namespace zelk4::rarpack {

// How an entry may use audio mode.
enum class AudioChoice {
  kAuto,   // WAV files with 8- or 16-bit PCM of up to 4 bytes per frame: audio where it is smaller
  kNever,  // LZ only
};

// What the coder sent, for tests, tools and tuning: how often each symbol and table read came up.
struct StreamStats {
  uint64_t mainSymbols[298] = {};     // literals 0..255, 256 last match, 257..260 recent distances,
                                      // 261..268 short matches, 269 new tables, 270..297 lengths
  uint64_t distanceSymbols[48] = {};
  uint64_t audioSymbols = 0;          // audio-mode bytes
  uint64_t audioNewTables = 0;        // audio symbol 256
  uint64_t tableReads = 0;            // every table read, the first ones of fresh entries included
  uint64_t audioTableReads = 0;
  uint64_t deltaTableReads = 0;       // table reads that send changes to the old lengths
  uint64_t entryEndTableReads = 0;    // tables sent after an entry's last byte, for the next entry
};

struct StreamOptions {
  int level = 3;  // 1 (fastest) .. 5 (smallest)
  AudioChoice audio = AudioChoice::kAuto;
  // For tests and experiments: 1..4 codes every entry wholly in audio mode with this many
  // channels, whatever it holds; 0 leaves the choice to `audio`.
  uint32_t forceAudioChannels = 0;
  // Symbols per block; each block may bring new code tables. 0: the packer's choice.
  uint32_t blockSymbols = 0;
  StreamStats* stats = nullptr;  // when set, counts are added to it
};

// The packed streams of entries that share one decoder state, in order: the first starts fresh,
// each further one continues where the previous one ended (a solid archive's entries). Every
// entry must be non-empty and below 2 GiB, and all of them together below 4 GiB.
std::vector<std::vector<uint8_t>> EncodeSolidStreams(const std::vector<std::span<const uint8_t>>& entries,
                                                     const StreamOptions& options);

// The packed stream of one entry on its own.
std::vector<uint8_t> EncodeStream(std::span<const uint8_t> data, const StreamOptions& options);

struct PackFile {
  // Path inside the archive, in UTF-8; '/' is written as '\'. A name beyond ASCII is stored
  // with '?' for those characters plus its Unicode form (header flag 0x0200).
  std::string name;
  std::span<const uint8_t> data;
  uint32_t dosTime = 0;       // MS-DOS date (high 16 bits) and time
  uint32_t attributes = 0x20; // MS-DOS attributes: archive
};

struct PackOptions {
  int level = 3;      // 0 stores every entry; 1..5 compress (method 0x30 + level)
  bool solid = false; // one decoder state through all entries
  uint8_t hostOs = 2; // 0 MS-DOS, 2 Win32
  AudioChoice audio = AudioChoice::kAuto;
  uint32_t forceAudioChannels = 0;  // as in StreamOptions
  uint32_t blockSymbols = 0;        // as in StreamOptions
  StreamStats* stats = nullptr;     // as in StreamOptions (entries are then packed one by one)
  // Entries of a non-solid archive are packed side by side on this many threads (0: one per
  // processor); the archive's bytes are the same whatever the count.
  unsigned threads = 0;
};

// What became of one entry.
struct PackedEntry {
  std::string name;  // with backslashes, in UTF-8
  uint32_t size = 0;
  uint32_t packedSize = 0;
  uint8_t method = 0;  // 0x30 stored, 0x31..0x35 compressed
  bool solid = false;  // continues the previous compressed entry
};

struct PackResult {
  bool ok = false;
  std::string error;               // why not, when !ok
  std::vector<uint8_t> archive;    // the whole archive file
  std::vector<PackedEntry> entries;
};

// Builds a whole archive: marker, main header (flag 0x0008 when solid), one file header with its
// data per file (version needed 20; method 0x30 + level, or 0x30 stored when packing does not
// make an entry of a non-solid archive smaller, and for every empty file), and the end block.
// Fails, with nothing built, for an empty name, a name field over 259 bytes, a file of 2 GiB or more,
// a solid archive of 4 GiB or more, or a level outside 0..5.
PackResult PackArchive(const std::vector<PackFile>& files, const PackOptions& options);

// The CRC that RAR puts in front of every header: the low 16 bits of the CRC-32 of the header from
// its type byte (offset 2) to its end.
uint16_t HeaderCrc(const uint8_t* header, size_t size);

// An MS-DOS date and time (local time; two-second steps; 1980 to 2107, clamped).
uint32_t DosTimeFromUnix(std::time_t t);

}  // namespace zelk4::rarpack
