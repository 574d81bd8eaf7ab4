// The archive's global state, private to the archive library. The lookup (the archive walk) and
// the decoder both work on it during one lookup, so it lives in one visible place: g_archive.
// The decoder part survives from one entry to the next (solid archives continue it).
#pragma once

#include <cstdint>
#include <cstdio>

#include "archive/rar20_codes.h"
#include "archive/rar20_crypt.h"

namespace archive {

// ---- Sizes fixed by the format and the design.
constexpr uint32_t kWindowSize = 1u << 20;  // the LZ window: 1 MiB, positions taken modulo 2^20
constexpr uint32_t kWindowMask = kWindowSize - 1;
constexpr uint32_t kInputSize = 8192;       // packed data are read in 8 KiB portions
constexpr uint32_t kInputCarry = 32;        // bytes carried over to the start on a refill
// Zeroed bytes past the input buffer: a peek reads three bytes from the input position, and the
// refill thresholds keep that position below 8192, so a few bytes would do; 64 also leave room
// to decrypt a final short block of 16.
constexpr uint32_t kInputPad = 64;

constexpr uint32_t kMainSymbols = 298;    // literals, repeats, short matches, new tables, lengths
constexpr uint32_t kDistanceSymbols = 48;
constexpr uint32_t kRepeatSymbols = 28;
constexpr uint32_t kBitLengthSymbols = 19;
constexpr uint32_t kAudioSymbols = 257;   // 256 prediction errors and "new tables"
constexpr uint32_t kLZLengths = kMainSymbols + kDistanceSymbols + kRepeatSymbols;  // 374
constexpr uint32_t kMaxLengths = 4 * kAudioSymbols;                               // 1028

constexpr uint8_t kBlockFile = 0x74;
constexpr uint8_t kBlockEnd = 0x77;
constexpr uint16_t kMainSolid = 0x0008;
constexpr uint16_t kFileEncrypted = 0x0004;
constexpr uint16_t kFileSolid = 0x0010;
constexpr uint16_t kBlockHasData = 0x8000;
constexpr uint8_t kMethodStored = 0x30;

// Codes of up to this many bits are resolved by one lookup in DecodeTable::quick.
constexpr uint32_t kQuickBits = 10;

// Packed data are read 8 KiB at a time and headers a few bytes at a time with a seek per block;
// a stream buffer of this size makes that about one system call per 64 KiB of archive.
constexpr size_t kFileBufferSize = 64 * 1024;

// A canonical Huffman code: limit[L] is the first left-aligned 16-bit code value that is longer
// than L bits; first[L] the position in `symbols` of the first symbol of length L. quick[p], for
// the next kQuickBits bits p, holds symbol << 4 | length for every code of at most kQuickBits
// bits (the very symbol the limits give), and 0 where the code is longer.
struct DecodeTable {
  uint32_t symbolCount;
  uint32_t limit[16];
  uint32_t first[16];
  uint32_t symbols[kMainSymbols];  // sized for the largest alphabet
  uint16_t quick[1u << kQuickBits];
};

struct DecoderState {
  // Bit input: bits are taken most significant first.
  uint8_t input[kInputSize + kInputPad];
  uint32_t inPos;   // current byte
  uint32_t inBit;   // bits of the current byte already used, 0..7
  uint32_t inTop;   // valid bytes in `input`; what lies beyond is zero

  uint32_t windowPos;  // where the next decoded byte goes
  uint32_t flushPos;   // first window byte not yet handed to the output
  bool windowWrapped;  // the window has been filled once since the last fresh (non-solid) entry

  uint32_t recent[4];      // the four recent match distances
  uint32_t recentCounter;  // low two bits select the slot written next
  uint32_t lastDistance;
  uint32_t lastLength;

  DecodeTable mainTable, distanceTable, repeatTable, bitLengthTable;
  DecodeTable audioTables[4];
  uint8_t oldLengths[kMaxLengths];

  bool audioMode;
  uint32_t channelCount;    // 1..4
  uint32_t currentChannel;  // 0..3
  int32_t channelDelta;     // shared by all channels
  AudioChannel channels[4];
};

// The file header fields, each in its stored width.
struct FileHeader {
  uint16_t headerCrc;
  uint8_t type;
  uint16_t flags;
  uint16_t headerSize;
  uint32_t packedSize;
  uint32_t unpackedSize;
  uint8_t hostOs;
  uint32_t fileCrc;
  uint32_t fileTime;
  uint8_t version;
  uint8_t method;
  uint16_t nameSize;
  uint32_t attributes;
};

struct LookupState {
  char wantedName[260];   // up to 259 characters and a terminator
  char archivePath[256];  // up to 255 characters and a terminator
  char password[255];     // cleared at the end of every lookup
  FILE* file;
  char* fileBuffer;         // the stream's buffer while the archive is open (kFileBufferSize bytes)

  uint16_t mainFlags;
  uint16_t mainHeaderSize;

  FileHeader header;       // the current file header
  char entryName[260];     // the current entry's name, at most 259 bytes
  uint32_t entryNameRead;  // how many name bytes were read (the name may hold zero bytes)
  int64_t blockStart;
  int64_t nextBlock;
  uint8_t foundType;       // type of the block the last search stopped at
  bool found;              // the current entry is the wanted one

  uint8_t* output;         // the caller's block, none until the wanted entry is found
  uint32_t* outputSize;    // the caller's size variable, advanced as bytes are written
  uint8_t* window;         // kWindowSize bytes, allocated per lookup
  uint32_t packedLeft;     // data bytes of the current entry not yet read
  int32_t bytesToProduce;  // counted down by the decoder
  uint32_t encryptionVersion;  // 0, or the entry's version needed when it is decrypted
  uint32_t crcTable[256];
  Rar20Cipher cipher;     // set up per encrypted entry
  // The setup depends on the password alone, so it is made once per lookup and copied for each
  // further encrypted entry (a solid archive may have thousands).
  Rar20Cipher freshCipher;
  bool freshCipherReady;

  // Seams for tools and fuzzing; both off for the engine's own lookups.
  int64_t wantedIndex;            // >= 0: take the entry at this position instead of by name
  const uint8_t* memoryImage;     // non-null: read the archive from these bytes
  size_t memorySize;
  int64_t fileSize;               // size of the open archive, for bounding header values
  bool skipCrcCheck;              // salvage: hand over the wanted entry's bytes unchecked
  // The tools' test pass: the wanted entry's bytes are checked as they leave the window (CRC-32
  // in runningCrc, count in the size variable) instead of being copied into an output block.
  bool checkOnly;
  uint32_t runningCrc;
};

struct ArchiveState {
  LookupState lookup;
  DecoderState decoder;
};

extern ArchiveState g_archive;

}  // namespace archive
