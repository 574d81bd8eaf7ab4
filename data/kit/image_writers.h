// Image file writers: every format the engine's image dispatcher reads. Each returns the whole
// file in memory (WritePngFile also writes it out). None writes a time stamp, so the same
// picture always gives the same bytes.
#pragma once

#include <cstdint>
#include <string>

#include "kit/byte_writer.h"
#include "kit/picture.h"

namespace zelk4::kit {

// PNG through libpng from width x height 0xAARRGGBB words, top row first, rows packed: 8-bit
// RGBA when `withAlpha`, 8-bit RGB otherwise. `compressionLevel` runs from 1 (fastest) to 9
// (smallest). Throws std::invalid_argument for an empty picture, std::runtime_error when libpng
// fails.
Bytes EncodePng(uint32_t width, uint32_t height, const uint32_t* pixels, bool withAlpha,
                int compressionLevel = 6);
Bytes WritePng(const Picture& picture, bool withAlpha);
// The same PNG written to a file (replacing it); false with the reason in *error. The one place
// outside the kit's own program where a writer here touches the disk, for the tools and tests.
bool WritePngFile(const std::string& path, uint32_t width, uint32_t height, const uint32_t* pixels,
                  bool withAlpha, std::string* error, int compressionLevel = 6);

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
