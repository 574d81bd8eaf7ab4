// Images: decoding PNG, JPEG, TGA, PCX and PKM files into one in-memory form.
//
// An image is three values that travel as three result parameters: width, height and a pixel
// array of width * height 32-bit words, top row first, each row left to right. A word holds
// 0xAARRGGBB; stored little-endian its bytes are blue, green, red, alpha (D3DFMT_A8R8G8B8).
// Two loaders put red and blue in exchanged positions: the 24-bit TGA and the PCX loader.
// Alpha is 255 everywhere except where a format supplies it (an RGBA PNG, a PKM's
// transparent index). The texture decoder reads some formats by other rules (see the end).
//
// Ownership: the pixel array is allocated with new[] by the loader; the caller owns it and
// releases it with delete[]. File bytes from the archive are released with free().
//
// The format is never chosen by name: the dispatcher offers the bytes to one loader after
// another (PNG, TGA, PCX, PKM, then JPEG) until one accepts them.
//
// Failure is fatal in this engine. A PNG that is damaged or ends early, and anything that
// reaches the JPEG loader without being a valid JPEG, end the process through FatalError.
// The TGA, PCX and PKM loaders only ever return false (not their format, an impossible size,
// or no memory). Every decoder treats its input as hostile: no read passes the end of the
// data and no header makes it allocate more than the data could describe.
//
// Loads must not overlap: the PNG reader keeps its read position in global state.
#pragma once

#include <cstddef>
#include <cstdint>

// A decoded picture (see above). The loaders hand out its three fields separately.
struct ImageBuffer {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t* pixels = nullptr;  // width * height words, new[]; the owner calls delete[]
};

// --- Loading from the data archive ("Data.rar", empty password) ---

// Tries PNG, TGA, PCX, PKM and JPEG in that order, fetching the file anew for each attempt.
// True with an image the caller owns. False only when the JPEG loader cannot allocate its
// pixel array; every other failure ends the process.
bool LoadImageFile(const char* name, uint32_t* width, uint32_t* height, uint32_t** pixels);

// The named file's bytes (malloc'd; the caller frees them). Never fails: a missing file ends
// the process with "Unable to extract image file (from data file): NAME" / "Image load error".
// size may be null.
uint8_t* ExtractImageFile(const char* name, uint32_t* size);

// Sets the alpha byte of each of the width * height pixels to 0xFF.
void SetOpaqueAlpha(uint32_t* pixels, uint32_t width, uint32_t height);

// Each fetches the named file, releases its bytes before returning, and returns false when
// the file is not of its format.
bool LoadPngImage(const char* name, uint32_t* width, uint32_t* height, uint32_t** pixels);
bool LoadJpegImage(const char* name, uint32_t* width, uint32_t* height, uint32_t** pixels);
bool LoadTgaImage(const char* name, uint32_t* width, uint32_t* height, uint32_t** pixels);
bool LoadPcxImage(const char* name, uint32_t* width, uint32_t* height, uint32_t** pixels);
bool LoadPkmImage(const char* name, uint32_t* width, uint32_t* height, uint32_t** pixels);

// --- Decoding bytes already in memory (same rules, same fatal messages) ---
// The data stay the caller's. On false nothing is left allocated and *pixels is untouched
// or null.

// PNG, TGA, PCX, PKM, then JPEG, as LoadImageFile does, over one buffer.
bool DecodeImageFile(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height,
                     uint32_t** pixels);

bool DecodePngImage(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height,
                    uint32_t** pixels);
bool DecodeJpegImage(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height,
                     uint32_t** pixels);
bool DecodeTgaImage(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height,
                    uint32_t** pixels);
bool DecodePcxImage(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height,
                    uint32_t** pixels);
bool DecodePkmImage(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height,
                    uint32_t** pixels);

// --- One reader per format, two sets of rules ---
// The loaders above read pictures by the engine's own rules. The platform's texture decoder
// (D3DXCreateTextureFromFileInMemoryEx) reads the same formats as the formats define them, so
// that a texture made for the original platform shows in its true colours. Where the two differ,
// the one reader of a format takes the choice as a parameter. The Decode*Image functions above
// are these readers with the engine's rules.

// What a damaged or truncated file does: end the process with the loader's own fatal message
// (the engine), or make the decode return false with nothing allocated (the texture decoder,
// whose caller reports the failure in its own words).
enum class OnDamage { kFatal, kFail };

struct TgaRules {
  bool allImageTypes;             // also colour-mapped (1, 9), run-length (9, 10, 11), 15/16-bit
  bool skipIdentificationAndMap;  // pixels follow the identification field and the colour map
  bool honourOrigin;              // descriptor bits 4 and 5; else the first stored row is the bottom
  bool exchangeRedBlue24;         // 24-bit pixels come out with red and blue exchanged
  bool keepAlpha;                 // alpha as stored where the descriptor counts alpha bits
  bool requireEveryPixel;         // data cut short fail; else the missing pixels are black
};
bool DecodeTga(const uint8_t* data, size_t size, const TgaRules& rules, uint32_t* width,
               uint32_t* height, uint32_t** pixels);

struct PngRules {
  OnDamage damage;
  bool keepTransparency;  // grey+alpha keeps its alpha, a tRNS chunk becomes alpha; else opaque
};
bool DecodePng(const uint8_t* data, size_t size, const PngRules& rules, uint32_t* width,
               uint32_t* height, uint32_t** pixels);

// Under OnDamage::kFail a file the library can only warn about (data ending early, corrupt
// entropy-coded data) counts as damaged too.
bool DecodeJpeg(const uint8_t* data, size_t size, OnDamage damage, uint32_t* width,
                uint32_t* height, uint32_t** pixels);

// Formats only the texture decoder reads (the engine's dispatcher never tries them); both
// return false for anything damaged, truncated or of a variant they do not read.
// BMP: 1, 4 and 8-bit palettes, 16-bit (5-5-5 or bit fields), 24 and 32-bit, bottom-up and
// top-down; alpha from an alpha mask or, in a 32-bit file without masks, from fourth bytes that
// are not all zero; else opaque.
bool DecodeBmpImage(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height,
                    uint32_t** pixels);
// DDS: the top level of an uncompressed (RGB, luminance, alpha masks of 8 to 32 bits) or
// DXT1-DXT5 surface, decompressed to 0xAARRGGBB.
bool DecodeDdsImage(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height,
                    uint32_t** pixels);
