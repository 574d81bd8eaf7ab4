// The Zxx callback reports every row it should, once, in order, at the time libopenmpt plays it.
#include <gtest/gtest.h>

#include <map>
#include <utility>

#include "platform/sound/module_player.h"
#include "platform/sound/output.h"
#include "platform/sound/pull_session.h"
#include "platform/sound/test_songs.h"

namespace zelk4::test {
namespace {

constexpr int kChannels = 4;
constexpr int kSyncChannel = 0, kFlowChannel = 1, kSpeedChannel = 2, kNoteChannel = 3;

void Sync(XmPattern& p, int row, uint8_t xx) { p.At(row, kSyncChannel) = {0, 0, 0, kXmSync, xx}; }
void Flow(XmPattern& p, int row, uint8_t effect, uint8_t param) {
  p.At(row, kFlowChannel) = {0, 0, 0, effect, param};
}
void Note(XmPattern& p, int row) { p.At(row, kNoteChannel) = {49, 1, 0, 0, 0}; }

// The Zxx of each (pattern, row) in the song, for matching libopenmpt's row starts.
std::map<std::pair<int, int>, uint8_t> SyncCells(const XmModule& song) {
  std::map<std::pair<int, int>, uint8_t> cells;
  for (int p = 0; p < static_cast<int>(song.patterns.size()); ++p) {
    XmPattern pattern = song.patterns[static_cast<size_t>(p)];
    for (int r = 0; r < pattern.rows; ++r) {
      const XmCell& cell = pattern.At(r, kSyncChannel);
      if (cell.effect == kXmSync) cells[{p, r}] = cell.param;
    }
  }
  return cells;
}

// Plays frames of the song in pull mode (in blocks that do not divide rows evenly) and checks
// the callbacks against libopenmpt's own row starts: same values, same order, and each at its
// row's time (the song clock reads at most 1 ms early: rows are found a render slice at a time).
std::vector<HeardSync> PlayAndCompare(const XmModule& song, uint64_t frames) {
  const std::vector<uint8_t> bytes = WriteXm(song);
  const auto cells = SyncCells(song);
  std::vector<HeardSync> expected;
  for (const RowStart& start : ReferenceRowStarts(bytes, frames)) {
    const auto cell = cells.find({start.pattern, start.row});
    if (cell != cells.end()) expected.push_back({cell->second, FrameMs(start.frame)});
  }
  PullSession session(bytes);
  session.Pull(frames, 1000);
  EXPECT_EQ(session.heard.size(), expected.size());
  for (size_t i = 0; i < std::min(session.heard.size(), expected.size()); ++i) {
    EXPECT_EQ(session.heard[i].param, expected[i].param) << "event " << i;
    EXPECT_LE(session.heard[i].timeMs, expected[i].timeMs) << "event " << i;
    EXPECT_GE(session.heard[i].timeMs, expected[i].timeMs - 1) << "event " << i;
  }
  return session.heard;
}

TEST(SoundSync, EveryRowAtEverySpeedAndTempoIsReportedOnceOnTime) {
  XmModule song = SquareSong(kChannels);
  song.order = {0, 1};
  // Speeds 1 to 31 at the fastest tempo, one row each.
  XmPattern speeds(31, kChannels);
  speeds.At(0, kFlowChannel) = {0, 0, 0, kXmSpeedTempo, 255};
  Note(speeds, 0);
  for (int row = 0; row < 31; ++row) {
    speeds.At(row, kSpeedChannel) = {0, 0, 0, kXmSpeedTempo, static_cast<uint8_t>(row + 1)};
    Sync(speeds, row, static_cast<uint8_t>(row));
  }
  // Tempos 32 to 255 at speed 1, where every tick is a row.
  std::vector<int> tempos;
  for (int bpm = 32; bpm < 255; bpm += 7) tempos.push_back(bpm);
  tempos.push_back(255);
  XmPattern bpms(static_cast<int>(tempos.size()), kChannels);
  for (int row = 0; row < bpms.rows; ++row) {
    bpms.At(row, kSpeedChannel) = {0, 0, 0, kXmSpeedTempo, 1};
    bpms.At(row, kFlowChannel) = {0, 0, 0, kXmSpeedTempo, static_cast<uint8_t>(tempos[static_cast<size_t>(row)])};
    Sync(bpms, row, static_cast<uint8_t>(0x80 + row));
  }
  song.patterns = {speeds, bpms};
  const auto heard = PlayAndCompare(song, 44100 * 6);
  ASSERT_GE(heard.size(), 31u + tempos.size());
  for (size_t i = 0; i < 31 + tempos.size(); ++i) {
    EXPECT_EQ(heard[i].param, i < 31 ? i : 0x80 + (i - 31));
  }
}

TEST(SoundSync, BreaksJumpsLoopsAndTheSongsOwnLoopFollowThePlayingOrder) {
  XmModule song = SquareSong(kChannels);
  song.speed = 2;
  song.bpm = 150;
  XmPattern opening(8, kChannels);  // Z01, Z02, then on to row 4 of the next order
  Note(opening, 0);
  Sync(opening, 0, 0x01);
  Sync(opening, 2, 0x02);
  Flow(opening, 2, kXmPatternBreak, 0x04);
  XmPattern loop(8, kChannels);  // Z03 is passed over; rows 5 to 7 play three times
  Sync(loop, 1, 0x03);
  Sync(loop, 4, 0x04);
  Sync(loop, 5, 0x05);
  Flow(loop, 5, kXmExtended, 0x60);
  Sync(loop, 6, 0x06);
  Flow(loop, 7, kXmExtended, 0x62);
  XmPattern jump(4, kChannels);  // at speed 1: Z07, Z08, then straight to order 4
  jump.At(0, kSpeedChannel) = {0, 0, 0, kXmSpeedTempo, 1};
  Sync(jump, 0, 0x07);
  Sync(jump, 1, 0x08);
  Flow(jump, 1, kXmPositionJump, 4);
  Sync(jump, 2, 0x09);
  XmPattern ending(2, kChannels);
  ending.At(0, kSpeedChannel) = {0, 0, 0, kXmSpeedTempo, 2};
  Sync(ending, 0, 0x0A);
  Sync(ending, 1, 0x0B);
  song.patterns = {opening, loop, jump, ending};
  song.order = {0, 1, 2, 2, 3};  // order 3 is jumped over

  const auto heard = PlayAndCompare(song, 44100 * 2);
  const std::vector<uint8_t> firstPass = {1, 2, 4, 5, 6, 5, 6, 5, 6, 7, 8, 0x0A, 0x0B};
  ASSERT_GT(heard.size(), firstPass.size() + 2);
  for (size_t i = 0; i < firstPass.size(); ++i) EXPECT_EQ(heard[i].param, firstPass[i]) << i;
  // At its end the song starts again from its first order.
  EXPECT_EQ(heard[firstPass.size()].param, 1);
  EXPECT_EQ(heard[firstPass.size() + 1].param, 2);
}

// libopenmpt's position does not change when a row follows itself, so the times here are
// reckoned from the rows' lengths: at speed 2 and 125 BPM a row lasts 40 ms.
TEST(SoundSync, ARowThatFollowsItselfIsReportedEachTime) {
  XmModule song = SquareSong(kChannels);
  song.speed = 2;
  XmPattern first(3, kChannels);
  Note(first, 0);
  Sync(first, 0, 0x01);
  Flow(first, 0, kXmExtended, 0x62);  // loops back to row 0 (no E60 yet): three times in all
  Sync(first, 1, 0x02);
  Flow(first, 1, kXmExtended, 0xE2);  // a row delayed by two more: one row, reported once
  Sync(first, 2, 0x03);
  XmPattern single(1, kChannels);
  Sync(single, 0, 0x04);
  song.patterns = {first, single};
  song.order = {0, 1};
  {
    PullSession session(WriteXm(song));
    session.Pull(44100 * 390 / 1000, 1000);
    const std::vector<HeardSync> expected = {{0x01, 0},   {0x01, 40},  {0x01, 80}, {0x02, 120},
                                             {0x03, 240}, {0x04, 280}, {0x01, 320}, {0x01, 360}};
    ASSERT_EQ(session.heard.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(session.heard[i].param, expected[i].param) << i;
      EXPECT_NEAR(session.heard[i].timeMs, expected[i].timeMs, 1) << i;
    }
  }

  // A song of one row starts over on that row, every 20 ms at speed 1.
  XmModule loop = SquareSong(2);
  loop.speed = 1;
  loop.order = {0};
  XmPattern row(1, 2);
  row.At(0, 0) = {49, 1, 0, kXmSync, 0x07};
  loop.patterns = {row};
  PullSession again(WriteXm(loop));
  again.Pull(44100 / 10 - 100, 1000);  // just short of 100 ms
  ASSERT_EQ(again.heard.size(), 5u);
  for (size_t i = 0; i < 5; ++i) EXPECT_NEAR(again.heard[i].timeMs, 20 * static_cast<int>(i), 1);
}

std::vector<sound::PassedSyncEvent> passedRows;

// A song started 700 ms in sounds from there exactly as a song played from its start, calls back
// the rows after that point at the same times, and hands over the rows before it instead.
TEST(SoundSync, ASongStartedLaterGoesOnAsIfPlayedFromItsStart) {
  XmModule song = SquareSong(kChannels);
  song.speed = 3;
  XmPattern pattern(16, kChannels);
  for (int row = 0; row < 16; ++row) Sync(pattern, row, static_cast<uint8_t>(0x10 + row));
  for (int row = 0; row < 16; row += 3) Note(pattern, row);
  song.patterns = {pattern};
  song.order = {0, 0};
  const std::vector<uint8_t> bytes = WriteXm(song);
  constexpr int kStartMs = 700;
  constexpr uint64_t kStartFrame = 44100 * kStartMs / 1000;

  std::vector<HeardSync> fullRows;
  std::vector<int16_t> fullSound;
  {
    PullSession full(bytes);
    full.Pull(44100 * 2, 1470);
    fullRows = full.heard;
    fullSound = full.samples;
  }
  passedRows.clear();
  sound::StartSongsAt(kStartMs, [](const std::vector<sound::PassedSyncEvent>& events) {
    passedRows = events;
  });
  PullSession later(bytes);
  sound::StartSongsAt(0, nullptr);
  EXPECT_EQ(FMUSIC_GetTime(later.song), kStartMs);
  later.Pull(44100 * 2 - kStartFrame, 1000);

  std::vector<HeardSync> expectedPassed, expectedHeard;
  for (const HeardSync& row : fullRows) (row.timeMs < kStartMs ? expectedPassed : expectedHeard).push_back(row);
  ASSERT_EQ(passedRows.size(), expectedPassed.size());
  for (size_t i = 0; i < passedRows.size(); ++i) {
    EXPECT_EQ(passedRows[i].param, expectedPassed[i].param) << i;
    EXPECT_NEAR(passedRows[i].timeMs, expectedPassed[i].timeMs, 1) << i;
  }
  ASSERT_EQ(later.heard.size(), expectedHeard.size());
  for (size_t i = 0; i < later.heard.size(); ++i) {
    EXPECT_EQ(later.heard[i].param, expectedHeard[i].param) << i;
    EXPECT_NEAR(later.heard[i].timeMs, expectedHeard[i].timeMs, 1) << i;
  }
  ASSERT_EQ(later.samples.size(), fullSound.size() - 2 * kStartFrame);
  EXPECT_TRUE(std::equal(later.samples.begin(), later.samples.end(),
                         fullSound.begin() + static_cast<std::ptrdiff_t>(2 * kStartFrame)));
}

TEST(SoundSync, ASongPlayedOnceReportsNoRowPastItsEnd) {
  XmModule song = SquareSong(2);
  song.speed = 3;
  song.order = {0, 0};
  XmPattern pattern(4, 2);
  pattern.At(0, 0) = {49, 1, 0, kXmSync, 0x05};
  pattern.At(2, 0) = {0, 0, 0, kXmSync, 0x30};
  song.patterns = {pattern};
  const std::vector<uint8_t> bytes = WriteXm(song);
  auto player = sound::ModulePlayer::Load(bytes.data(), bytes.size(), 44100, /*loop=*/false);
  ASSERT_NE(player, nullptr);
  std::vector<sound::SyncEvent> events;
  std::vector<int16_t> block(2 * 1000);
  while (!player->Ended()) player->Render(block.data(), 1000, events);
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[3].order, 1);
  EXPECT_EQ(events[3].row, 2);
  EXPECT_EQ(player->FramesRendered(), 44100u * 480 / 1000);  // 8 rows of 3 ticks at 125 BPM
}

}  // namespace
}  // namespace zelk4::test
