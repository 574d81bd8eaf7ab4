// Images: decoding PNG, JPEG, TGA, PCX and PKM files into one in-memory form.
//
// An image is three values that travel as three result parameters: width, height and a pixel
// array of width * height 32-bit words, top row first, each row left to right. A word holds
// 0xAARRGGBB; stored little-endian its bytes are blue, green, red, alpha (D3DFMT_A8R8G8B8).
// Two loaders put red and blue in exchanged positions: the 24-bit TGA and the PCX loader.
// Alpha is 255 everywhere except where a format supplies it (an RGBA PNG, a PKM's
// transparent index).
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
