// The three small decoders: each input is offered to all of them, as the dispatcher would, so
// the TGA and PCX seeds and any PKM the fuzzer builds reach their own loader. They never end
// the process, so no hook is needed.
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "image/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (auto decode : {DecodeTgaImage, DecodePcxImage, DecodePkmImage}) {
    uint32_t width = 0, height = 0;
    uint32_t* pixels = nullptr;
    if (decode(data, size, &width, &height, &pixels)) delete[] pixels;
  }
  return 0;
}
