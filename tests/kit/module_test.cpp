// The demo's module as a player sees it: its type, length, and the sync commands the demo
// steers by, read back through libopenmpt.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include <libopenmpt/libopenmpt.hpp>

#include "kit_files.h"

namespace zelk4::kit {
namespace {

struct SyncRow {
  int order, row;
  int value;
};

std::vector<SyncRow> SyncCommands(openmpt::module& m) {
  std::vector<SyncRow> out;
  for (int32_t o = 0; o < m.get_num_orders(); ++o) {
    const int32_t p = m.get_order_pattern(o);
    for (int32_t r = 0; r < m.get_pattern_num_rows(p); ++r) {
      for (int32_t c = 0; c < m.get_num_channels(); ++c) {
        if (m.format_pattern_row_channel_command(p, r, c, openmpt::module::command_effect) != "Z") continue;
        const std::string param = m.format_pattern_row_channel_command(p, r, c, openmpt::module::command_parameter);
        out.push_back({o, r, std::stoi(param, nullptr, 16)});
      }
    }
  }
  return out;
}

TEST(KitModule, PlaysAsFastTracker2ForOneToTwoMinutes) {
  const Bytes& xm = test::KitFile("sound\\dream1.xm");
  openmpt::module m(xm);
  EXPECT_EQ(m.get_metadata("tracker"), "FastTracker 2 or compatible");
  EXPECT_EQ(m.get_metadata("type"), "xm");
  EXPECT_GE(m.get_duration_seconds(), 60.0);
  EXPECT_LE(m.get_duration_seconds(), 120.0);
  EXPECT_EQ(m.get_num_instruments(), 7);

  // It makes sound, without clipping for long: a few seconds from the groove section.
  m.set_position_order_row(2, 0);
  std::vector<float> left(44100 * 4), right(44100 * 4);
  const size_t n = m.read(44100, left.size(), left.data(), right.data());
  ASSERT_EQ(n, left.size());
  double energy = 0;
  size_t clipped = 0;
  for (size_t i = 0; i < n; ++i) {
    energy += left[i] * left[i] + right[i] * right[i];
    clipped += std::abs(left[i]) >= 1.0f || std::abs(right[i]) >= 1.0f;
  }
  EXPECT_GT(energy / n, 1e-3);
  EXPECT_LT(clipped, n / 1000);
}

TEST(KitModule, SyncCommandsFollowTheMusicsShape) {
  const Bytes& xm = test::KitFile("sound\\dream1.xm");
  openmpt::module m(xm);
  const std::vector<SyncRow> sync = SyncCommands(m);
  ASSERT_FALSE(sync.empty());

  std::set<int> cameras, overlays;
  int restarts = 0, flashes = 0, zeroOverlays = 0;
  for (const SyncRow& s : sync) {
    if (s.value >= 0x01 && s.value <= 0x10) {
      cameras.insert(s.value);
      EXPECT_EQ(s.row % 16, 0) << "camera cut off a phrase boundary at order " << s.order << " row " << s.row;
    } else if (s.value == 0x00 || (s.value >= 0x11 && s.value <= 0x20)) {
      overlays.insert((s.value - 0x11) & 3);
      zeroOverlays += s.value == 0x00;
      EXPECT_EQ(s.row % 16, 0);
    } else if (s.value == 0x21) {
      ++flashes;
    } else if (s.value == 0x30) {
      ++restarts;
      EXPECT_EQ(s.row, 0) << "Z30 inside a pattern at order " << s.order;
    } else {
      ADD_FAILURE() << "a Z command the demo does not know: " << s.value;
    }
  }
  EXPECT_GE(cameras.size(), 4u);
  EXPECT_EQ(overlays.size(), 4u);
  EXPECT_EQ(zeroOverlays, 1);
  EXPECT_GE(restarts, 4);
  EXPECT_GE(flashes, 8);

  // Every section start restarts, so the first order does.
  EXPECT_EQ(sync.front().order, 0);
  bool firstRowRestarts = false;
  for (const SyncRow& s : sync) firstRowRestarts |= s.order == 0 && s.row == 0 && s.value == 0x30;
  EXPECT_TRUE(firstRowRestarts);
}

}  // namespace
}  // namespace zelk4::kit
