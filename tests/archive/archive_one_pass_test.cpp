// The tools' one pass over an archive: every entry read or decoded once, with the outcome a lookup
// of that entry would have, in solid archives (where each entry builds on all before it) and not.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "archive/archive_tool.h"
#include "archive/rar_test_writer.h"

using namespace zelk4::archive_test;

namespace {

struct Outcome {
  bool ok;
  Bytes data;
  bool operator==(const Outcome&) const = default;
};

std::vector<Outcome> OnePass(const Bytes& archive, int* complete = nullptr) {
  std::vector<Outcome> out;
  const int result = ArchiveExtractEachFromMemory(
      archive.data(), archive.size(), nullptr,
      [](const ArchiveEntryInfo&, const uint8_t* data, uint32_t size, int ok, void* user) {
        static_cast<std::vector<Outcome>*>(user)->push_back({ok != 0, Bytes(data, data + size)});
      },
      &out, nullptr);
  if (complete != nullptr) *complete = result;
  return out;
}

// The test pass over the same bytes (from a file): the same outcomes, without the bytes.
std::vector<Outcome> TestPass(const Bytes& archive) {
  std::vector<Outcome> out;
  // One file per test: CTest runs the tests of this file side by side in separate processes.
  const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  const std::string path = WriteTempArchive("one_pass_" + name + ".rar", archive);
  ArchiveTestEach(
      path.c_str(), nullptr,
      [](const ArchiveEntryInfo&, const uint8_t* data, uint32_t size, int ok, void* user) {
        EXPECT_EQ(data, nullptr);
        static_cast<std::vector<Outcome>*>(user)->push_back({ok != 0, Bytes(size)});
      },
      &out, nullptr);
  return out;
}

// What the test pass should see: the outcomes with the bytes' count only.
std::vector<Outcome> Counts(std::vector<Outcome> outcomes) {
  for (Outcome& o : outcomes) o.data = Bytes(o.data.size());
  return outcomes;
}

std::vector<Outcome> EachLookup(const Bytes& archive, size_t count) {
  std::vector<Outcome> out;
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t* data = nullptr;
    uint32_t size = 0;
    const int ok = ArchiveGetEntryAtFromMemory(&data, &size, archive.data(), archive.size(), i, nullptr);
    out.push_back({ok != 0, Bytes(data, data + size)});
    std::free(data);
  }
  return out;
}

// Two compressed entries, the second continuing the first (its match reaches into it).
std::vector<Entry> SolidPair() {
  StreamWriter w1, w2;
  const Bytes first = Noise(3000, 41);
  w1.LZTables();
  for (uint8_t b : first) w1.Literal(b);
  w1.NewTablesSymbol();
  w1.LZTables();
  w2.Match(200, 2000);
  const Bytes second(first.begin() + 1000, first.begin() + 1200);
  Entry a = Compressed("first", w1.Finish(), first), b = Compressed("second", w2.Finish(), second);
  b.flags |= 0x0010;
  return {a, b};
}

}  // namespace

TEST(ArchiveOnePass, SameOutcomesAsLookupsOfEachEntry) {
  std::vector<Entry> entries = SolidPair();
  Entry damaged = Stored("damaged", {'d', 'a', 't', 'a'});
  damaged.crc ^= 1;
  entries.insert(entries.begin() + 1, damaged);
  entries.push_back(Stored("stored", {'s'}));
  for (uint16_t mainFlags : {0x0000, 0x0008}) {
    const Bytes archive = BuildArchive(entries, mainFlags);
    int complete = 0;
    const std::vector<Outcome> pass = OnePass(archive, &complete);
    EXPECT_EQ(complete, 1);
    ASSERT_EQ(pass.size(), 4u);
    EXPECT_EQ(pass, EachLookup(archive, 4)) << "main flags " << mainFlags;
    EXPECT_EQ(TestPass(archive), Counts(pass));
    EXPECT_EQ(pass[0].ok, true);
    EXPECT_EQ(pass[1].ok, false);
    if (mainFlags != 0) {
      EXPECT_TRUE(pass[2].ok);  // built on the first entry's window
    }
    EXPECT_EQ(pass[3].data, Bytes{'s'});
  }
}

// An entry a lookup cannot extract (version needed 29) fails every later lookup of a solid
// archive, but only itself in a plain one; a broken block chain ends the pass with what came
// before it.
TEST(ArchiveOnePass, UnextractableEntriesAndBrokenChains) {
  Entry old = Stored("old", {'o'});
  old.version = 29;
  const std::vector<Entry> entries = {Stored("a", {'a'}), old, Stored("b", {'b'})};
  for (uint16_t mainFlags : {0x0000, 0x0008}) {
    const Bytes archive = BuildArchive(entries, mainFlags);
    const std::vector<Outcome> pass = OnePass(archive);
    ASSERT_EQ(pass.size(), 3u);
    EXPECT_EQ(pass, EachLookup(archive, 3));
    EXPECT_EQ(TestPass(archive), Counts(pass));
    EXPECT_EQ(pass[2].ok, mainFlags == 0);
  }

  Bytes broken = BuildArchive({Stored("a", {'a'}), Stored("b", {'b'})});
  const size_t second = 7 + 13 + 32 + 1 + 1;
  broken[second + 5] = 3;  // a header size below 7
  broken[second + 6] = 0;
  int complete = 1;
  const std::vector<Outcome> pass = OnePass(broken, &complete);
  EXPECT_EQ(complete, 0);
  ASSERT_EQ(pass.size(), 1u);
  EXPECT_TRUE(pass[0].ok);
}
