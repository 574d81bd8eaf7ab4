// Test helpers for files: the outside corpus beside the project, and a folder for what tests
// write for a person to look at (pictures of failed comparisons, say).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace zelk4::test {

// The corpus folder (../shared/corpus seen from the project root). May not exist.
std::filesystem::path CorpusDir();

// CorpusDir() / sub, or an empty path when that folder is absent.
std::filesystem::path CorpusPath(const std::string& sub);

// A folder under the build tree where tests may write files; created on first use.
std::filesystem::path TestOutputDir();

// Whole file as bytes; an empty vector when it cannot be read.
std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path);

// Writes bytes to a file, replacing it; false on failure.
bool WriteFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

// The rows of a corpus folder's expected.tsv: each row's tab-separated fields (empty ones kept);
// blank lines and lines starting with '#' are skipped. No rows when the file cannot be read.
std::vector<std::vector<std::string>> ReadExpectedTable(const std::filesystem::path& tsv);

// A row of a picture folder's table: file, width, height, and the largest per-channel difference
// allowed (-1 where the table gives none: "-", a picture that need only decode).
struct ExpectedPicture {
  std::string file;
  uint32_t width = 0;
  uint32_t height = 0;
  int tolerance = -1;
};
std::vector<ExpectedPicture> ReadExpectedPictures(const std::filesystem::path& folder);

}  // namespace zelk4::test

// Skips the current test, with a message, when a corpus folder is absent.
#define ZELK4_REQUIRE_CORPUS(sub)                                                         \
  do {                                                                                    \
    if (::zelk4::test::CorpusPath(sub).empty()) {                                         \
      GTEST_SKIP() << "outside corpus folder '" << (sub) << "' is absent under "          \
                   << ::zelk4::test::CorpusDir().string();                                \
    }                                                                                     \
  } while (0)
