// The archive around the streams (headers as extractors check them, flags, refusals) and the
// packer's choices: stored or packed, audio or LZ, new tables or the old ones, solid or not.
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/archive_tool.h"
#include "rarpack/rarpack.h"
#include "test_data.h"

namespace {

using namespace zelk4::rarpack;
using namespace zelk4::rarpack_test;

void Collect(const ArchiveEntryInfo& e, void* user) { static_cast<std::vector<ArchiveEntryInfo>*>(user)->push_back(e); }

std::vector<ArchiveEntryInfo> List(const Bytes& archive) {
  const std::string path = "rarpack_list_test.rar";
  FILE* f = std::fopen(path.c_str(), "wb");
  EXPECT_NE(f, nullptr);
  std::fwrite(archive.data(), 1, archive.size(), f);
  std::fclose(f);
  std::vector<ArchiveEntryInfo> entries;
  EXPECT_TRUE(ArchiveListEntries(path.c_str(), Collect, &entries, nullptr));
  std::remove(path.c_str());
  return entries;
}

TEST(RarpackArchive, AnEmptyArchiveIsTheWellKnownMarkerMainHeaderAndEndBlock) {
  const PackResult r = PackArchive({}, PackOptions{});
  ASSERT_TRUE(r.ok);
  // The header CRCs are the ones every RAR 2.x and later archiver writes for these headers.
  const Bytes expected = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00,                          // marker
                          0xCF, 0x90, 0x73, 0x00, 0x00, 0x0D, 0x00, 0, 0, 0, 0, 0, 0,        // main header
                          0xC4, 0x3D, 0x7B, 0x00, 0x40, 0x07, 0x00};                         // end block
  EXPECT_EQ(r.archive, expected);
}

TEST(RarpackArchive, EntryHeadersCarryWhatExtractorsNeed) {
  const Bytes text = Text(20000, 1), noise = Noise(3000, 2);
  PackOptions o;
  o.hostOs = 2;
  const std::vector<PackFile> files = {{"graphics/loading.png", text, 0x2AC16000, 0x21},
                                       {"noise.bin", noise, 0, 0x20},
                                       {"empty.txt", {}, 0, 0x20}};
  const std::vector<ArchiveEntryInfo> plain = List(PackArchive(files, o).archive);
  ASSERT_EQ(plain.size(), 3u);
  EXPECT_STREQ(plain[0].name, "graphics\\loading.png");  // names with backslashes
  EXPECT_EQ(plain[0].method, 0x33);
  EXPECT_EQ(plain[0].version, 20);
  EXPECT_EQ(plain[0].flags, 0x8080);  // data follow; 1 MiB window
  EXPECT_EQ(plain[0].hostOs, 2);
  EXPECT_EQ(plain[0].fileTime, 0x2AC16000u);
  EXPECT_EQ(plain[0].attributes, 0x21u);
  EXPECT_EQ(plain[0].unpackedSize, 20000u);
  EXPECT_LT(plain[0].packedSize, 20000u / 3);
  // Noise does not pack: stored as it is. So is an empty file.
  EXPECT_EQ(plain[1].method, 0x30);
  EXPECT_EQ(plain[1].packedSize, 3000u);
  EXPECT_EQ(plain[2].method, 0x30);
  EXPECT_EQ(plain[2].packedSize, 0u);

  // Solid: everything after the first compressed entry continues the run, empty ones included,
  // and nothing is stored for being larger.
  o.solid = true;
  o.level = 5;
  const std::vector<PackFile> solidFiles = {{"empty-first.txt", {}}, files[0], files[1], files[2]};
  const std::vector<ArchiveEntryInfo> solid = List(PackArchive(solidFiles, o).archive);
  ASSERT_EQ(solid.size(), 4u);
  EXPECT_EQ(solid[0].flags & 0x10, 0);
  EXPECT_EQ(solid[1].flags & 0x10, 0);
  EXPECT_EQ(solid[1].method, 0x35);
  EXPECT_EQ(solid[2].flags & 0x10, 0x10);
  EXPECT_EQ(solid[2].method, 0x35);
  EXPECT_EQ(solid[3].flags & 0x10, 0x10);
  EXPECT_EQ(solid[3].method, 0x30);

  o.level = 0;
  for (const ArchiveEntryInfo& e : List(PackArchive(files, o).archive)) EXPECT_EQ(e.method, 0x30) << e.name;
}

