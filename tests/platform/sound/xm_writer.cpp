#include "platform/sound/xm_writer.h"

#include <algorithm>

namespace zelk4::test {
namespace {

void Put8(std::vector<uint8_t>& out, unsigned v) { out.push_back(static_cast<uint8_t>(v)); }
void Put16(std::vector<uint8_t>& out, unsigned v) {
  Put8(out, v & 0xFF);
  Put8(out, (v >> 8) & 0xFF);
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
void PutText(std::vector<uint8_t>& out, const std::string& text, size_t width) {
  for (size_t i = 0; i < width; ++i) Put8(out, i < text.size() ? static_cast<uint8_t>(text[i]) : 0);
}

// One instrument with one looped 8-bit square-wave sample (one cycle of 32 bytes, delta coded).
void PutSquareInstrument(std::vector<uint8_t>& out) {
  constexpr uint32_t kInstrumentHeader = 263;
  constexpr uint32_t kSampleHeader = 40;
  constexpr uint32_t kSampleLength = 32;
  const size_t start = out.size();
  Put32(out, kInstrumentHeader);
  PutText(out, "square", 22);
  Put8(out, 0);   // type
  Put16(out, 1);  // samples
  Put32(out, kSampleHeader);
  for (int i = 0; i < 96; ++i) Put8(out, 0);  // every note plays sample 0
  for (int i = 0; i < 48; ++i) Put8(out, 0);  // volume envelope (unused)
  for (int i = 0; i < 48; ++i) Put8(out, 0);  // panning envelope (unused)
  for (int i = 0; i < 14; ++i) Put8(out, 0);  // envelope counts, points, types, vibrato
  Put16(out, 0);                              // fade-out
  while (out.size() < start + kInstrumentHeader) Put8(out, 0);
  Put32(out, kSampleLength);
  Put32(out, 0);              // loop start
  Put32(out, kSampleLength);  // loop length
  Put8(out, 48);              // volume
  Put8(out, 0);               // finetune
  Put8(out, 1);               // forward loop, 8-bit
  Put8(out, 128);             // panning
  Put8(out, 0);               // relative note
  Put8(out, 0);
  PutText(out, "square", 22);
  int8_t previous = 0;
  for (uint32_t i = 0; i < kSampleLength; ++i) {
    const int8_t value = i < kSampleLength / 2 ? 60 : -60;
    Put8(out, static_cast<uint8_t>(static_cast<int8_t>(value - previous)));
    previous = value;
  }
}

}  // namespace

std::vector<uint8_t> WriteXm(const XmSong& song) {
  std::vector<uint8_t> out;
  PutText(out, "Extended Module: ", 17);
  PutText(out, song.title, 20);
  Put8(out, 0x1A);
  PutText(out, "zelk4 tests", 20);
  Put16(out, 0x0104);
  Put32(out, 276);  // header size, counted from this field
  Put16(out, static_cast<unsigned>(song.orders.size()));
  Put16(out, static_cast<unsigned>(song.restart));
  Put16(out, static_cast<unsigned>(song.channels));
  Put16(out, static_cast<unsigned>(song.patterns.size()));
  Put16(out, 1);  // instruments
  Put16(out, 1);  // linear frequencies
  Put16(out, static_cast<unsigned>(song.speed));
  Put16(out, static_cast<unsigned>(song.bpm));
  for (size_t i = 0; i < 256; ++i) Put8(out, i < song.orders.size() ? song.orders[i] : 0);
  for (const XmPattern& pattern : song.patterns) {
    Put32(out, 9);  // pattern header size
    Put8(out, 0);   // packing type
    Put16(out, static_cast<unsigned>(pattern.rows));
    Put16(out, static_cast<unsigned>(pattern.cells.size() * 5));
    for (const XmCell& cell : pattern.cells) {
      // Unpacked cells: five bytes each, the first without its high bit.
      Put8(out, cell.note);
      Put8(out, cell.instrument);
      Put8(out, cell.volume);
      Put8(out, cell.effect);
      Put8(out, cell.param);
    }
  }
  PutSquareInstrument(out);
  return out;
}

std::vector<uint8_t> TwoRowSyncSong() {
  XmSong song;
  song.channels = 1;
  song.speed = 1;
  song.orders = {0};
  XmPattern pattern(2, 1);
  pattern.At(0, 0) = {49, 1, 0, kXmSync, 0x05};
  pattern.At(1, 0) = {0, 0, 0, kXmSync, 0x30};
  song.patterns = {pattern};
  return WriteXm(song);
}

}  // namespace zelk4::test
