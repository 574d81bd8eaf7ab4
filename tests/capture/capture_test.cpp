// zelk4-capture as a user runs it, from the build folder beside the kit's Data.rar: two runs give
// the same frames, the part sees each Zxx of the module within one frame of its row, and the
// outputs and refusals behave.
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "archive/archive.h"
#include "platform/sound/module_player.h"
#include "support/corpus.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kCapture = ZELK4_CAPTURE_PROGRAM;

// Runs the capture with the arguments; returns its exit status and what it wrote to stderr.
int RunCapture(const std::string& arguments, std::string* errors = nullptr) {
  const fs::path errFile = zelk4::test::TestOutputDir() / ("capture-err-" + std::to_string(std::hash<std::string>{}(arguments)));
  const std::string command = std::string("'") + kCapture + "' " + arguments + " 2>'" + errFile.string() + "' >/dev/null";
  const int status = std::system(command.c_str());
  if (errors) {
    std::ifstream in(errFile);
    std::stringstream text;
    text << in.rdbuf();
    *errors = text.str();
  }
  fs::remove(errFile);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> Lines(const fs::path& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class CaptureTool : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists("Data.rar")) GTEST_SKIP() << "no Data.rar in the working folder";
    dir_ = zelk4::test::TestOutputDir() / ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string At(const std::string& name) const { return (dir_ / name).string(); }

  fs::path dir_;
};

// Two ten-second runs at 30 frames per second, side by side.
TEST_F(CaptureTool, TwoRunsDrawTheSameFramesAndSeeEverySyncEventWithinAFrameOfItsRow) {
  if (!ZELK4_CAPTURE_LONG_RUNS) GTEST_SKIP() << "ten-second captures are left out of sanitizer builds";
  int status[2] = {-1, -1};
  std::thread second([&] {
    status[1] = RunCapture("--seconds 10 --fps 30 --hashes '" + At("b.txt") + "'");
  });
  status[0] = RunCapture("--seconds 10 --fps 30 --hashes '" + At("a.txt") + "' --sync-log '" + At("sync.txt") + "'");
  second.join();
  ASSERT_EQ(status[0], 0);
  ASSERT_EQ(status[1], 0);
  const std::vector<std::string> a = Lines(At("a.txt"));
  ASSERT_EQ(a.size(), 300u);
  EXPECT_EQ(a, Lines(At("b.txt")));
  std::set<std::string> distinct;
  for (const std::string& line : a) distinct.insert(line.substr(line.find(' ') + 1));
  EXPECT_GT(distinct.size(), 250u) << "the picture should change nearly every frame";

  // The module's own Zxx rows over the same ten seconds, from an independent player.
  uint8_t* bytes = nullptr;
  uint32_t size = 0;
  ASSERT_EQ(ArchiveGetFile(&bytes, &size, "sound\\dream1.xm", "Data.rar", ""), 1);
  auto player = zelk4::sound::ModulePlayer::Load(bytes, size, 44100, /*loop=*/true);
  std::free(bytes);
  ASSERT_NE(player, nullptr);
  std::vector<zelk4::sound::SyncEvent> rows;
  std::vector<int16_t> block(2 * 4410);
  while (player->FramesRendered() < 44100u * 10) player->Render(block.data(), 4410, rows);

  // Each line: frame, frame ms, row ms, Zxx. The part sees a row no earlier than its time and
  // less than one frame (33.3 ms) after it.
  const std::vector<std::string> seen = Lines(At("sync.txt"));
  std::vector<std::pair<double, int>> expected;  // row ms, xx, for rows a drawn frame can see
  for (const zelk4::sound::SyncEvent& e : rows) {
    const double ms = e.frame * 1000.0 / 44100.0;
    if (ms <= 299 * 1000.0 / 30) expected.emplace_back(ms, e.param);
  }
  ASSERT_GT(expected.size(), 3u);
  ASSERT_EQ(seen.size(), expected.size());
  for (size_t i = 0; i < seen.size(); ++i) {
    unsigned long long frame = 0;
    double frameMs = 0;
    int rowMs = 0;
    unsigned param = 0;
    ASSERT_EQ(std::sscanf(seen[i].c_str(), "%llu %lf %d Z%X", &frame, &frameMs, &rowMs, &param), 4) << seen[i];
    EXPECT_EQ(static_cast<int>(param), expected[i].second) << seen[i];
    EXPECT_NEAR(rowMs, expected[i].first, 1.0) << seen[i];
    EXPECT_GE(frameMs + 1.0, expected[i].first) << seen[i];
    EXPECT_LT(frameMs - expected[i].first, 1000.0 / 30 + 1.0) << seen[i];
  }
}

TEST_F(CaptureTool, FramesModeWritesPicturesSoundAndAContactSheet) {
  ASSERT_EQ(RunCapture("--seconds 1 --fps 5 --frames '" + At("frames") + "'"), 0);
  int pictures = 0;
  for (const auto& entry : fs::directory_iterator(At("frames"))) {
    pictures += entry.path().filename().string().rfind("frame-", 0) == 0;
  }
  EXPECT_EQ(pictures, 5);
  EXPECT_TRUE(fs::exists(At("frames/contact.png")));
  // The sound lasts as long as the five frames: one second of 16-bit stereo at 44100 Hz.
  EXPECT_EQ(fs::file_size(At("frames/sound.wav")), 44u + 44100u * 4u);

  // The folder is not empty now: a second run refuses without --force and leaves it alone.
  std::string errors;
  EXPECT_EQ(RunCapture("--seconds 1 --fps 5 --frames '" + At("frames") + "'", &errors), 1);
  EXPECT_NE(errors.find("--force"), std::string::npos) << errors;
  EXPECT_EQ(RunCapture("--seconds 1 --fps 5 --force --frames '" + At("frames") + "'"), 0);
}

