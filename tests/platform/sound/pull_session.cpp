#include "platform/sound/pull_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <libopenmpt/libopenmpt.hpp>
#include <map>
#include <sstream>
#include <string>

#include "platform/sound/output.h"

namespace zelk4::test {
namespace {
PullSession* current = nullptr;  // the callback has no user pointer

void Record(FMUSIC_MODULE* mod, unsigned char param) {
  if (current && mod == current->song) current->heard.push_back({param, FMUSIC_GetTime(mod)});
}
}  // namespace

PullSession::PullSession(const std::vector<uint8_t>& bytes) {
  EXPECT_TRUE(sound::SetOutput(sound::Output::Pull));
  EXPECT_TRUE(FSOUND_Init(44100, 32, FSOUND_INIT_GLOBALFOCUS));
  std::vector<uint8_t> copy = bytes;
  song = FMUSIC_LoadSongMemory(copy.data(), static_cast<int>(copy.size()));
  EXPECT_NE(song, nullptr) << "error " << FSOUND_GetError();
  EXPECT_TRUE(FMUSIC_SetZxxCallback(song, Record));
  EXPECT_TRUE(FMUSIC_PlaySong(song));
  current = this;
}

PullSession::~PullSession() {
  current = nullptr;
  if (song) FMUSIC_FreeSong(song);
  FSOUND_Close();
  sound::SetOutput(sound::Output::RealTime);
}

void PullSession::Pull(uint64_t frames, std::size_t blockFrames) {
  std::vector<int16_t> block(2 * blockFrames);
  while (frames > 0) {
    const std::size_t n = static_cast<std::size_t>(std::min<uint64_t>(frames, blockFrames));
    ASSERT_EQ(sound::Pull(block.data(), n), n);
    samples.insert(samples.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(2 * n));
    frames -= n;
  }
}

std::vector<RowStart> ReferenceRowStarts(const std::vector<uint8_t>& bytes, uint64_t frames) {
  std::ostringstream quiet;
  const std::map<std::string, std::string> ctls = {{"play.at_end", "continue"}};
  openmpt::module module(bytes.data(), bytes.size(), quiet, ctls);
  module.set_repeat_count(-1);
  std::vector<RowStart> starts;
  int16_t frame[2];
  for (uint64_t f = 0; f < frames; ++f) {
    if (module.read_interleaved_stereo(44100, 1, frame) != 1) break;
    const int32_t order = module.get_current_order();
    const int32_t row = module.get_current_row();
    if (starts.empty() || starts.back().order != order || starts.back().row != row) {
      starts.push_back({order, module.get_current_pattern(), row, f});
    }
  }
  return starts;
}

}  // namespace zelk4::test
