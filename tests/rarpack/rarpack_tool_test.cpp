// zelk4-archive a: the command line as a person uses it, and the archive it leaves.
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "archive/archive.h"
#include "archive/archive_tool.h"
#include "support/corpus.h"
#include "test_data.h"

namespace {

namespace fs = std::filesystem;
using zelk4::rarpack_test::Bytes;

int RunTool(const std::string& arguments, const fs::path& folder) {
  const std::string command = "cd '" + folder.string() + "' && '" ZELK4_ARCHIVE_TOOL "' " + arguments + " > /dev/null 2>&1";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void Write(const fs::path& path, const Bytes& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes Get(const fs::path& archive, const char* name) {
  uint8_t* data = nullptr;
  uint32_t size = 0;
  if (!ArchiveGetFile(&data, &size, name, archive.c_str(), "")) return {0xDE, 0xAD};
  Bytes out(data, data + size);
  std::free(data);
  return out;
}

std::vector<std::string> ListNames(const fs::path& archive) {
  std::vector<std::string> names;
  ArchiveListEntries(
      archive.c_str(),
      [](const ArchiveEntryInfo& e, void* user) { static_cast<std::vector<std::string>*>(user)->push_back(e.utf8Name); },
      &names, nullptr);
  return names;
}

TEST(RarpackTool, PacksFilesAndFoldersUnderTheirRelativeNames) {
  const fs::path dir = zelk4::test::TestOutputDir() / "rarpack_tool";
  fs::remove_all(dir);
  const Bytes text = zelk4::rarpack_test::Text(30000, 1), wav = zelk4::rarpack_test::Wav(5000, 16, 2, 2);
  Write(dir / "graphics" / "sub" / "notes.txt", text);
  Write(dir / "sound.wav", wav);
  Write(dir / "empty.bin", {});

  ASSERT_EQ(RunTool("a -s -m5 data.rar graphics ./sound.wav empty.bin", dir), 0);
  EXPECT_EQ(Get(dir / "data.rar", "graphics\\sub\\notes.txt"), text);
  EXPECT_EQ(Get(dir / "data.rar", "sound.wav"), wav);
  EXPECT_EQ(Get(dir / "data.rar", "empty.bin"), Bytes{});
  EXPECT_EQ(RunTool("t data.rar", dir), 0);

  // An existing archive is updated: same names replaced where they stood, new ones added, the
  // archive stays solid. -f starts afresh.
  const Bytes newText = zelk4::rarpack_test::Text(20000, 2), extra = {'x', 'y'};
  Write(dir / "graphics" / "sub" / "notes.txt", newText);
  Write(dir / "extra.bin", extra);
  ASSERT_EQ(RunTool("a -m1 data.rar ./graphics/sub/notes.txt extra.bin", dir), 0);
  EXPECT_EQ(Get(dir / "data.rar", "graphics\\sub\\notes.txt"), newText);
  EXPECT_EQ(Get(dir / "data.rar", "sound.wav"), wav);
  EXPECT_EQ(Get(dir / "data.rar", "extra.bin"), extra);
  EXPECT_EQ(ListNames(dir / "data.rar"),
            (std::vector<std::string>{"graphics\\sub\\notes.txt", "sound.wav", "empty.bin", "extra.bin"}));
  EXPECT_EQ(RunTool("a -f -m0 data.rar sound.wav", dir), 0);
  EXPECT_EQ(fs::file_size(dir / "data.rar"), wav.size() + 7 + 13 + 32 + 9 + 7);
  // An archive that does not extract whole is left as it was.
  Write(dir / "broken.rar", {'R', 'a', 'r', '!'});
  EXPECT_EQ(RunTool("a broken.rar extra.bin", dir), 1);
  EXPECT_EQ(fs::file_size(dir / "broken.rar"), 4u);

  // Names beyond ASCII go in with their Unicode form and come out under the same name.
  const std::string cyrillic = "\xD1\x82\xD0\xB5\xD1\x81\xD1\x82";
  Write(dir / "in" / (cyrillic + ".txt"), extra);
  ASSERT_EQ(RunTool("a -m3 names.rar in", dir), 0);
  EXPECT_EQ(ListNames(dir / "names.rar"), std::vector<std::string>{"in\\" + cyrillic + ".txt"});
  EXPECT_EQ(Get(dir / "names.rar", "in\\????.txt"), extra);  // lookups match the stored bytes
  ASSERT_EQ(RunTool("x names.rar -o out", dir), 0);
  EXPECT_EQ(zelk4::test::ReadFileBytes(dir / "out" / "in" / (cyrillic + ".txt")), extra);

  // Usage errors, and names an extractor would have to write outside its folder.
  EXPECT_EQ(RunTool("a -m6 other.rar sound.wav", dir), 2);
  EXPECT_EQ(RunTool("a other.rar", dir), 2);
  EXPECT_EQ(RunTool("a other.rar ../rarpack_tool/sound.wav", dir), 1);
  EXPECT_EQ(RunTool("a other.rar missing.txt", dir), 1);
  EXPECT_FALSE(fs::exists(dir / "other.rar"));
  fs::remove_all(dir);
}

}  // namespace
