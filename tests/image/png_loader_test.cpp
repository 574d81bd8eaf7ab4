// The PNG loader's choices for the cases PngSuite does not settle, on handcrafted files.
#include <gtest/gtest.h>

#include "image_test_support.h"

namespace zelk4::test {
namespace {

TEST(PngLoader, OneBitGreyIsUnpackedToBlackAndWhite) {
  // 10x1: bits 1010 0000 11 -> filter byte 0, then two bytes.
  const Decoded d = Decode(DecodePngImage, MakePng(10, 1, 1, 0, {0, 0xA0, 0xC0}));
  ASSERT_TRUE(d.ok);
  const uint32_t W = 0xFFFFFFFFu, K = 0xFF000000u;
  EXPECT_EQ(d.Words(), (std::vector<uint32_t>{W, K, W, K, K, K, K, K, W, W}));
}

TEST(PngLoader, LowDepthGreyWithTransparencyStaysOpaqueGrey) {
  // 2-bit grey, samples 0 1 2 3, with a tRNS naming sample 1 transparent: no alpha comes out.
  const Decoded d = Decode(DecodePngImage, MakePng(4, 1, 2, 0, {0, 0x1B}, {{"tRNS", {0, 1}}}));
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.Words(), (std::vector<uint32_t>{0xFF000000u, 0xFF555555u, 0xFFAAAAAAu, 0xFFFFFFFFu}));
}

TEST(PngLoader, PaletteIndexPastTheEndIsOpaqueBlackAndTransparencyIsIgnored) {
  // Two entries; indices 0, 1, 5. Entry 0 is marked fully transparent.
  const Decoded d = Decode(DecodePngImage, MakePng(3, 1, 8, 3, {0, 0, 1, 5},
                                                   {{"PLTE", {10, 20, 30, 40, 50, 60}}, {"tRNS", {0}}}));
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.Words(), (std::vector<uint32_t>{0xFF0A141Eu, 0xFF28323Cu, 0xFF000000u}));
}

TEST(PngLoader, RgbaKeepsAlphaAndGreyAlphaDropsIt) {
  const Decoded rgba = Decode(DecodePngImage, MakePng(1, 1, 8, 6, {0, 1, 2, 3, 4}));
  ASSERT_TRUE(rgba.ok);
  EXPECT_EQ(rgba.At(0, 0), 0x04010203u);
  const Decoded greyAlpha = Decode(DecodePngImage, MakePng(1, 1, 8, 4, {0, 0x80, 0x00}));
  ASSERT_TRUE(greyAlpha.ok);
  EXPECT_EQ(greyAlpha.At(0, 0), 0xFF808080u);
}

TEST(PngLoader, NotASignatureIsRefusedQuietly) {
  auto png = MakePng(1, 1, 8, 0, {0, 0});
  png[1] = 'p';
  EXPECT_FALSE(Decode(DecodePngImage, png).ok);
}

}  // namespace
}  // namespace zelk4::test
