// TGA, PCX and PKM through tiny handcrafted files, each named after the rule it reaches.
#include <gtest/gtest.h>

#include "image_test_support.h"

namespace zelk4::test {
namespace {

// ---- TGA

TEST(TgaLoader, FirstStoredRowIsTheBottomRowWhateverTheDescriptorSays) {
  // 1x2, 24-bit: stored blue, green, red triples; red and blue come out exchanged.
  auto tga = MakeTga(2, 1, 2, 24, {0x01, 0x02, 0x03, 0x0A, 0x0B, 0x0C});
  tga[17] = 0x20;  // origin at the top: not honoured
  const Decoded d = Decode(DecodeTgaImage, tga);
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.At(0, 1), 0xFF010203u);
  EXPECT_EQ(d.At(0, 0), 0xFF0A0B0Cu);
}

TEST(TgaLoader, DepthDecidesTheSampleLayoutAndAlphaIsAlwaysOpaque) {
  const Decoded rgba = Decode(DecodeTgaImage, MakeTga(2, 1, 1, 32, {0x11, 0x22, 0x33, 0x00}));
  ASSERT_TRUE(rgba.ok);
  EXPECT_EQ(rgba.At(0, 0), 0xFF332211u);
  const Decoded greyInColourType = Decode(DecodeTgaImage, MakeTga(2, 2, 1, 8, {0x40, 0xFE}));
  ASSERT_TRUE(greyInColourType.ok);
  EXPECT_EQ(greyInColourType.At(0, 0), 0xFF404040u);
  EXPECT_EQ(greyInColourType.At(1, 0), 0xFFFEFEFEu);
}

TEST(TgaLoader, IdentificationFieldIsNotSkipped) {
  auto tga = MakeTga(3, 1, 1, 8, {0x77, 0x99});
  tga[0] = 1;  // one id byte, which the loader takes as the first pixel anyway
  const Decoded d = Decode(DecodeTgaImage, tga);
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.At(0, 0), 0xFF777777u);
}

TEST(TgaLoader, RefusesOtherFormatsAndImpossibleHeaders) {
  EXPECT_FALSE(Decode(DecodeTgaImage, MakeTga(1, 1, 1, 8, {0})).ok);   // colour-mapped
  EXPECT_FALSE(Decode(DecodeTgaImage, MakeTga(10, 1, 1, 8, {0})).ok);  // run-length
  EXPECT_FALSE(Decode(DecodeTgaImage, MakeTga(2, 1, 1, 16, {0, 0})).ok);
  auto mapped = MakeTga(2, 1, 1, 8, {0});
  mapped[1] = 1;
  EXPECT_FALSE(Decode(DecodeTgaImage, mapped).ok);
  EXPECT_FALSE(Decode(DecodeTgaImage, std::vector<uint8_t>(17, 0)).ok);
  // 65535 x 65535 x 4 overflows 32 bits; 4000 x 4000 is far more than 4 stored bytes describe.
  EXPECT_FALSE(Decode(DecodeTgaImage, MakeTga(2, 65535, 65535, 32, {1, 2, 3, 4})).ok);
  EXPECT_FALSE(Decode(DecodeTgaImage, MakeTga(2, 4000, 4000, 32, {1, 2, 3, 4})).ok);
}

TEST(TgaLoader, PixelDataCutShortLeaveTheRestOpaqueBlack) {
  // 2x2 grey with three of four pixels present, and half of a fourth 24-bit pixel elsewhere.
  const Decoded d = Decode(DecodeTgaImage, MakeTga(3, 2, 2, 8, {1, 2, 3}));
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.Words(), (std::vector<uint32_t>{0xFF030303u, 0xFF000000u, 0xFF010101u, 0xFF020202u}));
  const Decoded half = Decode(DecodeTgaImage, MakeTga(2, 1, 1, 24, {9, 9}));
  ASSERT_TRUE(half.ok);
  EXPECT_EQ(half.At(0, 0), 0xFF000000u);
}

// ---- PCX

