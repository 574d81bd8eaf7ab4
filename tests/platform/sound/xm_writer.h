// A small FastTracker 2 module writer for tests: patterns of plain cells (no packing), the song's
// speed, tempo and order list, and one looped square-wave instrument so that the song is heard.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zelk4::test {

// Effect numbers as FastTracker 2 stores them.
constexpr uint8_t kXmPositionJump = 0x0B;  // Bxx: next row is row 0 of order xx
constexpr uint8_t kXmPatternBreak = 0x0D;  // Dxx: next row is row xx (two decimal digits) of the next order
constexpr uint8_t kXmExtended = 0x0E;      // E6x: pattern loop (E60 marks its start)
constexpr uint8_t kXmSpeedTempo = 0x0F;    // Fxx: speed below 0x20, BPM from 0x20
constexpr uint8_t kXmSync = 35;            // Zxx, the letter Z

struct XmCell {
  uint8_t note = 0;  // 1 to 96 (49 is C-4), 97 key off
  uint8_t instrument = 0;
  uint8_t volume = 0;
  uint8_t effect = 0;
  uint8_t param = 0;
};

struct XmPattern {
  int rows = 64;
  int channels = 4;
  std::vector<XmCell> cells;  // rows * channels, row by row

  XmPattern(int rowCount, int channelCount)
      : rows(rowCount), channels(channelCount), cells(static_cast<size_t>(rowCount * channelCount)) {}
  XmCell& At(int row, int channel) { return cells[static_cast<size_t>(row * channels + channel)]; }
};

struct XmSong {
  std::string title = "zelk4 test";
  int channels = 4;
  int speed = 6;
  int bpm = 125;
  int restart = 0;
  std::vector<uint8_t> orders;
  std::vector<XmPattern> patterns;  // each with the song's channel count
};

std::vector<uint8_t> WriteXm(const XmSong& song);

// Two rows at speed 1, BPM 125 (20 ms a row): Z05 on the first, Z30 on the second; the pattern
// loops.
std::vector<uint8_t> TwoRowSyncSong();

}  // namespace zelk4::test