TEST(RarpackArchive, RefusesWhatTheReaderCouldNotTake) {
  const Bytes data = Text(10, 1);
  EXPECT_FALSE(PackArchive({{"", data}}, PackOptions{}).ok);
  EXPECT_FALSE(PackArchive({{std::string(260, 'a'), data}}, PackOptions{}).ok);
  EXPECT_TRUE(PackArchive({{std::string(259, 'a'), data}}, PackOptions{}).ok);
  PackOptions bad;
  bad.level = 6;
  const PackResult r = PackArchive({{"a", data}}, bad);
  EXPECT_FALSE(r.ok);
  EXPECT_FALSE(r.error.empty());
  EXPECT_TRUE(r.archive.empty());
}

// Names beyond ASCII are stored as '?' placeholders plus their Unicode form, whatever mix of
// scripts they hold, and read back as the same UTF-8; the placeholder name stays what lookups
// compare. One whose stored form would pass 259 bytes is refused.
TEST(RarpackArchive, NamesBeyondAsciiComeBackWhole) {
  const Bytes data = Text(100, 1);
  const std::vector<std::string> names = {
      "plain.txt",
      "\xC3\x84rger \xC3\xBC.txt",                                      // Latin-1 only
      "\xD0\xBF\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0/\xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB",  // Cyrillic folder/file
      "mix \xE2\x98\xBA \xD1\x8F \xC3\xA9 \xF0\x9D\x84\x9E " + std::string(200, 'a') + ".bin",  // four kinds, long run
  };
  std::vector<PackFile> files;
  for (const std::string& n : names) files.push_back({n, data});
  const std::vector<ArchiveEntryInfo> entries = List(PackArchive(files, PackOptions{}).archive);
  ASSERT_EQ(entries.size(), names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    std::string expected = names[i];
    for (char& c : expected)
      if (c == '/') c = '\\';
    EXPECT_EQ(entries[i].utf8Name, expected);
    EXPECT_TRUE(entries[i].nameIsExact);
    EXPECT_EQ((entries[i].flags & 0x0200) != 0, i > 0);
  }
  EXPECT_STREQ(entries[2].name, "?????\\????");
  std::string wide;
  for (int i = 0; i < 100; ++i) wide += i % 2 ? "\xD1\x8F" : "\xE2\x98\xBA";  // whole units, two high bytes
  EXPECT_FALSE(PackArchive({{wide, data}}, PackOptions{}).ok);
  EXPECT_TRUE(PackArchive({{wide.substr(0, 120), data}}, PackOptions{}).ok);
}

TEST(RarpackArchive, DosTimesAreLocalTimeInTwoSecondSteps) {
  const char* old = std::getenv("TZ");
  const std::string kept = old ? old : "";
  setenv("TZ", "UTC", 1);
  tzset();
  EXPECT_EQ(DosTimeFromUnix(991396805), (((2001u - 1980) << 9 | 6 << 5 | 1) << 16) | (12 << 11) | 2);
  EXPECT_EQ(DosTimeFromUnix(0), (1u << 5 | 1u) << 16);  // before 1980: its first day
  if (old) setenv("TZ", kept.c_str(), 1); else unsetenv("TZ");
  tzset();
}

StreamStats Pack(const Bytes& data, StreamOptions o, size_t* size) {
  StreamStats st;
  o.stats = &st;
  *size = EncodeStream(data, o).size();
  return st;
}

