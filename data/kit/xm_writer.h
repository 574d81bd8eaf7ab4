// A FastTracker 2 module (XM 1.04) writer that lays files out the way FastTracker 2 itself saves
// them: tracker name "FastTracker v2.00", names padded with spaces, 263-byte instrument headers,
// pattern cells packed with FT2's flag bytes (a cell with all five fields is written unpacked),
// delta-coded sample data.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "kit/byte_writer.h"

namespace zelk4::kit {

inline constexpr uint8_t kXmNoteOff = 97;
inline constexpr uint8_t kXmEffectZ = 35;  // the effect letter Z: a sync command, no sound effect

struct XmCell {
  uint8_t note = 0;        // 1 = C-0 .. 96 = B-7, 97 = key off, 0 = none
  uint8_t instrument = 0;  // 1-based, 0 = none
  uint8_t volume = 0;      // volume column byte (0x10..0x50 sets the volume), 0 = none
  uint8_t effect = 0;
  uint8_t param = 0;
};

struct XmPattern {
  int rows = 64;
  int channels = 0;
  std::vector<XmCell> cells;  // rows * channels, row by row

  XmPattern(int rowCount, int channelCount)
      : rows(rowCount), channels(channelCount), cells(size_t(rowCount) * channelCount) {}
  XmCell& At(int row, int channel) { return cells.at(size_t(row) * channels + channel); }
  const XmCell& At(int row, int channel) const { return cells.at(size_t(row) * channels + channel); }
};

struct XmEnvelope {
  std::vector<std::pair<uint16_t, uint16_t>> points;  // (tick, value 0..64), at most 12
  int sustain = -1;                                   // point index or -1
  int loopStart = -1, loopEnd = -1;
};

struct XmSample {
  std::string name;
  std::vector<int16_t> data;  // 16-bit mono
  uint32_t loopStart = 0, loopLength = 0;  // in sample frames; length 0: no loop
  uint8_t volume = 64;
  int8_t finetune = 0;
  uint8_t panning = 128;
  int8_t relativeNote = 0;
};

struct XmInstrument {
  std::string name;
  XmSample sample;
  XmEnvelope volumeEnvelope, panningEnvelope;
  uint8_t vibratoType = 0, vibratoSweep = 0, vibratoDepth = 0, vibratoRate = 0;
  uint16_t fadeout = 0;
};

struct XmModule {
  std::string name;
  int channels = 8;  // even, 2..32
  uint16_t speed = 6, bpm = 125;
  uint16_t restartPosition = 0;
  std::vector<uint8_t> order;
  std::vector<XmPattern> patterns;
  std::vector<XmInstrument> instruments;
};

// The whole file. Throws std::invalid_argument for shapes FT2 cannot hold (odd or out-of-range
// channel count, more than 256 orders or patterns, more than 128 instruments, a pattern of
// another channel count or of 0 or more than 256 rows, an envelope of more than 12 points).
Bytes WriteXm(const XmModule& module);

}  // namespace zelk4::kit
