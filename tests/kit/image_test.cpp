// The kit's pictures read back by the engine's decoders: exactly what was drawn, in each format's
// own way (24-bit TGA and PCX come out with red and blue exchanged, PKM palettes lose their low
// two bits), and overlays whose alpha splits cleanly at the demo's alpha-test reference.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>

#include "image/image.h"
#include "kit_files.h"

namespace zelk4::kit {
namespace {

struct Decoded {
  uint32_t width = 0, height = 0;
  std::unique_ptr<uint32_t[]> pixels;
};

using Decoder = bool (*)(const uint8_t*, size_t, uint32_t*, uint32_t*, uint32_t**);

Decoded Decode(Decoder decode, const Bytes& file) {
  Decoded d;
  uint32_t* pixels = nullptr;
  EXPECT_TRUE(decode(file.data(), file.size(), &d.width, &d.height, &pixels));
  d.pixels.reset(pixels);
  return d;
}

uint32_t SwapRedBlue(uint32_t p) { return (p & 0xFF00FF00u) | (p >> 16 & 0xFF) | (p & 0xFF) << 16; }

void ExpectPixels(const Decoded& d, int width, int height, const std::function<uint32_t(size_t)>& expected,
                  const char* what) {
  ASSERT_EQ(d.width, uint32_t(width)) << what;
  ASSERT_EQ(d.height, uint32_t(height)) << what;
  size_t wrong = 0;
  for (size_t i = 0; i < size_t(width) * height; ++i) wrong += d.pixels[i] != expected(i);
  EXPECT_EQ(wrong, 0u) << what;
}

TEST(KitImages, LosslessFormatsDecodeToWhatWasDrawn) {
  const Picture paint = PaintTexture();
  ExpectPixels(Decode(DecodeImageFile, test::KitFile("graphics\\paint.png")), paint.width, paint.height,
               [&](size_t i) { return paint.pixels[i]; }, "paint.png");
  const Picture particle = ParticlePicture();
  ExpectPixels(Decode(DecodePngImage, test::KitFile("graphics\\particle.png")), particle.width, particle.height,
               [&](size_t i) { return particle.pixels[i]; }, "particle.png with its alpha");

  const Picture tyre = TyreTexture();
  ExpectPixels(Decode(DecodeImageFile, test::KitFile("graphics\\tyre.tga")), tyre.width, tyre.height,
               [&](size_t i) { return SwapRedBlue(tyre.pixels[i]); }, "24-bit tyre.tga");
  const Picture chrome = ChromeTexture();
  ExpectPixels(Decode(DecodeImageFile, test::KitFile("graphics\\chrome.tga")), chrome.width, chrome.height,
               [&](size_t i) { return chrome.pixels[i] | 0xFF000000u; }, "32-bit chrome.tga");

  const IndexedPicture floor = FloorTexture();
  ExpectPixels(Decode(DecodeImageFile, test::KitFile("graphics\\floor.pcx")), floor.width, floor.height,
               [&](size_t i) {
                 const Rgb c = floor.palette[floor.indices[i]];
                 return 0xFF000000u | uint32_t(c.b) << 16 | uint32_t(c.g) << 8 | c.r;
               }, "floor.pcx");

  const IndexedPicture stone = StoneTexture();
  ExpectPixels(Decode(DecodeImageFile, test::KitFile("graphics\\stone.pkm")), stone.width, stone.height,
               [&](size_t i) {
                 const Rgb c = stone.palette[stone.indices[i]];
                 return 0xFF000000u | uint32_t(c.r >> 2 << 2) << 16 | uint32_t(c.g >> 2 << 2) << 8 | (c.b >> 2 << 2);
               }, "stone.pkm");
}

TEST(KitImages, JpegTextureComesThroughTheLastLoaderCloseToTheDrawing) {
  const Picture glass = GlassTexture();
  const Decoded d = Decode(DecodeImageFile, test::KitFile("graphics\\glass.jpg"));
  ASSERT_EQ(d.width, uint32_t(glass.width));
  ASSERT_EQ(d.height, uint32_t(glass.height));
  double error = 0;
  for (size_t i = 0; i < glass.pixels.size(); ++i) {
    EXPECT_EQ(d.pixels[i] >> 24, 0xFFu);
    for (int shift : {0, 8, 16}) {
      error += std::abs(int(d.pixels[i] >> shift & 0xFF) - int(glass.pixels[i] >> shift & 0xFF));
    }
  }
  EXPECT_LT(error / (glass.pixels.size() * 3), 3.0);
}

TEST(KitImages, OverlaysAreSolidOrSoftAroundTheAlphaTestAndTheLoadingScreenIsOpaque) {
  for (int i = 1; i <= 4; ++i) {
    const std::string name = "graphics\\overlay0" + std::to_string(i) + ".png";
    const Decoded d = Decode(DecodePngImage, test::KitFile(name));
    ASSERT_EQ(d.width, 640u);
    ASSERT_EQ(d.height, 480u);
    size_t solid = 0, soft = 0, clear = 0;
    for (size_t k = 0; k < 640 * 480; ++k) {
      const uint32_t a = d.pixels[k] >> 24;
      if (a >= 200) ++solid;
      else if (a > 0) ++soft;
      else ++clear;
    }
    EXPECT_GT(solid, 2000u) << name << ": too little survives the alpha test";
    EXPECT_GT(soft, 2000u) << name << ": no soft edges";
    EXPECT_GT(clear, 640u * 480u / 2) << name << ": the scene must show through";
  }
  const Decoded loading = Decode(DecodePngImage, test::KitFile("graphics\\loading.png"));
  ASSERT_EQ(loading.width, 640u);
  ASSERT_EQ(loading.height, 480u);
  for (size_t k = 0; k < 640 * 480; ++k) ASSERT_EQ(loading.pixels[k] >> 24, 0xFFu);
}

}  // namespace
}  // namespace zelk4::kit
