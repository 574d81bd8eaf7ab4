#include "platform/sound/test_songs.h"

namespace zelk4::test {

XmModule SquareSong(int channels) {
  XmModule song;
  song.name = "zelk4 test";
  song.channels = channels;
  kit::XmInstrument square;
  square.name = "square";
  // One cycle of 32 frames, looped: half high, half low.
  for (int i = 0; i < 32; ++i) square.sample.data.push_back(i < 16 ? 15360 : -15360);
  square.sample.loopLength = 32;
  square.sample.volume = 48;
  song.instruments.push_back(square);
  return song;
}

std::vector<uint8_t> TwoRowSyncSong() {
  XmModule song = SquareSong(2);
  song.speed = 1;
  song.order = {0};
  XmPattern pattern(2, 2);
  pattern.At(0, 0) = {49, 1, 0, kXmSync, 0x05};
  pattern.At(1, 0) = {0, 0, 0, kXmSync, 0x30};
  song.patterns = {pattern};
  return WriteXm(song);
}

}  // namespace zelk4::test