TEST(RarpackChoices, AudioModeWhereItPacksSmaller) {
  for (const Bytes& wav : {Wav(20000, 8, 1, 1), Wav(10000, 16, 2, 2)}) {
    StreamOptions lz, automatic, forced;
    lz.audio = AudioChoice::kNever;
    forced.forceAudioChannels = wav[32];  // the frame size in the header
    size_t lzSize, autoSize, forcedSize;
    Pack(wav, lz, &lzSize);
    const StreamStats st = Pack(wav, automatic, &autoSize);
    Pack(wav, forced, &forcedSize);
    EXPECT_LT(autoSize, lzSize * 3 / 4);
    EXPECT_LE(autoSize, forcedSize);
    EXPECT_GE(st.audioSymbols, wav.size() - 44);
  }
  // Sound of white noise packs no better in audio mode: the choice stays with LZ or close to it.
  Bytes hiss = Wav(20000, 8, 1, 3);
  const Bytes noise = Noise(20000, 4);
  std::copy(noise.begin(), noise.end(), hiss.begin() + 44);
  size_t hissAuto, hissLZ;
  StreamOptions lz;
  lz.audio = AudioChoice::kNever;
  Pack(hiss, StreamOptions{}, &hissAuto);
  Pack(hiss, lz, &hissLZ);
  EXPECT_LE(hissAuto, hissLZ);
  size_t textSize;
  EXPECT_EQ(Pack(Text(20000, 5), StreamOptions{}, &textSize).audioSymbols, 0u);
  // Text around the sound stays with LZ, the sound alone goes to audio mode: one stream, both.
  const Bytes tagged = WavWithText(15000, 16, 1, 7, 6001);
  size_t taggedSize;
  const StreamStats mixed = Pack(tagged, StreamOptions{}, &taggedSize);
  EXPECT_EQ(mixed.audioSymbols, 30000u);
  EXPECT_GT(mixed.mainSymbols[' '], 0u);
  EXPECT_EQ(mixed.tableReads, 3u);
}

TEST(RarpackChoices, NewTablesWhenTheStatisticsChangeAndNotOtherwise) {
  StreamOptions o;
  o.blockSymbols = 4000;
  size_t size;
  // Noise throughout: 25 blocks whose statistics hardly differ; most keep the tables in force.
  const StreamStats same = Pack(Noise(100000, 6), o, &size);
  // Noise, text, noise: the text and the return to noise each want their own tables.
  Bytes changing = Noise(50000, 7);
  const Bytes text = Text(50000, 8), more = Noise(50000, 9);
  changing.insert(changing.end(), text.begin(), text.end());
  changing.insert(changing.end(), more.begin(), more.end());
  const StreamStats changes = Pack(changing, o, &size);
  EXPECT_LT(same.tableReads, 100000u / 4000 / 2);
  EXPECT_GT(changes.tableReads, same.tableReads + 2);
}

TEST(RarpackChoices, HigherLevelsPackSmallerAndSolidRunsShareTheirWindow) {
  const Bytes text = Text(100000, 10);
  size_t fast, best;
  StreamOptions o;
  o.level = 1;
  Pack(text, o, &fast);
  o.level = 5;
  Pack(text, o, &best);
  EXPECT_LT(best, fast);

  // A second copy of an entry costs almost nothing in a solid archive.
  const Bytes data = Records(100000, 11);
  PackOptions plain, solid;
  solid.solid = true;
  const PackResult twice = PackArchive({{"a", data}, {"b", data}}, plain);
  const PackResult shared = PackArchive({{"a", data}, {"b", data}}, solid);
  EXPECT_LT(shared.entries[1].packedSize, twice.entries[1].packedSize / 50);
}

// Entries packed side by side land in their own places: the same archive whatever the thread
// count, with more entries than threads, of uneven sizes, empty and stored ones among them.
TEST(RarpackChoices, ThreadCountDoesNotChangeTheArchive) {
  std::vector<Bytes> contents;
  std::vector<std::string> names;
  for (uint32_t i = 0; i < 9; ++i) {
    contents.push_back(Text(3000 + 7000 * (i % 4), 20 + i));
    names.push_back("text" + std::to_string(i));
    if (i % 3 == 0) {
      contents.push_back(Noise(500, 30 + i));
      names.push_back("noise" + std::to_string(i));
    }
  }
  contents.push_back({});
  names.push_back("empty");
  std::vector<PackFile> files;
  for (size_t i = 0; i < contents.size(); ++i) files.push_back({names[i], contents[i]});
  PackOptions one;
  one.threads = 1;
  const PackResult serial = PackArchive(files, one);
  ASSERT_TRUE(serial.ok);
  for (unsigned threads : {2u, 3u, 16u}) {
    PackOptions many;
    many.threads = threads;
    const PackResult r = PackArchive(files, many);
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(r.archive == serial.archive) << threads << " threads";
  }
  EXPECT_EQ(List(serial.archive).size(), files.size());
}

}  // namespace
