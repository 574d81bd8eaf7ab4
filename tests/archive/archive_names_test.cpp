// Entry names as people read them: the Unicode part of a name field in each of its code kinds,
// the fallbacks when it is malformed, OEM names through code page 437, and the real archive whose
// Cyrillic name first showed the problem.
#include <string>
#include <vector>

#include "archive/archive_tool.h"
#include "archive/rar_test_writer.h"
#include "support/corpus.h"

using namespace zelk4::archive_test;

namespace {

constexpr uint16_t kUnicode = 0x0200;

struct Name {
  std::string utf8;
  bool exact;
};

Name Read(const std::string& field, uint16_t flags) {
  char out[kArchiveUtf8NameMax];
  const bool exact = ArchiveNameToUtf8(reinterpret_cast<const uint8_t*>(field.data()), field.size(), flags, out,
                                       sizeof out);
  return {out, exact};
}

// An OEM name, its zero byte and a Unicode part.
std::string Field(const std::string& oem, const std::vector<uint8_t>& unicode) {
  return oem + std::string(1, '\0') + std::string(unicode.begin(), unicode.end());
}

}  // namespace

TEST(ArchiveNames, EveryCodeKindOfTheUnicodePart) {
  // High byte 0x04. Codes 1, 0, 2, 3 (a run with correction 0x10 over the OEM "01"), then 3 (a
  // plain run of the OEM ".t").
  const std::string field = Field("?A?01.t", {0x04, 0x4B, 0x42, 0x41, 0x3A, 0x26, 0x80, 0x10, 0xC0, 0x00});
  EXPECT_EQ(Read(field, kUnicode).utf8, "\xD1\x82" "A" "\xE2\x98\xBA" "\xD1\x80\xD1\x81" ".t");
  EXPECT_TRUE(Read(field, kUnicode).exact);
  // Without the flag the same field is just its OEM name.
  EXPECT_EQ(Read(field, 0).utf8, "?A?01.t");

  // A surrogate pair in two whole units becomes one four-byte character.
  EXPECT_EQ(Read(Field("??", {0x00, 0xA0, 0x34, 0xD8, 0x1E, 0xDD}), kUnicode).utf8, "\xF0\x9D\x84\x9E");
}

TEST(ArchiveNames, MalformedUnicodePartsFallBackToTheOemName) {
  const std::vector<std::vector<uint8_t>> bad = {
      {},                          // nothing after the zero byte
      {0x00},                      // a high byte and no codes
      {0x00, 0xC0, 0x05},          // a run of 7 over an OEM name of 2
      {0x00, 0x80, 0x41},          // a whole unit with one byte
      {0x00, 0xC0, 0x80},          // a corrected run without its correction
      {0x00, 0x00, 0x00},          // a zero unit
      {0x00, 0x80, 0x00, 0xD8},    // half a surrogate pair
  };
  for (const auto& unicode : bad) {
    const Name n = Read(Field("ab", unicode), kUnicode);
    EXPECT_EQ(n.utf8, "ab");
    EXPECT_FALSE(n.exact);
  }
}

TEST(ArchiveNames, OemNamesReadAsCodePage437AndBareUtf8) {
  EXPECT_EQ(Read("\x80x\xE1\xFF", 0).utf8, "\xC3\x87x\xC3\x9F\xC2\xA0");  // C-cedilla, sharp s, no-break space
  // With the flag but no zero byte, later archivers store UTF-8 as it is; bytes that are not
  // UTF-8 are an OEM name after all.
  EXPECT_EQ(Read("\xD1\x82.txt", kUnicode).utf8, "\xD1\x82.txt");
  const Name notUtf8 = Read("\xD1.txt", kUnicode);
  EXPECT_EQ(notUtf8.utf8, "\xE2\x95\xA4.txt");
  EXPECT_FALSE(notUtf8.exact);
  // A buffer too small for the name cuts it at a whole character.
  char small[4];
  ArchiveNameToUtf8(reinterpret_cast<const uint8_t*>("\x80\x80"), 2, 0, small, sizeof small);
  EXPECT_STREQ(small, "\xC3\x87");
}

TEST(ArchiveNames, CyrillicNameInTheCorpus) {
  ZELK4_REQUIRE_CORPUS("rar");
  const std::string archive = (zelk4::test::CorpusPath("rar") / "Rar2.rar").string();
  std::vector<ArchiveEntryInfo> entries;
  ASSERT_EQ(ArchiveListEntries(
                archive.c_str(),
                [](const ArchiveEntryInfo& e, void* user) { static_cast<std::vector<ArchiveEntryInfo>*>(user)->push_back(e); },
                &entries, nullptr),
            1);
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_STREQ(entries[2].utf8Name, "exe\\test.exe");
  EXPECT_STREQ(entries[4].name, "????.txt");  // what lookups compare
  EXPECT_STREQ(entries[4].utf8Name, "\xD1\x82\xD0\xB5\xD1\x81\xD1\x82.txt");
  EXPECT_TRUE(entries[4].nameIsExact);
}
