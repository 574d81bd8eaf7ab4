// The archive walk over small archives built here: markers, the block chain and its failures,
// the name rule, stored and encrypted entries, and the bounds on header values.
#include <cstring>
#include <filesystem>

#include "archive/crc32.h"
#include "archive/rar20_crypt.h"
#include "archive/rar_test_writer.h"
#include "support/corpus.h"

using namespace zelk4::archive_test;

namespace {

const Bytes kHello = {'h', 'e', 'l', 'l', 'o'};

Entry Garbage(const std::string& name) {
  Entry e = Compressed(name, Noise(64, 7), Noise(100, 8));
  e.version = 29;  // not extractable: reading it would fail the lookup
  e.crc ^= 1;
  return e;
}

}  // namespace

TEST(ArchiveWalk, StoredEntriesIncludingZeroLength) {
  const Bytes archive = BuildArchive({Stored("empty.bin", {}), Stored("graphics\\loading.png", kHello)});
  const Lookup empty = GetFromMemory(archive, "empty.bin");
  ASSERT_TRUE(empty.ok);
  EXPECT_EQ(empty.size, 0u);
  const Lookup hello = GetFromMemory(archive, "graphics\\loading.png");
  ASSERT_TRUE(hello.ok);
  EXPECT_EQ(hello.data, kHello);
}

TEST(ArchiveWalk, NameRuleIgnoresCaseAndSeparatorKind) {
  const Bytes archive = BuildArchive({Stored("graphics\\Loading.png", kHello)});
  for (const char* name : {"graphics\\loading.png", "GRAPHICS/LOADING.PNG", "graphics_loading.png", "Graphics/loading.png"})
    EXPECT_TRUE(GetFromMemory(archive, name).ok) << name;
  for (const char* name : {"graphics\\loading.pn", "graphics\\loading.png2", "loading.png", "graphics-loading.png", ""}) {
    const Lookup r = GetFromMemory(archive, name);
    EXPECT_FALSE(r.ok) << name;
    EXPECT_TRUE(r.nullOnFailure) << name;
  }
}

TEST(ArchiveWalk, FirstOfTwoEqualNamesWins) {
  const Bytes archive = BuildArchive({Stored("a.txt", {'1'}), Stored("A.TXT", {'2'})});
  EXPECT_EQ(GetFromMemory(archive, "a.txt").data, Bytes{'1'});
}

// A non-solid walk jumps from header to header: entries before the wanted one are never read,
// so even unreadable ones do not matter. A solid walk extracts them and fails on them.
TEST(ArchiveWalk, EarlierEntriesAreReadOnlyInSolidArchives) {
  const std::vector<Entry> entries = {Garbage("one"), Garbage("two"), Stored("three", kHello)};
  EXPECT_EQ(GetFromMemory(BuildArchive(entries), "three").data, kHello);
  EXPECT_FALSE(GetFromMemory(BuildArchive(entries, 0x0008), "three").ok);
}

TEST(ArchiveWalk, VersionNeededOutside13To20Fails) {
  for (uint8_t version : {12, 13, 15, 20, 21, 29}) {
    Entry e = Stored("f", kHello);
    e.version = version;
    EXPECT_EQ(GetFromMemory(BuildArchive({e}), "f").ok, version >= 13 && version <= 20) << int(version);
  }
}

TEST(ArchiveWalk, LongNames) {
  const std::string longName(300, 'n');
  const Bytes archive = BuildArchive({Stored(longName, kHello), Stored("after", {'x'})});
  // A wanted name too long for the buffer is refused, never cut into a match.
  EXPECT_FALSE(GetFromMemory(archive, longName).ok);
  // The stored name is read only up to 259 bytes; the rest counts as data, so the CRC fails.
  EXPECT_FALSE(GetFromMemory(archive, longName.substr(0, 259)).ok);
  // The block chain itself is intact.
  EXPECT_EQ(GetFromMemory(archive, "after").data, Bytes{'x'});
}

TEST(ArchiveWalk, MarkersAndMainHeader) {
  Bytes archive = BuildArchive({Stored("f", kHello)});
  EXPECT_TRUE(GetFromMemory(archive, "f").ok);
  Bytes zapfol = archive;
  std::memcpy(zapfol.data(), "Zapfol!", 7);
  EXPECT_TRUE(GetFromMemory(zapfol, "f").ok);
  Bytes old = archive;
  std::memcpy(old.data(), "RE~^xxx", 7);  // neither marker (an old RAR one among others)
  EXPECT_FALSE(GetFromMemory(old, "f").ok);
  EXPECT_FALSE(GetFromMemory(Bytes(archive.begin(), archive.begin() + 6), "f").ok);
  EXPECT_FALSE(GetFromMemory(Bytes(archive.begin(), archive.begin() + 19), "f").ok);
  // A longer main header is skipped by its size.
  Bytes longer = archive;
  longer[12] = 17;
  longer.insert(longer.begin() + 20, 4, uint8_t{0});
  EXPECT_TRUE(GetFromMemory(longer, "f").ok);
}

