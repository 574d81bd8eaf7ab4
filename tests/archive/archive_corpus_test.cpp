// Every row of the outside corpus's expected.tsv through the engine's lookup: the exact bytes, or a
// clean failure where the table says FAIL.
#include <openssl/sha.h>

#include <filesystem>

#include "archive/archive_tool.h"
#include "archive/rar_test_writer.h"
#include "support/corpus.h"

using namespace zelk4::archive_test;

namespace {

std::string Sha256Hex(const Bytes& b) {
  unsigned char digest[SHA256_DIGEST_LENGTH];
  SHA256(b.data(), b.size(), digest);
  std::string hex;
  char two[3];
  for (unsigned char c : digest) {
    std::snprintf(two, sizeof two, "%02x", c);
    hex += two;
  }
  return hex;
}

}  // namespace

TEST(ArchiveCorpus, EveryExpectedRowPassesThroughTheLookup) {
  ZELK4_REQUIRE_CORPUS("rar");
  const auto dir = zelk4::test::CorpusPath("rar");
  ASSERT_TRUE(std::filesystem::exists(dir / "expected.tsv")) << "expected.tsv missing";
  int rows = 0;
  for (const std::vector<std::string>& f : zelk4::test::ReadExpectedTable(dir / "expected.tsv")) {
    ASSERT_GE(f.size(), 5u) << f[0];
    const std::string archive = (dir / f[0]).string();
    const char* password = f[2].empty() ? nullptr : f[2].c_str();
    const Lookup r = Get(archive, f[1], password);
    SCOPED_TRACE(f[0] + " / " + f[1] + " / password '" + f[2] + "'");
    if (f[3] == "FAIL") {
      EXPECT_FALSE(r.ok);
      EXPECT_TRUE(r.nullOnFailure);
    } else {
      ASSERT_TRUE(r.ok);
      EXPECT_EQ(std::to_string(r.size), f[4]);
      EXPECT_EQ(Sha256Hex(r.data), f[3]);
    }
    ++rows;
  }
  EXPECT_EQ(rows, 12);
}

// The malformed stream's match reaches before the first byte of a fresh window: it yields zeros,
// and the entry then fails its CRC. With the check off the decoded bytes can be seen.
TEST(ArchiveCorpus, MatchBeforeWindowStartDecodesToZeros) {
  ZELK4_REQUIRE_CORPUS("rar");
  const std::string archive = (zelk4::test::CorpusPath("rar") / "void-dist-v20.rar").string();
  EXPECT_FALSE(Get(archive, "void20").ok);
  ArchiveSetCrcCheck(0);
  const Lookup r = Get(archive, "void20");
  ArchiveSetCrcCheck(1);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.data, (Bytes{0x41, 0x41, 0x41, 0x00, 0x00, 0x00}));
}
