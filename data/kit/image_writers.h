// Image file writers: every format the engine's image dispatcher reads. Each returns the whole
// file in memory. None writes a time stamp, so the same picture always gives the same bytes.
#pragma once

#include "kit/byte_writer.h"
#include "kit/picture.h"

namespace zelk4::kit {

// PNG through libpng: 8-bit RGBA when `withAlpha`, 8-bit RGB otherwise.
Bytes WritePng(const Picture& picture, bool withAlpha);

// Baseline JPEG through libjpeg, 8-bit RGB (alpha dropped), quality 1..100.
Bytes WriteJpeg(const Picture& picture, int quality);

// Uncompressed true-colour TGA (image type 2), bottom row first as the format's default origin;
// `bitsPerPixel` is 24 (blue, green, red) or 32 (blue, green, red, alpha).
Bytes WriteTga(const Picture& picture, int bitsPerPixel);

// PCX version 5, 8 bits, one plane, run-length coded, with the 256-colour palette at the end.
// The width must be even so rows carry no padding byte.
Bytes WritePcx(const IndexedPicture& picture);

// PKM (method 0): 6-bit palette, run-length coded with a short-run and a long-run marker byte
// (long counts high byte first). `transparentIndex` of -1 writes no transparency field.
Bytes WritePkm(const IndexedPicture& picture, uint8_t shortMarker, uint8_t longMarker,
               int transparentIndex);

}  // namespace zelk4::kit