TEST_F(CaptureTool, VideoHasPictureAndSoundAndIsNotReplacedWithoutForce) {
  if (RunCapture("--help") != 0) FAIL() << "--help should succeed";
  if (std::system("command -v ffprobe >/dev/null 2>&1") != 0) GTEST_SKIP() << "no ffmpeg here";
  ASSERT_EQ(RunCapture("--seconds 1 --fps 10 --out '" + At("demo.mp4") + "'"), 0);
  EXPECT_TRUE(fs::exists(At("demo-contact.png")));
  const std::string probe = "ffprobe -v error -show_entries stream=codec_type -of csv=p=0 '" +
                            At("demo.mp4") + "' > '" + At("streams.txt") + "'";
  ASSERT_EQ(std::system(probe.c_str()), 0);
  EXPECT_EQ(Lines(At("streams.txt")), (std::vector<std::string>{"video", "audio"}));

  const auto before = fs::last_write_time(At("demo.mp4"));
  std::string errors;
  EXPECT_EQ(RunCapture("--seconds 1 --fps 10 --out '" + At("demo.mp4") + "'", &errors), 1);
  EXPECT_NE(errors.find("exists"), std::string::npos) << errors;
  EXPECT_EQ(fs::last_write_time(At("demo.mp4")), before);
}

TEST_F(CaptureTool, UsageErrorsExitWithTwo) {
  EXPECT_EQ(RunCapture(""), 2);
  EXPECT_EQ(RunCapture("--fps 0 --bench"), 2);
  EXPECT_EQ(RunCapture("--bench --out x.mp4"), 2);
  EXPECT_EQ(RunCapture("--out a.mp4 --frames b"), 2);
  std::string errors;
  EXPECT_EQ(RunCapture("--bench --from -1", &errors), 2);
  EXPECT_NE(errors.find("before the music's start"), std::string::npos) << errors;
  EXPECT_EQ(RunCapture("--bench --from 100000", &errors), 2);
  EXPECT_NE(errors.find("past the end of the music"), std::string::npos) << errors;
  EXPECT_EQ(RunCapture("--bench --size 0x480", &errors), 2);
  EXPECT_EQ(RunCapture("--bench --canvas 1920", &errors), 2);
  if (std::system("command -v ffmpeg >/dev/null 2>&1") == 0) {
    EXPECT_EQ(RunCapture("--canvas 641x480 --out '" + At("odd.mp4") + "'", &errors), 2);
    EXPECT_NE(errors.find("even"), std::string::npos) << errors;
  }
}

// A capture that starts later draws exactly the frames a capture from 0 draws at the same times,
// whatever the number of drawing threads; it starts at the first frame at or after its time.
TEST_F(CaptureTool, StartingLaterDrawsTheFramesOfARunFromTheStart) {
  int status[2] = {-1, -1};
  std::thread full([&] {
    status[0] = RunCapture("--seconds 3 --fps 10 --threads 3 --hashes '" + At("full.txt") + "'");
  });
  std::string errors;
  status[1] = RunCapture("--from 2.05 --seconds 0.9 --fps 10 --threads 1 --hashes '" + At("later.txt") + "'",
                         &errors);
  full.join();
  ASSERT_EQ(status[0], 0);
  ASSERT_EQ(status[1], 0) << errors;
  EXPECT_NE(errors.find("brought to 2.100 s"), std::string::npos) << errors;
  const std::vector<std::string> all = Lines(At("full.txt"));
  ASSERT_EQ(all.size(), 30u);
  EXPECT_EQ(Lines(At("later.txt")), std::vector<std::string>(all.begin() + 21, all.end()));
}

// PNG width and height, from the IHDR chunk that follows the 8-byte signature.
std::pair<uint32_t, uint32_t> PngSize(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  unsigned char header[24] = {};
  in.read(reinterpret_cast<char*>(header), sizeof header);
  auto be = [&](int at) {
    return static_cast<uint32_t>(header[at]) << 24 | static_cast<uint32_t>(header[at + 1]) << 16 |
           static_cast<uint32_t>(header[at + 2]) << 8 | header[at + 3];
  };
  return {be(16), be(20)};
}

TEST_F(CaptureTool, FramesAreDrawnAtTheSizeAndWrittenAtTheCanvasSize) {
  ASSERT_EQ(RunCapture("--size 320x240 --canvas 500x240 --seconds 0.2 --fps 10 --frames '" +
                       At("frames") + "' --hashes '" + At("small.txt") + "'"),
            0);
  EXPECT_EQ(PngSize(At("frames/frame-000001.png")), std::make_pair(500u, 240u));
  EXPECT_EQ(PngSize(At("frames/contact.png")), std::make_pair(500u, 240u));
  ASSERT_EQ(RunCapture("--seconds 0.2 --fps 10 --hashes '" + At("designed.txt") + "'"), 0);
  const auto small = Lines(At("small.txt"));
  ASSERT_EQ(small.size(), 2u);
  EXPECT_NE(small, Lines(At("designed.txt")));  // drawn at another size, not scaled afterwards
}

}  // namespace
