// Texture files as D3DX reads them, through tiny files built here: TGA in its true colours with
// its origin, identification field, colour map and run lengths; BMP palettes, bit fields and row
// order; DDS blocks and masks; and damaged files that fail the call instead of ending the
// program.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "d3dx_device.h"
#include "kit/image_writers.h"

namespace {

using Bytes = std::vector<uint8_t>;
using zelk4::test::Picture;

constexpr uint32_t kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u, kBlue = 0xFF0000FFu,
                   kWhite = 0xFFFFFFFFu, kBlack = 0xFF000000u;

void Put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
void Append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

class D3DXFormats : public zelk4::test::D3DXDevice {
 protected:
  // Level 0 of the one-level texture the file makes (empty when the call fails).
  Picture Read(const Bytes& bytes) {
    IDirect3DTexture8* texture = nullptr;
    if (Load(bytes, 1, &texture) != D3D_OK) return Picture();
    Picture picture = Level(texture, 0);
    texture->Release();
    return picture;
  }
  HRESULT Result(const Bytes& bytes) {
    IDirect3DTexture8* texture = nullptr;
    const HRESULT hr = Load(bytes, 1, &texture);
    if (texture != nullptr) texture->Release();
    return hr;
  }
};

// ---- TGA

struct TgaHeader {
  uint8_t idLength = 0, mapType = 0, imageType = 2;
  uint16_t mapFirst = 0, mapLength = 0;
  uint8_t mapBits = 0;
  uint16_t width = 1, height = 1;
  uint8_t depth = 24, descriptor = 0;
};

Bytes Tga(const TgaHeader& t, const Bytes& rest) {
  Bytes b{t.idLength, t.mapType, t.imageType};
  Put16(b, t.mapFirst);
  Put16(b, t.mapLength);
  b.push_back(t.mapBits);
  Put32(b, 0);  // origin
  Put16(b, t.width);
  Put16(b, t.height);
  b.push_back(t.depth);
  b.push_back(t.descriptor);
  Append(b, rest);
  return b;
}

constexpr uint8_t kTopLeft = 0x20, kTopRight = 0x30;

TEST_F(D3DXFormats, TgaInItsTrueColoursWithItsOriginIdentificationFieldAndAlpha) {
  // 2x2, 24-bit blue-green-red triples: red, green / blue, white with the top row stored first,
  // behind a two-byte identification field.
  const Bytes topFirst = {'i', 'd', 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255};
  const Picture top = Read(Tga({.idLength = 2, .width = 2, .height = 2, .descriptor = kTopLeft}, topFirst));
  ASSERT_EQ(top.width, 2u);
  EXPECT_EQ(top.pixels, (std::vector<uint32_t>{kRed, kGreen, kBlue, kWhite}));
  // The same picture stored bottom row first under the default origin, and mirrored rows.
  const Bytes bottomFirst = {255, 0, 0, 255, 255, 255, 0, 0, 255, 0, 255, 0};
  EXPECT_EQ(Read(Tga({.width = 2, .height = 2}, bottomFirst)).pixels, top.pixels);
  const Bytes mirrored = {0, 255, 0, 0, 0, 255, 255, 255, 255, 255, 0, 0};
  EXPECT_EQ(Read(Tga({.width = 2, .height = 2, .descriptor = kTopRight}, mirrored)).pixels, top.pixels);

  // 32 bits with 8 alpha bits keep alpha; 16 bits with one alpha bit use it; without alpha bits
  // the pixels are opaque.
  EXPECT_EQ(Read(Tga({.depth = 32, .descriptor = 8}, {0x33, 0x22, 0x11, 0x40})).pixels.at(0), 0x40112233u);
  EXPECT_EQ(Read(Tga({.depth = 32}, {0x33, 0x22, 0x11, 0x40})).pixels.at(0), 0xFF112233u);
  EXPECT_EQ(Read(Tga({.depth = 16, .descriptor = 1}, {0x00, 0x7C})).pixels.at(0), 0x00FF0000u);
  EXPECT_EQ(Read(Tga({.depth = 16, .descriptor = 1}, {0xE0, 0x83})).pixels.at(0), 0xFF00FF00u);
  EXPECT_EQ(Read(Tga({.depth = 15}, {0x1F, 0x00})).pixels.at(0), kBlue);
}

TEST_F(D3DXFormats, TgaRunLengthAndColourMappedImages) {
  // Type 10, 3x2: a run of four red pixels, then two raw ones (green, blue); runs cross rows.
  const Bytes runs = {0x83, 0, 0, 255, 0x01, 0, 255, 0, 255, 0, 0};
  EXPECT_EQ(Read(Tga({.imageType = 10, .width = 3, .height = 2, .descriptor = kTopLeft}, runs)).pixels,
            (std::vector<uint32_t>{kRed, kRed, kRed, kRed, kGreen, kBlue}));
  // Type 9, 2x2: a two-entry 24-bit map starting at index 5 (blue, yellow); a run of index 6,
  // a raw index 5, and an index outside the map, which is opaque black.
  const Bytes mapped = {255, 0, 0, 0, 255, 255, 0x81, 6, 0x01, 5, 9};
  EXPECT_EQ(Read(Tga({.mapType = 1, .imageType = 9, .mapFirst = 5, .mapLength = 2, .mapBits = 24, .width = 2,
                      .height = 2, .depth = 8, .descriptor = kTopLeft},
                     mapped))
                .pixels,
            (std::vector<uint32_t>{0xFFFFFF00u, 0xFFFFFF00u, kBlue, kBlack}));
  // Type 11: grey runs; type 1: an uncompressed colour-mapped picture.
  EXPECT_EQ(Read(Tga({.imageType = 11, .width = 2, .depth = 8}, {0x81, 0x80})).pixels,
            (std::vector<uint32_t>{0xFF808080u, 0xFF808080u}));
  EXPECT_EQ(Read(Tga({.mapType = 1, .imageType = 1, .mapLength = 1, .mapBits = 32, .depth = 8, .descriptor = 8},
                     {0x33, 0x22, 0x11, 0x7F, 0}))
                .pixels.at(0),
            0x7F112233u);

  // A file whose pixels run out, a run packet cut short and a map that is not there fail.
  EXPECT_EQ(Result(Tga({.width = 2, .height = 2}, {1, 2, 3})), D3DXERR_INVALIDDATA);
  EXPECT_EQ(Result(Tga({.imageType = 10, .width = 3, .height = 2}, {0x83, 0, 0})), D3DXERR_INVALIDDATA);
  EXPECT_EQ(Result(Tga({.mapType = 1, .imageType = 1, .mapLength = 200, .mapBits = 24, .depth = 8}, {0, 0})),
            D3DXERR_INVALIDDATA);
}

// ---- BMP

struct BmpHeader {
  uint32_t headerSize = 40;
  int32_t width = 1, height = 1;
  uint16_t bpp = 24;
  uint32_t compression = 0;
  std::vector<uint32_t> palette = {};  // 0x00RRGGBB
  std::vector<uint32_t> masks = {};    // after the 40 bytes: red, green, blue (and alpha)
};

Bytes Bmp(const BmpHeader& h, const Bytes& rows) {
  Bytes info;
  Put32(info, h.headerSize);
  Put32(info, static_cast<uint32_t>(h.width));
  Put32(info, static_cast<uint32_t>(h.height));
  Put16(info, 1);
  Put16(info, h.bpp);
  Put32(info, h.compression);
  Put32(info, static_cast<uint32_t>(rows.size()));
  Put32(info, 2835);
  Put32(info, 2835);
  Put32(info, static_cast<uint32_t>(h.palette.size()));
  Put32(info, 0);
  for (uint32_t m : h.masks) Put32(info, m);  // inside a longer header, or after 40 bytes
  if (info.size() < h.headerSize) info.resize(h.headerSize, 0);
  for (uint32_t c : h.palette) Put32(info, c);
  Bytes b = {'B', 'M'};
  Put32(b, static_cast<uint32_t>(14 + info.size() + rows.size()));
  Put32(b, 0);
  Put32(b, static_cast<uint32_t>(14 + info.size()));
  Append(b, info);
  Append(b, rows);
  return b;
}

TEST_F(D3DXFormats, BmpPalettesBitFieldsAndRowOrder) {
  // 1-bit 3x1 (white, black, white), rows padded to four bytes.
  EXPECT_EQ(Read(Bmp({.width = 3, .bpp = 1, .palette = {0, 0xFFFFFF}}, {0xA0, 0, 0, 0})).pixels,
            (std::vector<uint32_t>{kWhite, kBlack, kWhite}));
  // 4-bit 2x2 stored bottom row first: bottom (red, green), top (blue, red).
  EXPECT_EQ(Read(Bmp({.width = 2, .height = 2, .bpp = 4, .palette = {0xFF0000, 0x00FF00, 0x0000FF}},
                     {0x01, 0, 0, 0, 0x20, 0, 0, 0}))
                .pixels,
            (std::vector<uint32_t>{kBlue, kRed, kRed, kGreen}));
  // 8-bit top-down, index past the three colours used: black.
  EXPECT_EQ(Read(Bmp({.width = 2, .height = -1, .bpp = 8, .palette = {0, 0, 0x123456}}, {2, 7, 0, 0})).pixels,
            (std::vector<uint32_t>{0xFF123456u, kBlack}));
  // 16-bit: 5-5-5 without masks, 5-6-5 from bit fields.
  EXPECT_EQ(Read(Bmp({.bpp = 16}, {0x00, 0x7C, 0, 0})).pixels.at(0), kRed);
  EXPECT_EQ(Read(Bmp({.bpp = 16, .compression = 3, .masks = {0xF800, 0x07E0, 0x001F}}, {0xE0, 0x07, 0, 0}))
                .pixels.at(0),
            kGreen);
  // 24-bit 2x2 bottom-up with padding; 32-bit top-down: fourth bytes that are all zero are no
  // alpha, any other holds it.
  EXPECT_EQ(Read(Bmp({.width = 2, .height = 2}, {255, 0, 0, 0, 255, 0, 0, 0, 0, 0, 255, 255, 255, 255, 0, 0}))
                .pixels,
            (std::vector<uint32_t>{kRed, kWhite, kBlue, kGreen}));
  EXPECT_EQ(Read(Bmp({.width = 2, .height = -1, .bpp = 32}, {0x33, 0x22, 0x11, 0, 0x33, 0x22, 0x11, 0})).pixels,
            (std::vector<uint32_t>{0xFF112233u, 0xFF112233u}));
  EXPECT_EQ(Read(Bmp({.width = 2, .height = -1, .bpp = 32}, {0x33, 0x22, 0x11, 0, 0x33, 0x22, 0x11, 1})).pixels,
            (std::vector<uint32_t>{0x00112233u, 0x01112233u}));
  // An alpha mask (in a 56-byte header or longer).
  EXPECT_EQ(Read(Bmp({.headerSize = 108, .bpp = 32, .compression = 3,
                      .masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000}},
                     {0x33, 0x22, 0x11, 0x40}))
                .pixels.at(0),
            0x40112233u);

