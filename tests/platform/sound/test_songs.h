// Songs for the sound and music tests, written by the data kit's XM writer: patterns laid out by
// each test, and one looped square-wave instrument so that the song is heard.
#pragma once

#include <cstdint>
#include <vector>

#include "kit/xm_writer.h"

namespace zelk4::test {

using kit::WriteXm;
using kit::XmCell;
using kit::XmModule;
using kit::XmPattern;

// Effect numbers as FastTracker 2 stores them.
constexpr uint8_t kXmPositionJump = 0x0B;  // Bxx: next row is row 0 of order xx
constexpr uint8_t kXmPatternBreak = 0x0D;  // Dxx: next row is row xx (two decimal digits) of the next order
constexpr uint8_t kXmExtended = 0x0E;      // E6x: pattern loop (E60 marks its start)
constexpr uint8_t kXmSpeedTempo = 0x0F;    // Fxx: speed below 0x20, BPM from 0x20
constexpr uint8_t kXmSync = kit::kXmEffectZ;

// A song of `channels` channels (even, 2 to 32) at speed 6 and 125 BPM with the square-wave
// instrument as instrument 1; the test adds its patterns and order list.
XmModule SquareSong(int channels);

// Two rows at speed 1, BPM 125 (20 ms a row): Z05 on the first, Z30 on the second; the pattern
// loops.
std::vector<uint8_t> TwoRowSyncSong();

}  // namespace zelk4::test