TEST(PcxLoader, RunsAndLiteralsFormOneContinuousStreamAcrossRows) {
  // 3x2: a run of 4 crosses the row end, then two literals; a zero-length run gives nothing.
  const Decoded d = Decode(DecodePcxImage, MakePcx(3, 2, {0xC4, 7, 0xC0, 99, 5, 0x3F}));
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.width, 3u);
  EXPECT_EQ(d.height, 2u);
  EXPECT_EQ(d.Words(), (std::vector<uint32_t>{PcxColour(7), PcxColour(7), PcxColour(7), PcxColour(7),
                                              PcxColour(5), PcxColour(0x3F)}));
}

TEST(PcxLoader, RunPastThePictureIsCutAndShortStreamEndsOpaqueBlack) {
  const Decoded cut = Decode(DecodePcxImage, MakePcx(2, 1, {0xFF, 200}));
  ASSERT_TRUE(cut.ok);
  EXPECT_EQ(cut.Words(), (std::vector<uint32_t>{PcxColour(200), PcxColour(200)}));
  // The stream runs into the palette and the file's end before 70000 pixels are there.
  const Decoded shortStream = Decode(DecodePcxImage, MakePcx(700, 100, {0xC2, 1}));
  ASSERT_TRUE(shortStream.ok);
  EXPECT_EQ(shortStream.At(0, 0), PcxColour(1));
  EXPECT_EQ(shortStream.At(699, 99), 0xFF000000u);
}

TEST(PcxLoader, RefusesOtherFormatsAndImpossibleWindows) {
  for (size_t offset : {0, 1, 2, 3, 65}) {
    auto pcx = MakePcx(1, 1, {1});
    pcx[offset] ^= 0x40;
    EXPECT_FALSE(Decode(DecodePcxImage, pcx).ok) << "header byte " << offset;
  }
  auto inverted = MakePcx(1, 1, {1});
  PutLe16(inverted, 8, 1);  // x maximum before x minimum (3)
  EXPECT_FALSE(Decode(DecodePcxImage, inverted).ok);
  EXPECT_FALSE(Decode(DecodePcxImage, MakePcx(60000, 60000, {1})).ok);
  auto tooShort = MakePcx(1, 1, {});
  tooShort.pop_back();
  EXPECT_FALSE(Decode(DecodePcxImage, std::vector<uint8_t>(tooShort.begin(), tooShort.begin() + 895)).ok);
}

// ---- PKM

TEST(PkmLoader, WorkedExampleWithShortAndLongRuns) {
  // Short-run marker 01, long-run marker 02; long counts high byte first.
  const Decoded d = Decode(DecodePkmImage, MakePkm(1, 2, 309, 1, {}, {0x04, 0x03, 0x01, 0x05, 0x06, 0x03, 0x02, 0x00, 0x01, 0x2C}));
  ASSERT_TRUE(d.ok);
  ASSERT_EQ(d.Words().size(), 309u);
  std::vector<uint32_t> expected = {PkmColour(4), PkmColour(3)};
  expected.insert(expected.end(), 6, PkmColour(5));
  expected.push_back(PkmColour(3));
  expected.insert(expected.end(), 300, PkmColour(0));
  EXPECT_EQ(d.Words(), expected);
}

TEST(PkmLoader, TransparentIndexTakesAlphaZeroAndTheLastFieldCounts) {
  // Fields: an unrelated one (type 7, 2 bytes), transparent 9, then transparent 5.
  const std::vector<uint8_t> extensions = {7, 2, 0xAA, 0xBB, 2, 1, 9, 2, 1, 5};
  const Decoded d = Decode(DecodePkmImage, MakePkm(0xF0, 0xF1, 3, 1, extensions, {5, 9, 6}));
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.Words(), (std::vector<uint32_t>{PkmColour(5, 0), PkmColour(9), PkmColour(6)}));
}

