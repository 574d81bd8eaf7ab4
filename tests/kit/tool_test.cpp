// zelk4-kit as a user runs it: usage errors, refusing to replace Data.rar, --force.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>

#include "support/corpus.h"

namespace {

namespace fs = std::filesystem;

int RunKit(const std::string& arguments) {
  const std::string command = std::string(ZELK4_KIT_TOOL) + " " + arguments + " >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(KitTool, WritesTheKitRefusesToReplaceItUnlessForced) {
  const fs::path dir = zelk4::test::TestOutputDir() / "kit-tool";
  fs::remove_all(dir);
  EXPECT_EQ(RunKit("--help"), 0);
  EXPECT_EQ(RunKit(""), 2);
  EXPECT_EQ(RunKit("--no-such-option " + dir.string()), 2);

  ASSERT_EQ(RunKit(dir.string()), 0);
  EXPECT_TRUE(fs::exists(dir / "Data.rar"));
  EXPECT_TRUE(fs::exists(dir / "sound" / "dream1.xm"));
  EXPECT_TRUE(fs::exists(dir / "graphics" / "stone.pkm"));
  const auto size = fs::file_size(dir / "Data.rar");

  EXPECT_EQ(RunKit(dir.string()), 1) << "an existing Data.rar is kept";
  EXPECT_EQ(RunKit("--force --archive-only " + dir.string()), 0);
  EXPECT_EQ(fs::file_size(dir / "Data.rar"), size);

  // Packing the loose files again gives an archive of the same entries (in name order).
  const fs::path repacked = zelk4::test::TestOutputDir() / "kit-tool-repacked";
  fs::remove_all(repacked);
  ASSERT_EQ(RunKit("--pack-from " + dir.string() + " " + repacked.string()), 0);
  EXPECT_EQ(fs::file_size(repacked / "Data.rar"), size);
  EXPECT_EQ(RunKit("--pack-from " + (dir / "missing").string() + " " + repacked.string()), 2);
  fs::remove_all(repacked);
  fs::remove_all(dir);
}

}  // namespace
