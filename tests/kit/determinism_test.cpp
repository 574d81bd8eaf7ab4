// The kit's output depends on nothing but its code: two runs give the same bytes.
#include <gtest/gtest.h>

#include <set>

#include "kit_files.h"

namespace zelk4::kit {
namespace {

TEST(KitDeterminism, TwoRunsGiveTheSameFilesAndArchive) {
  const std::vector<ArchiveEntry>& first = test::KitFiles();
  const std::vector<ArchiveEntry> second = BuildKitFiles();
  ASSERT_EQ(first.size(), second.size());
  for (size_t i = 0; i < first.size(); ++i) {
    EXPECT_EQ(first[i].name, second[i].name);
    EXPECT_TRUE(first[i].data == second[i].data) << first[i].name << " differs between runs";
  }
  EXPECT_EQ(BuildDataArchive(first), BuildDataArchive(second));
}

TEST(KitDeterminism, TheArchiveHoldsEveryNameTheDemoAsksFor) {
  std::set<std::string> names;
  for (const ArchiveEntry& e : test::KitFiles()) {
    EXPECT_FALSE(e.data.empty()) << e.name;
    EXPECT_EQ(e.name.find('/'), std::string::npos) << "names use backslashes: " << e.name;
    names.insert(e.name);
  }
  for (const char* wanted : {"graphics\\loading.png", "graphics\\overlay01.png", "graphics\\overlay02.png",
                             "graphics\\overlay03.png", "graphics\\overlay04.png", "graphics\\particle.png",
                             "3ds\\vw.3ds", "sound\\dream1.xm"}) {
    EXPECT_TRUE(names.count(wanted)) << wanted;
  }
}

}  // namespace
}  // namespace zelk4::kit