TEST(PkmLoader, MarkerBytesAlwaysStartRunsAndEqualMarkersMeanShortRuns) {
  // With both markers 07, "07 03 02" is a short run (2 of colour 3), not a long one.
  const Decoded equal = Decode(DecodePkmImage, MakePkm(7, 7, 3, 1, {}, {7, 3, 2, 1}));
  ASSERT_TRUE(equal.ok);
  EXPECT_EQ(equal.Words(), (std::vector<uint32_t>{PkmColour(3), PkmColour(3), PkmColour(1)}));
  // Colour 7 itself can only come from a run; a zero-length run gives nothing.
  const Decoded viaRun = Decode(DecodePkmImage, MakePkm(7, 8, 2, 1, {}, {7, 4, 0, 7, 7, 1, 8, 2, 0, 0}));
  ASSERT_TRUE(viaRun.ok);
  EXPECT_EQ(viaRun.Words(), (std::vector<uint32_t>{PkmColour(7), 0u}));
}

TEST(PkmLoader, TruncatedStreamAndRunsPastTheEndStopCleanly) {
  // A short run missing its count: the stream ends, the rest stays 0.
  const Decoded cutRun = Decode(DecodePkmImage, MakePkm(1, 2, 3, 1, {}, {4, 1, 6}));
  ASSERT_TRUE(cutRun.ok);
  EXPECT_EQ(cutRun.Words(), (std::vector<uint32_t>{PkmColour(4), 0u, 0u}));
  // A long run of 65535 into a 2-pixel picture is cut at the picture's end.
  const Decoded longRun = Decode(DecodePkmImage, MakePkm(1, 2, 2, 1, {}, {2, 9, 0xFF, 0xFF, 3}));
  ASSERT_TRUE(longRun.ok);
  EXPECT_EQ(longRun.Words(), (std::vector<uint32_t>{PkmColour(9), PkmColour(9)}));
  // Extensions announced past the end of the file: no stream, no reads beyond the data.
  auto pastEnd = MakePkm(1, 2, 1, 1, {2, 1}, {});
  PutLe16(pastEnd, 778, 500);
  const Decoded noStream = Decode(DecodePkmImage, pastEnd);
  ASSERT_TRUE(noStream.ok);
  EXPECT_EQ(noStream.At(0, 0), 0u);
}

TEST(PkmLoader, RefusesOtherFormatsAndImpossibleSizes) {
  auto wrongMethod = MakePkm(1, 2, 1, 1, {}, {0});
  wrongMethod[3] = 1;
  EXPECT_FALSE(Decode(DecodePkmImage, wrongMethod).ok);
  auto wrongId = MakePkm(1, 2, 1, 1, {}, {0});
  wrongId[2] = 'X';
  EXPECT_FALSE(Decode(DecodePkmImage, wrongId).ok);
  EXPECT_FALSE(Decode(DecodePkmImage, std::vector<uint8_t>(779, 0)).ok);
  // 65535 x 65535 from an empty stream.
  EXPECT_FALSE(Decode(DecodePkmImage, MakePkm(1, 2, 65535, 65535, {}, {})).ok);
}

// ---- The dispatcher over bytes

TEST(ImageDispatch, FirstLoaderThatAcceptsWinsAndPaletteFormatsKeepTheirOrder) {
  // A PKM file is not a TGA (byte 1 is 'K') nor a PCX; it reaches the PKM loader.
  const Decoded pkm = Decode(DecodeImageFile, MakePkm(1, 2, 1, 1, {}, {9}));
  ASSERT_TRUE(pkm.ok);
  EXPECT_EQ(pkm.At(0, 0), PkmColour(9));
  const Decoded pcx = Decode(DecodeImageFile, MakePcx(1, 1, {9}));
  ASSERT_TRUE(pcx.ok);
  EXPECT_EQ(pcx.At(0, 0), PcxColour(9));
}

TEST(ImageDispatch, SetOpaqueAlphaTouchesOnlyTheAlphaByte) {
  uint32_t pixels[3] = {0x00123456u, 0x7F000000u, 0xFFFFFFFFu};
  SetOpaqueAlpha(pixels, 3, 1);
  EXPECT_EQ(pixels[0], 0xFF123456u);
  EXPECT_EQ(pixels[1], 0xFF000000u);
  EXPECT_EQ(pixels[2], 0xFFFFFFFFu);
  SetOpaqueAlpha(nullptr, 0, 0);
}

}  // namespace
}  // namespace zelk4::test
