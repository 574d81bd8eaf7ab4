// Where zelk4-archive x may write: names are untrusted, so nothing lands outside the output
// folder, nothing is overwritten without -f, and no symbolic link is followed.
#include <unistd.h>

#include <filesystem>

#include "archive/extract_path.h"
#include "support/corpus.h"

using zelk4::archive_tool::MakeFoldersBelow;
using zelk4::archive_tool::SafeRelativePath;
using zelk4::archive_tool::WriteBelow;

TEST(ArchiveExtract, NamesBecomeRelativePathsOrAreRefused) {
  std::string path;
  ASSERT_TRUE(SafeRelativePath("graphics\\loading.png", &path));
  EXPECT_EQ(path, "graphics/loading.png");
  ASSERT_TRUE(SafeRelativePath(".\\a\\\\b/./c", &path));
  EXPECT_EQ(path, "a/b/c");
  ASSERT_TRUE(SafeRelativePath("..name", &path));  // dots inside a name are fine
  EXPECT_EQ(path, "..name");
  for (const char* bad : {"/etc/passwd", "\\etc\\passwd", "..\\up", "a/../../b", "a\\..", "C:\\x", "c:x", "", ".", "\\"})
    EXPECT_FALSE(SafeRelativePath(bad, &path)) << bad;
}

TEST(ArchiveExtract, WritesBelowTheFolderWithoutOverwritingOrFollowingLinks) {
  namespace fs = std::filesystem;
  const fs::path dir = zelk4::test::TestOutputDir() / "archive" / "extract";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string folder = dir.string();
  const unsigned char one[] = "one", two[] = "two";
  std::string error;

  ASSERT_TRUE(WriteBelow(folder, "a/b/file.txt", one, 3, false, &error)) << error;
  EXPECT_FALSE(WriteBelow(folder, "a/b/file.txt", two, 3, false, &error));
  EXPECT_EQ(zelk4::test::ReadFileBytes(dir / "a/b/file.txt"), (std::vector<uint8_t>{'o', 'n', 'e'}));
  ASSERT_TRUE(WriteBelow(folder, "a/b/file.txt", two, 3, true, &error)) << error;
  EXPECT_EQ(zelk4::test::ReadFileBytes(dir / "a/b/file.txt"), (std::vector<uint8_t>{'t', 'w', 'o'}));
  EXPECT_TRUE(MakeFoldersBelow(folder, "x/y", &error));
  EXPECT_TRUE(fs::is_directory(dir / "x/y"));

  // Links planted in the output folder are never followed, for folders or files.
  const fs::path outside = dir.parent_path() / "extract-outside";
  fs::create_directories(outside);
  fs::create_symlink(outside, dir / "link");
  fs::create_symlink(outside / "target.txt", dir / "file-link");
  EXPECT_FALSE(WriteBelow(folder, "link/escaped.txt", one, 3, true, &error));
  EXPECT_FALSE(WriteBelow(folder, "file-link", one, 3, true, &error));
  EXPECT_FALSE(fs::exists(outside / "escaped.txt"));
  EXPECT_FALSE(fs::exists(outside / "target.txt"));
  fs::remove_all(dir);
  fs::remove_all(outside);
}