TEST(ArchiveWalk, BlockChainFailuresAndSkippedBlocks) {
  const Bytes entry = BuildArchive({Stored("f", kHello)});
  const Bytes head(entry.begin(), entry.begin() + 20);
  const Bytes rest(entry.begin() + 20, entry.end());
  auto withBlockBefore = [&](Bytes block) {
    Bytes b = head;
    b.insert(b.end(), block.begin(), block.end());
    b.insert(b.end(), rest.begin(), rest.end());
    return b;
  };
  // A comment-like block with data (type 0x75, flag 0x8000, 4 data bytes) is skipped.
  Bytes comment = {0, 0, 0x75, 0x00, 0x80, 11, 0, 4, 0, 0, 0, 'a', 'b', 'c', 'd'};
  EXPECT_TRUE(GetFromMemory(withBlockBefore(comment), "f").ok);
  // Type 0x77 before the wanted entry ends the walk with a failure.
  Bytes old = {0, 0, 0x77, 0x00, 0x00, 7, 0};
  EXPECT_FALSE(GetFromMemory(withBlockBefore(old), "f").ok);
  // A header size below 7 cannot lead anywhere.
  Bytes tiny = {0, 0, 0x75, 0x00, 0x00, 6, 0};
  EXPECT_FALSE(GetFromMemory(withBlockBefore(tiny), "f").ok);
  // A header cut short by the end of the file is the end of the archive.
  EXPECT_FALSE(GetFromMemory(Bytes(entry.begin(), entry.begin() + 40), "f").ok);
  EXPECT_FALSE(GetFromMemory(BuildArchive({}), "f").ok);
}

// Header values are hostile: sizes no entry of this file could have fail before any allocation.
TEST(ArchiveWalk, ImpossibleUnpackedSizesFailCleanly) {
  Entry stored = Stored("s", kHello);
  stored.unpackedSize = 0xFFFFFFF0u;
  EXPECT_FALSE(GetFromMemory(BuildArchive({stored}), "s").ok);
  Entry packed = Compressed("c", Noise(20, 1), kHello);
  packed.unpackedSize = 0xC0000000u;
  EXPECT_FALSE(GetFromMemory(BuildArchive({packed}), "c").ok);
  Entry pastEnd = Stored("p", kHello);
  Bytes archive = BuildArchive({pastEnd}, 0, false);
  archive.resize(archive.size() - 2);  // the data run past the end of the file
  EXPECT_FALSE(GetFromMemory(archive, "p").ok);
}

// Encrypted stored entries are padded to whole 16-byte blocks: 87 bytes take 96.
TEST(ArchiveWalk, EncryptedStoredEntryIsPaddedToBlocks) {
  const Bytes plain = Noise(87, 3);
  Bytes padded = plain;
  padded.resize(96, 0);
  uint32_t crcTable[256];
  Crc32BuildTable(crcTable);
  Rar20Cipher cipher;
  Rar20SetPassword(&cipher, crcTable, "secret", 6);
  for (size_t i = 0; i < padded.size(); i += 16) Rar20EncryptBlock(&cipher, crcTable, padded.data() + i);

  Entry e = Stored("locked", plain);
  e.packed = padded;
  e.flags |= 0x0004;
  const Bytes archive = BuildArchive({e});
  const Lookup r = GetFromMemory(archive, "locked", "secret");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.data, plain);
  EXPECT_FALSE(GetFromMemory(archive, "locked", "").ok);
  EXPECT_FALSE(GetFromMemory(archive, "locked", "Secret").ok);
  EXPECT_FALSE(GetFromMemory(archive, "locked", nullptr).ok);
  // An entry of the older scheme (version below 20) is read as it is, password or not.
  Entry older = Stored("old", plain);
  older.flags |= 0x0004;
  older.version = 15;
  EXPECT_EQ(GetFromMemory(BuildArchive({older}), "old", "secret").data, plain);
}

// The callers spell the archive "Data.rar" and "data.rar"; both reach the same file.
TEST(ArchiveWalk, ArchiveFileNameCaseFallsBack) {
  const std::string path = WriteTempArchive("casefold/Data.rar", BuildArchive({Stored("f", kHello)}));
  const std::string folder = std::filesystem::path(path).parent_path().string();
  EXPECT_TRUE(Get(folder + "/Data.rar", "f").ok);
  EXPECT_TRUE(Get(folder + "/data.rar", "f").ok);
  EXPECT_TRUE(Get(folder + "/DATA.RAR", "f").ok);
  EXPECT_FALSE(Get(folder + "/data.ra", "f").ok);
  EXPECT_FALSE(Get(folder + "/missing/data.rar", "f").ok);
  EXPECT_FALSE(Get(std::string(300, 'x'), "f").ok);
}

TEST(ArchiveCrc, StandardCheckValueAndFastPathAgree) {
  const uint8_t check[] = "123456789";
  EXPECT_EQ(Crc32(check, 9), 0xCBF43926u);
  EXPECT_EQ(Crc32(check, 0), 0u);
  uint32_t table[256];
  Crc32BuildTable(table);
  const Bytes data = Noise(1000, 5);
  // Every size up to 300 meets each tail of the eight-byte and the 64/16-byte folding paths.
  std::vector<size_t> sizes = {999, 1000};
  for (size_t size = 0; size <= 300; ++size) sizes.push_back(size);
  for (size_t size : sizes) {
    const uint32_t slow = Crc32Update(table, 0xFFFFFFFFu, data.data(), size);
    EXPECT_EQ(Crc32UpdateFast(0xFFFFFFFFu, data.data(), size), slow) << size;
    // Unaligned starts take the same path.
    EXPECT_EQ(Crc32UpdateFast(0x12345678u, data.data() + 1, size ? size - 1 : 0),
              Crc32Update(table, 0x12345678u, data.data() + 1, size ? size - 1 : 0));
  }
}