  // Rows that are not all there, run-length compression and a zero width fail.
  EXPECT_EQ(Result(Bmp({.width = 2, .height = 2}, {1, 2, 3, 4, 5, 6, 7, 8})), D3DXERR_INVALIDDATA);
  EXPECT_EQ(Result(Bmp({.bpp = 8, .compression = 1, .palette = {0}}, {1, 0, 0, 1})), D3DXERR_INVALIDDATA);
  EXPECT_EQ(Result(Bmp({.width = 0}, {})), D3DXERR_INVALIDDATA);
}

// ---- DDS

struct DdsHeader {
  uint32_t width = 4, height = 4;
  uint32_t flags = 0x4;  // four-character code
  const char* fourCc = "DXT1";
  uint32_t bits = 0;
  uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
};

Bytes Dds(const DdsHeader& h, const Bytes& data) {
  Bytes b = {'D', 'D', 'S', ' '};
  Put32(b, 124);
  Put32(b, 0x1007);  // caps, height, width, pixel format
  Put32(b, h.height);
  Put32(b, h.width);
  for (int i = 0; i < 3 + 11; ++i) Put32(b, 0);  // pitch, depth, mip count, reserved
  Put32(b, 32);
  Put32(b, h.flags);
  b.insert(b.end(), h.fourCc, h.fourCc + 4);
  Put32(b, h.bits);
  for (uint32_t m : h.masks) Put32(b, m);
  Put32(b, 0x1000);  // a texture
  for (int i = 0; i < 4; ++i) Put32(b, 0);
  Append(b, data);
  return b;
}

