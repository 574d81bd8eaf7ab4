// The PNG reader over libpng, fatal paths included.
#include "fatal_return.h"
#include "image/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zelk4::fuzz::DecodeOnce(DecodePngImage, data, size);
  return 0;
}
