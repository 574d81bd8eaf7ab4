// The kit's archive read back by the engine's own lookup, entry by entry.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "archive/archive.h"
#include "kit_files.h"
#include "support/corpus.h"

namespace zelk4::kit {
namespace {

TEST(KitArchive, EveryEntryComesBackThroughArchiveGetFile) {
  const std::filesystem::path path = zelk4::test::TestOutputDir() / "kit-archive-test.rar";
  ASSERT_TRUE(zelk4::test::WriteFileBytes(path, BuildDataArchive(test::KitFiles())));
  for (const ArchiveEntry& e : test::KitFiles()) {
    uint8_t* data = nullptr;
    uint32_t size = 0;
    ASSERT_EQ(ArchiveGetFile(&data, &size, e.name.c_str(), path.c_str(), ""), 1) << e.name;
    EXPECT_EQ(size, e.data.size()) << e.name;
    EXPECT_TRUE(size == e.data.size() && std::equal(e.data.begin(), e.data.end(), data)) << e.name;
    std::free(data);
  }
  uint8_t* data = nullptr;
  uint32_t size = 0;
  EXPECT_EQ(ArchiveGetFile(&data, &size, "graphics\\missing.png", path.c_str(), ""), 0);
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace zelk4::kit
