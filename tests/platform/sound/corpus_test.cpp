// Real FastTracker 2 modules play from start to end, as long as libopenmpt says they last.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/sound/module_player.h"
#include "platform/sound/output.h"
#include "platform/sound/pull_session.h"
#include "support/corpus.h"

namespace zelk4::test {
namespace {

TEST(SoundCorpus, EveryModulePlaysThroughInItsEstimatedLength) {
  ZELK4_REQUIRE_CORPUS("xm");
  int modules = 0;
  for (const auto& entry : std::filesystem::directory_iterator(CorpusPath("xm"))) {
    if (entry.path().extension() != ".xm") continue;
    ++modules;
    SCOPED_TRACE(entry.path().filename().string());
    const std::vector<uint8_t> bytes = ReadFileBytes(entry.path());
    auto player = sound::ModulePlayer::Load(bytes.data(), bytes.size(), 44100, /*loop=*/false);
    ASSERT_NE(player, nullptr);
    std::vector<sound::SyncEvent> events;
    std::vector<int16_t> block(2 * 4096);
    while (!player->Ended()) player->Render(block.data(), 4096, events);
    const double seconds = static_cast<double>(player->FramesRendered()) / 44100.0;
    EXPECT_GT(seconds, 1.0);
    EXPECT_NEAR(seconds, player->DurationSeconds(), 0.05);
  }
  EXPECT_GT(modules, 0);
}

TEST(SoundCorpus, ALoopingSongRunsOnPastItsEnd) {
  ZELK4_REQUIRE_CORPUS("xm");
  const std::vector<uint8_t> bytes = ReadFileBytes(CorpusPath("xm") / "ft2_kxx.xm");
  ASSERT_FALSE(bytes.empty());
  PullSession session(bytes);
  session.Pull(44100 * 20, 4096);  // the song lasts about 12.6 s
  EXPECT_EQ(FMUSIC_GetTime(session.song), 20000);
  std::vector<int16_t> block(2 * 44100);  // a second of the second pass is heard, not silence
  ASSERT_EQ(sound::Pull(block.data(), 44100), 44100u);
  EXPECT_NE(block, std::vector<int16_t>(block.size(), 0));
}

}  // namespace
}  // namespace zelk4::test
