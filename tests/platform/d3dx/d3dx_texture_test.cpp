// Textures from image files in memory: the corpus images arrive texel for texel, mip levels
// are box averages, and bytes that are absent or no image make the call fail.
#include <cstring>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "d3dx_device.h"
#include "support/corpus.h"

namespace {

using zelk4::test::Picture;
using D3DXTexture = zelk4::test::D3DXDevice;

uint32_t AlphaPlaneHash(const Picture& picture) {  // FNV-1a over the alpha bytes, row by row
  uint32_t hash = 0x811C9DC5u;
  for (uint32_t p : picture.pixels) hash = (hash ^ (p >> 24)) * 0x01000193u;
  return hash;
}

// The alpha planes of the corpus PNG files that carry transparency (an alpha channel or a tRNS
// chunk) as FNV-1a hashes, from an independent decoder: the corpus's pure-Python PNG reader with
// the format's transparency rules (16-bit alpha cut to its high byte, as every 16-bit sample is).
// ffmpeg gives the same planes, except for 1- and 4-bit grey, whose tRNS chunk it does not read.
// Every other file is opaque.
const std::map<std::string, uint32_t> kPngAlphaPlanes = {
    {"basn4a08.png", 0x9be42545u},
    {"basn4a16.png", 0x3ac03d85u},
    {"basn6a08.png", 0x9be42545u},
    {"basn6a16.png", 0x3ac03d85u},
    {"ftbbn0g01.png", 0x7330c0dcu},
    {"ftbbn0g02.png", 0x7330c0dcu},
    {"ftbbn0g04.png", 0xb1ac94c1u},
    {"ftbbn2c16.png", 0x1b207178u},
    {"ftbbn3p08.png", 0xa6f40ebfu},
    {"ftbgn2c16.png", 0x1b207178u},
    {"ftbgn3p08.png", 0xa6f40ebfu},
    {"ftbrn2c08.png", 0x1b207178u},
    {"ftbwn0g16.png", 0x1b207178u},
    {"ftbwn3p08.png", 0xa6f40ebfu},
    {"ftbyn3p08.png", 0xa6f40ebfu},
    {"ftp1n3p08.png", 0xa6f40ebfu},
    {"ibasn4a08.png", 0x9be42545u},
    {"ibasn4a16.png", 0x3ac03d85u},
    {"ibasn6a08.png", 0x9be42545u},
    {"ibasn6a16.png", 0x3ac03d85u},
    {"iftbbn0g01.png", 0x7330c0dcu},
    {"iftbbn0g02.png", 0x7330c0dcu},
    {"iftbbn0g04.png", 0xb1ac94c1u},
    {"iftbbn2c16.png", 0x1b207178u},
    {"iftbbn3p08.png", 0xa6f40ebfu},
    {"iftbgn2c16.png", 0x1b207178u},
    {"iftbgn3p08.png", 0xa6f40ebfu},
    {"iftbrn2c08.png", 0x1b207178u},
    {"iftbwn0g16.png", 0x1b207178u},
    {"iftbwn3p08.png", 0xa6f40ebfu},
    {"iftbyn3p08.png", 0xa6f40ebfu},
    {"iftp1n3p08.png", 0xa6f40ebfu}};

// The expected pictures are the engine's readers' (see the corpus README). D3DX reads the same
// colours, except that a TGA honours its descriptor (these files name the bottom-left origin, so
// they come out upside down against the upright pictures) and keeps 24-bit red and blue in
// place; alpha is the file's own. PCX goes through the engine's loader.
struct Folder {
  const char* name;
  std::string (*expectedName)(const std::string& file);
};

std::string StemRgba(const std::string& file) { return std::filesystem::path(file).stem().string() + ".rgba"; }
std::string UnderscoreRgba(const std::string& file) {  // "tga24.tga" -> "tga24_tga.rgba"
  std::string name = file;
  name[name.rfind('.')] = '_';
  return name + ".rgba";
}

Picture AsD3DXReadsIt(const std::string& file, Picture expected) {
  if (!file.ends_with(".tga")) return expected;
  Picture flipped(expected.width, expected.height);
  for (uint32_t y = 0; y < expected.height; ++y) {
    for (uint32_t x = 0; x < expected.width; ++x) {
      uint32_t p = expected.at(x, expected.height - 1 - y);
      if (file == "tga24.tga") p = (p & 0xFF00FF00u) | (p >> 16 & 0xFF) | (p & 0xFF) << 16;
      flipped.at(x, y) = p;
    }
  }
  return flipped;
}

TEST_F(D3DXTexture, CorpusImagesArriveAsTheFormatsDefineThem) {
  ZELK4_REQUIRE_CORPUS("png");
  ZELK4_REQUIRE_CORPUS("jpeg");
  ZELK4_REQUIRE_CORPUS("tga-pcx");
  const Folder folders[] = {{"png", StemRgba}, {"jpeg", StemRgba}, {"tga-pcx", UnderscoreRgba}};
  std::map<std::string, int> compared;
  for (const Folder& folder : folders) {
    const std::filesystem::path dir = zelk4::test::CorpusPath(folder.name);
    for (const zelk4::test::ExpectedPicture& e : zelk4::test::ReadExpectedPictures(dir)) {
      if (e.tolerance < 0) continue;  // no expected picture for this file
      SCOPED_TRACE(e.file);
      const std::vector<uint8_t> bytes = zelk4::test::ReadFileBytes(dir / e.file);
      const std::vector<uint8_t> rgba = zelk4::test::ReadFileBytes(dir / "expected" / folder.expectedName(e.file));
      ASSERT_EQ(rgba.size(), static_cast<size_t>(e.width) * e.height * 4) << "expected picture missing or cut";
      IDirect3DTexture8* texture = nullptr;
      ASSERT_EQ(Load(bytes, 1, &texture), D3D_OK);
      ASSERT_EQ(texture->GetLevelCount(), 1u);
      const Picture actual = Level(texture, 0);
      texture->Release();

      Picture expected(e.width, e.height);
      std::memcpy(expected.pixels.data(), rgba.data(), rgba.size());
      expected = AsD3DXReadsIt(e.file, expected);
      uint32_t expectedAlpha = 0xFF;  // the TGA/PCX/JPEG readers' alpha: opaque, or the stored one
      if (e.file == "tga32.tga") expectedAlpha = 0x80;  // as stored in this file
      const auto plane = kPngAlphaPlanes.find(e.file);
      if (plane != kPngAlphaPlanes.end()) {
        EXPECT_EQ(AlphaPlaneHash(actual), plane->second) << "alpha plane";
      } else {
        for (uint32_t p : actual.pixels) ASSERT_EQ(p >> 24, expectedAlpha) << "alpha";
      }
      // Colours against the expected picture; alpha was checked above.
      for (size_t i = 0; i < expected.pixels.size(); ++i) {
        expected.pixels[i] = (expected.pixels[i] & 0x00FFFFFFu) | (actual.pixels[i] & 0xFF000000u);
      }
      EXPECT_TRUE(zelk4::test::PicturesMatch("d3dx_" + e.file, expected, actual, e.tolerance));
      ++compared[folder.name];
    }
  }
  EXPECT_EQ(compared["png"], 60);
  EXPECT_EQ(compared["jpeg"], 5);
  EXPECT_EQ(compared["tga-pcx"], 4);
}

// A 4x2 32-bit uncompressed TGA (rows stored bottom first), built here.
std::vector<uint8_t> TinyTga(const uint32_t (&top)[4], const uint32_t (&bottom)[4]) {
  std::vector<uint8_t> tga(18, 0);
  tga[2] = 2;    // uncompressed true colour
  tga[12] = 4;   // width
  tga[14] = 2;   // height
  tga[16] = 32;  // bits per pixel
  for (const uint32_t* row : {bottom, top}) {
    for (int x = 0; x < 4; ++x) {
      for (int b = 0; b < 4; ++b) tga.push_back(static_cast<uint8_t>(row[x] >> (8 * b)));
    }
  }
  return tga;
}

TEST_F(D3DXTexture, LowerLevelsAreRoundedBoxAveragesDownToOneTexel) {
  // The TGA loader makes every texel opaque.
  const uint32_t top[4] = {0xFF000000, 0xFF040404, 0xFFFF0000, 0xFF00FF00};
  const uint32_t bottom[4] = {0xFF010203, 0xFF000001, 0xFFFF0000, 0xFF0000FF};
  std::vector<uint8_t> tga = TinyTga(top, bottom);
  IDirect3DTexture8* texture = nullptr;
  ASSERT_EQ(Load(tga, D3DX_DEFAULT, &texture), D3D_OK);
  ASSERT_EQ(texture->GetLevelCount(), 3u);  // 4x2, 2x1, 1x1
  Picture level0 = Level(texture, 0);
  Picture level1 = Level(texture, 1);
  Picture level2 = Level(texture, 2);
  ASSERT_EQ(level0.width, 4u);
  EXPECT_EQ(level0.at(2, 0), top[2]);
  EXPECT_EQ(level0.at(3, 1), bottom[3]);
  ASSERT_EQ(level1.width, 2u);
  ASSERT_EQ(level1.height, 1u);
  // (0+4+1+0+2)/4 etc., rounded to nearest: a = 255, r = (0+4+1+0)/4 = 1.25 -> 1,
  // g = (0+4+2+0)/4 = 1.5 -> 2, b = (0+4+3+1)/4 = 2.
  EXPECT_EQ(level1.at(0, 0), 0xFF010202u);
  // r = (255+0+255+0)/4 = 127.5 -> 128, g = 255/4 -> 64, b = 255/4 -> 64.
  EXPECT_EQ(level1.at(1, 0), 0xFF804040u);
  ASSERT_EQ(level2.width, 1u);
  // Halving 2x1: the average of two texels, r = (1+128)/2 = 64.5 -> 65, g = b = 33.
  EXPECT_EQ(level2.at(0, 0), 0xFF412121u);
  texture->Release();

  ASSERT_EQ(Load(tga, 2, &texture), D3D_OK);
  EXPECT_EQ(texture->GetLevelCount(), 2u);
  texture->Release();
  ASSERT_EQ(Load(tga, 0, &texture), D3D_OK);
  EXPECT_EQ(texture->GetLevelCount(), 3u);
  texture->Release();
}

TEST_F(D3DXTexture, AbsentOrUndecodableBytesFail) {
  IDirect3DTexture8* texture = reinterpret_cast<IDirect3DTexture8*>(1);
  EXPECT_TRUE(FAILED(Load({}, 1, &texture)));
  EXPECT_EQ(texture, nullptr);
  const std::string text = "this is not an image at all";
  EXPECT_EQ(Load(std::vector<uint8_t>(text.begin(), text.end()), 1, &texture), D3DXERR_INVALIDDATA);
  EXPECT_EQ(texture, nullptr);
  EXPECT_TRUE(FAILED(D3DXCreateTextureFromFileInMemory(device_, nullptr, 10, &texture)));
  EXPECT_TRUE(FAILED(D3DXCreateTextureFromFileInMemory(nullptr, text.data(), 4, &texture)));
}

TEST_F(D3DXTexture, TheShortFormLoadsTheFullChain) {
  const uint32_t row[4] = {0xFF112233, 0xFF112233, 0xFF112233, 0xFF112233};
  std::vector<uint8_t> tga = TinyTga(row, row);
  IDirect3DTexture8* texture = nullptr;
  ASSERT_EQ(D3DXCreateTextureFromFileInMemory(device_, tga.data(), static_cast<UINT>(tga.size()),
                                              &texture),
            D3D_OK);
  EXPECT_EQ(texture->GetLevelCount(), 3u);
  EXPECT_EQ(Level(texture, 2).at(0, 0), 0xFF112233u);
  texture->Release();
}

}  // namespace
