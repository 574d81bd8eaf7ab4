// Choosing the format by trial: each decoder recognises its own first bytes, the JPEG decoder
// comes last and takes whatever is left.
#include "image/image.h"

void SetOpaqueAlpha(uint32_t* pixels, uint32_t width, uint32_t height) {
  const size_t count = static_cast<size_t>(width) * height;
  for (size_t i = 0; i < count; ++i) pixels[i] |= 0xFF000000u;
}

bool DecodeImageFile(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height,
                     uint32_t** pixels) {
  return DecodePngImage(data, size, width, height, pixels) || DecodeTgaImage(data, size, width, height, pixels) ||
         DecodePcxImage(data, size, width, height, pixels) || DecodePkmImage(data, size, width, height, pixels) ||
         DecodeJpegImage(data, size, width, height, pixels);
}
