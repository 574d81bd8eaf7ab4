// Outside files with expected pixels: PngSuite through the PNG loader, the JPEG files through
// the JPEG loader, and TGA/PCX pictures, all through the buffer dispatcher.
#include <algorithm>

#include <gtest/gtest.h>

#include "image_test_support.h"
#include "support/corpus.h"

namespace zelk4::test {
namespace {

// Counts the files whose size or any pixel differs, naming each failure.
void ExpectFolderMatches(const std::string& folder, DecodeFunction decode,
                         std::string (*expectedName)(const std::string&), size_t expectedCount,
                         bool tgaUpsideDown = false) {
  const auto dir = CorpusPath(folder);
  const auto rows = ReadExpectedPictures(dir);
  size_t checked = 0;
  for (const auto& row : rows) {
    if (row.tolerance != 0) continue;
    const Decoded d = Decode(decode, ReadFileBytes(dir / row.file));
    ASSERT_TRUE(d.ok) << row.file;
    EXPECT_EQ(d.width, row.width) << row.file;
    EXPECT_EQ(d.height, row.height) << row.file;
    auto expected = WordsOf(ReadFileBytes(dir / "expected" / expectedName(row.file)));
    if (tgaUpsideDown && row.file.ends_with(".tga") && expected.size() == size_t{row.width} * row.height) {
      for (uint32_t y = 0; y < row.height / 2; ++y) {
        std::swap_ranges(expected.begin() + size_t{y} * row.width, expected.begin() + size_t{y + 1} * row.width,
                         expected.begin() + size_t{row.height - 1 - y} * row.width);
      }
    }
    const auto actual = d.Words();
    ASSERT_EQ(actual.size(), expected.size()) << row.file;
    size_t first = 0;
    while (first < actual.size() && actual[first] == expected[first]) ++first;
    EXPECT_EQ(first, actual.size()) << row.file << ": first difference at pixel " << first << std::hex
                                    << " got 0x" << (first < actual.size() ? actual[first] : 0) << " want 0x"
                                    << (first < actual.size() ? expected[first] : 0);
    ++checked;
  }
  EXPECT_EQ(checked, expectedCount);
}

std::string StemRgba(const std::string& file) {
  return std::filesystem::path(file).stem().string() + ".rgba";
}
std::string UnderscoreRgba(const std::string& file) {
  std::string name = file;
  name[name.rfind('.')] = '_';
  return name + ".rgba";
}

TEST(PngLoader, PngSuiteMatchesLibpngWithTheLoadersRequests) {
  ZELK4_REQUIRE_CORPUS("png");
  ExpectFolderMatches("png", DecodePngImage, StemRgba, 60);
}

TEST(JpegLoader, ColourAndGreyFilesMatchExactly) {
  ZELK4_REQUIRE_CORPUS("jpeg");
  ExpectFolderMatches("jpeg", DecodeJpegImage, StemRgba, 5);
}

TEST(JpegLoader, FourComponentFileComesOutOpaqueAndNotBlank) {
  ZELK4_REQUIRE_CORPUS("jpeg");
  const Decoded d = Decode(DecodeJpegImage, ReadFileBytes(CorpusPath("jpeg") / "cmyk.jpg"));
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.width, 227u);
  EXPECT_EQ(d.height, 149u);
  size_t coloured = 0;
  for (uint32_t p : d.Words()) {
    EXPECT_EQ(p >> 24, 0xFFu);
    coloured += (p & 0xFFFFFF) != 0;
  }
  EXPECT_GT(coloured, d.Words().size() / 2) << "CMYK should be converted, not filled black";
}

TEST(JpegLoader, GreyFileGivesEqualChannels) {
  ZELK4_REQUIRE_CORPUS("jpeg");
  const Decoded grey = Decode(DecodeJpegImage, ReadFileBytes(CorpusPath("jpeg") / "gray.jpg"));
  ASSERT_TRUE(grey.ok);
  for (uint32_t p : grey.Words()) ASSERT_EQ(p & 0xFFFFFF, (p & 0xFF) * 0x010101u);
}

TEST(JpegLoader, FileCutShortStillDecodesToOpaquePixels) {
  ZELK4_REQUIRE_CORPUS("jpeg");
  auto bytes = ReadFileBytes(CorpusPath("jpeg") / "testorig.jpg");
  bytes.resize(bytes.size() / 2);  // inside the entropy-coded data
  const Decoded d = Decode(DecodeJpegImage, bytes);
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.width, 227u);
  for (uint32_t p : d.Words()) ASSERT_EQ(p >> 24, 0xFFu);
}

// These TGA files hold their top row first although their descriptor names the bottom-left
// origin, and the expected pictures are upright. The loader always takes the first stored row
// as the bottom one, so it delivers them upside down: compared against the flipped pictures.
TEST(ImageDispatch, TgaAndPcxCorpusMatchesThroughTheDispatcher) {
  ZELK4_REQUIRE_CORPUS("tga-pcx");
  ExpectFolderMatches("tga-pcx", DecodeImageFile, UnderscoreRgba, 4, /*tgaUpsideDown=*/true);
}

TEST(ImageDispatch, EveryCorpusFormatReachesItsOwnDecoder) {
  ZELK4_REQUIRE_CORPUS("png");
  ZELK4_REQUIRE_CORPUS("jpeg");
  // A PNG and a JPEG through the dispatcher give what their own decoders give.
  const std::pair<std::filesystem::path, DecodeFunction> cases[] = {
      {CorpusPath("png") / "basn6a08.png", DecodePngImage}, {CorpusPath("jpeg") / "testorig.jpg", DecodeJpegImage}};
  for (const auto& [path, decode] : cases) {
    const auto bytes = ReadFileBytes(path);
    const Decoded viaDispatch = Decode(DecodeImageFile, bytes);
    const Decoded direct = Decode(decode, bytes);
    ASSERT_TRUE(viaDispatch.ok && direct.ok) << path;
    EXPECT_EQ(viaDispatch.Words(), direct.Words()) << path;
  }
}

}  // namespace
}  // namespace zelk4::test
