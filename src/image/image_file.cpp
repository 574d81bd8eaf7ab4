// Loading images from the data archive. Each loader fetches the file anew, so a file in the
// last format tried costs five lookups and five decompressions; there is no cache.
#include <cstdio>
#include <cstdlib>

#include "archive/archive.h"
#include "base/fatal_error.h"
#include "image/image.h"

uint8_t* ExtractImageFile(const char* name, uint32_t* size) {
  uint8_t* data = nullptr;
  uint32_t dataSize = 0;
  if (!ArchiveGetFile(&data, &dataSize, name, "Data.rar", "")) {
    char text[1024];
    std::snprintf(text, sizeof text, "Unable to extract image file (from data file): %s", name);
    FatalError(text, "Image load error");
  }
  if (size) *size = dataSize;
  return data;
}

namespace {
using Decoder = bool (*)(const uint8_t*, size_t, uint32_t*, uint32_t*, uint32_t**);

bool LoadWith(Decoder decode, const char* name, uint32_t* width, uint32_t* height, uint32_t** pixels) {
  uint32_t size = 0;
  uint8_t* data = ExtractImageFile(name, &size);
  const bool loaded = decode(data, size, width, height, pixels);
  std::free(data);
  return loaded;
}
}  // namespace

bool LoadPngImage(const char* name, uint32_t* width, uint32_t* height, uint32_t** pixels) {
  return LoadWith(DecodePngImage, name, width, height, pixels);
}
bool LoadJpegImage(const char* name, uint32_t* width, uint32_t* height, uint32_t** pixels) {
  return LoadWith(DecodeJpegImage, name, width, height, pixels);
}
bool LoadTgaImage(const char* name, uint32_t* width, uint32_t* height, uint32_t** pixels) {
  return LoadWith(DecodeTgaImage, name, width, height, pixels);
}
bool LoadPcxImage(const char* name, uint32_t* width, uint32_t* height, uint32_t** pixels) {
  return LoadWith(DecodePcxImage, name, width, height, pixels);
}
bool LoadPkmImage(const char* name, uint32_t* width, uint32_t* height, uint32_t** pixels) {
  return LoadWith(DecodePkmImage, name, width, height, pixels);
}

bool LoadImageFile(const char* name, uint32_t* width, uint32_t* height, uint32_t** pixels) {
  return LoadPngImage(name, width, height, pixels) || LoadTgaImage(name, width, height, pixels) ||
         LoadPcxImage(name, width, height, pixels) || LoadPkmImage(name, width, height, pixels) ||
         LoadJpegImage(name, width, height, pixels);
}