// A colour block: two 5-6-5 colours and the 2-bit indices of pixels 0 to 3 (the rest 0).
Bytes ColourBlock(uint16_t c0, uint16_t c1, uint8_t firstFourIndices) {
  Bytes b;
  Put16(b, c0);
  Put16(b, c1);
  Put32(b, firstFourIndices);
  return b;
}

TEST_F(D3DXFormats, DdsBlocksAndMasksDecompressToA8R8G8B8) {
  // DXT1, red over blue: indices 0, 1, 2, 3 give red, blue, then thirds between them.
  const Picture four = Read(Dds({}, ColourBlock(0xF800, 0x001F, 0b11100100)));
  ASSERT_EQ(four.width, 4u);
  EXPECT_EQ(std::vector<uint32_t>(four.pixels.begin(), four.pixels.begin() + 4),
            (std::vector<uint32_t>{kRed, kBlue, 0xFFAA0055u, 0xFF5500AAu}));
  // The first colour not above the second: a half-way colour and transparent black.
  const Picture three = Read(Dds({}, ColourBlock(0x001F, 0xF800, 0b11100100)));
  EXPECT_EQ(three.pixels.at(2), 0xFF7F007Fu);
  EXPECT_EQ(three.pixels.at(3), 0x00000000u);
  // DXT3: explicit 4-bit alphas; DXT5: 255 and 0 with six steps between.
  Bytes explicitAlpha = {0x08, 0, 0, 0, 0, 0, 0, 0};
  Append(explicitAlpha, ColourBlock(0xF800, 0xF800, 0));
  EXPECT_EQ(Read(Dds({.fourCc = "DXT3"}, explicitAlpha)).pixels.at(0), 0x88FF0000u);
  Bytes interpolated = {255, 0, 0b10001000, 0, 0, 0, 0, 0};  // pixels 0..2: indices 0, 1, 2
  Append(interpolated, ColourBlock(0x07E0, 0x07E0, 0));
  const Picture dxt5 = Read(Dds({.fourCc = "DXT5"}, interpolated));
  EXPECT_EQ(dxt5.pixels.at(0), 0xFF00FF00u);
  EXPECT_EQ(dxt5.pixels.at(1), 0x0000FF00u);
  EXPECT_EQ(dxt5.pixels.at(2), 0xDA00FF00u);  // (255 * 6 + 0) / 7 = 218
  // A picture that is not a whole number of blocks keeps its own size.
  const Picture odd = Read(Dds({.width = 6, .height = 5}, Bytes(4 * 8, 0)));
  EXPECT_EQ(odd.width, 6u);
  EXPECT_EQ(odd.height, 5u);

  // Uncompressed: 32-bit with an alpha mask, 8-bit luminance, 16-bit 5-6-5.
  EXPECT_EQ(Read(Dds({.width = 1, .height = 1, .flags = 0x41, .fourCc = "\0\0\0\0", .bits = 32,
                      .masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000}},
                     {0x33, 0x22, 0x11, 0x80}))
                .pixels.at(0),
            0x80112233u);
  EXPECT_EQ(Read(Dds({.width = 1, .height = 1, .flags = 0x20000, .fourCc = "\0\0\0\0", .bits = 8,
                      .masks = {0xFF, 0, 0, 0}},
                     {0x40}))
                .pixels.at(0),
            0xFF404040u);
  EXPECT_EQ(Read(Dds({.width = 1, .height = 1, .flags = 0x40, .fourCc = "\0\0\0\0", .bits = 16,
                      .masks = {0xF800, 0x07E0, 0x001F, 0}},
                     {0x1F, 0x00}))
                .pixels.at(0),
            kBlue);

  // Blocks that are not all there and formats D3DX 8 does not know fail.
  EXPECT_EQ(Result(Dds({.width = 8}, Bytes(8, 0))), D3DXERR_INVALIDDATA);
  EXPECT_EQ(Result(Dds({.fourCc = "DX10"}, Bytes(64, 0))), D3DXERR_INVALIDDATA);
}

