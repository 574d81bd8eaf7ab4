// Constants of the RAR 2.0 stream and archive formats that the packer writes (private). The
// code tables come from the decoder in archive/.
#pragma once

#include <cstdint>

#include "archive/rar20_codes.h"

namespace zelk4::rarpack {

// ---- Stream.
constexpr uint32_t kWindowSize = 1u << 20;  // the decoder's LZ window
// Matches reach at most this far back. The decoder can take distances up to the whole window,
// but a match whose source and target overlap across the window's end is copied in one block by
// some decoders; keeping every match at least 512 bytes short of the window leaves no such case.
constexpr uint32_t kMaxDistance = kWindowSize - 512;
constexpr uint32_t kMaxMatch = 260;  // longest match any code can express

constexpr uint32_t kMainSymbols = 298;
constexpr uint32_t kDistanceSymbols = 48;
constexpr uint32_t kRepeatSymbols = 28;
constexpr uint32_t kBitLengthSymbols = 19;
constexpr uint32_t kAudioSymbols = 257;
constexpr uint32_t kLZLengths = kMainSymbols + kDistanceSymbols + kRepeatSymbols;  // 374
constexpr uint32_t kMaxLengths = 4 * kAudioSymbols;                               // 1028
constexpr uint32_t kMaxCodeBits = 15;

// Main alphabet.
constexpr uint32_t kSymRepeatLast = 256;   // the last match again
constexpr uint32_t kSymRecent = 257;       // 257..260: one of the four recent distances
constexpr uint32_t kSymShort = 261;        // 261..268: length 2, distance up to 256
constexpr uint32_t kSymNewTables = 269;
constexpr uint32_t kSymMatch = 270;        // 270..297: length code, then a distance
constexpr uint32_t kAudioNewTables = 256;  // in every audio alphabet

// Bit-length alphabet: 0..15 a change to the old length, then the runs.
constexpr uint32_t kBitRepeatPrevious = 16;  // 3..6 copies of the previous length (2 bits)
constexpr uint32_t kBitShortZeros = 17;      // 3..10 zero lengths (3 bits)
constexpr uint32_t kBitLongZeros = 18;       // 11..138 zero lengths (7 bits)

// The length, distance and short-match tables are the decoder's own.
using archive::kDistanceBase;
using archive::kDistanceBits;
using archive::kLengthBase;
using archive::kLengthBits;
using archive::kShortBase;
using archive::kShortBits;

// Lengths coded with symbols 270..297 grow by one at these distances, and those coded with a
// recent distance (257..260) also at 0x101: short codes cover length 2 up to distance 256.
constexpr uint32_t kLongDistance1 = 0x2000;
constexpr uint32_t kLongDistance2 = 0x40000;
constexpr uint32_t kRecentLongDistance = 0x101;

// The length a code adds for a distance: matches far away are never short.
inline uint32_t MatchLengthBonus(uint32_t distance) {
  return (distance >= kLongDistance1 ? 1u : 0u) + (distance >= kLongDistance2 ? 1u : 0u);
}
inline uint32_t RecentLengthBonus(uint32_t distance) {
  return (distance >= kRecentLongDistance ? 1u : 0u) + MatchLengthBonus(distance);
}

// The shortest and longest match the stream can code at a distance (any code).
inline uint32_t MinMatchLength(uint32_t distance) { return distance <= 256 ? 2 : 3 + MatchLengthBonus(distance); }
inline uint32_t MaxMatchLength(uint32_t distance) { return 258 + MatchLengthBonus(distance); }

// ---- Archive.
constexpr uint8_t kMarker[7] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};  // "Rar!" 1A 07 00
constexpr uint8_t kBlockMain = 0x73;
constexpr uint8_t kBlockFile = 0x74;
constexpr uint8_t kBlockEnd = 0x7B;
constexpr uint16_t kMainSolid = 0x0008;
constexpr uint16_t kFileSolid = 0x0010;        // continues the previous entry's decoder state
constexpr uint16_t kFileDictionary1M = 0x0080; // window bits 5..7: 100 = 1024 KiB
constexpr uint16_t kFileUnicodeName = 0x0200;  // the name field holds a Unicode form too
constexpr uint16_t kSkipIfUnknown = 0x4000;
constexpr uint16_t kBlockHasData = 0x8000;
constexpr uint8_t kVersionNeeded = 20;
constexpr uint8_t kMethodStored = 0x30;
constexpr uint32_t kFileHeaderSize = 32;
constexpr uint32_t kMaxNameBytes = 259;  // what the engine's reader takes of a name

}  // namespace zelk4::rarpack