// ---- damaged files

// A PNG or JPEG that is cut short or corrupt fails the call with D3DXERR_INVALIDDATA; the image
// readers' own fatal messages belong to the engine's loaders and never come out of here.
TEST_F(D3DXFormats, DamagedPngAndJpegFilesFailTheCall) {
  zelk4::kit::Picture picture(32, 32);
  for (size_t i = 0; i < picture.pixels.size(); ++i) picture.pixels[i] = 0xFF000000u | static_cast<uint32_t>(i * 2654435761u >> 8);
  const Bytes png = zelk4::kit::WritePng(picture, false);
  const Bytes jpeg = zelk4::kit::WriteJpeg(picture, 90);
  ASSERT_EQ(Result(png), D3D_OK);
  ASSERT_EQ(Result(jpeg), D3D_OK);

  for (const Bytes* file : {&png, &jpeg}) {
    for (size_t cut : {size_t{3}, size_t{100}, file->size() / 2, file->size() - 2}) {
      SCOPED_TRACE(cut);
      EXPECT_EQ(Result(Bytes(file->begin(), file->begin() + static_cast<long>(cut))), D3DXERR_INVALIDDATA);
    }
  }
  Bytes corrupt = png;
  corrupt[corrupt.size() / 2] ^= 0x55;  // inside the compressed data: its checksum fails
  EXPECT_EQ(Result(corrupt), D3DXERR_INVALIDDATA);
  corrupt = jpeg;
  corrupt[20] = 0xFF;  // a header field that makes no sense
  corrupt[21] = 0x01;
  EXPECT_EQ(Result(corrupt), D3DXERR_INVALIDDATA);
}

}  // namespace
