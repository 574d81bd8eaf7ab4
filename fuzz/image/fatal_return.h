// Fuzz targets run the engine's fatal paths many times per second: the fatal-error hook turns
// the end of the process into a jump back to the target, and the decoders release what they
// hold before their fatal box, so nothing leaks across inputs.
#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdint>

#include "base/fatal_error.h"

namespace zelk4::fuzz {

inline std::jmp_buf& FatalJump() {
  static std::jmp_buf jump;
  return jump;
}

[[noreturn]] inline void JumpBack(const char*, const char*) { std::longjmp(FatalJump(), 1); }

using Decoder = bool (*)(const uint8_t*, size_t, uint32_t*, uint32_t*, uint32_t**);

// Runs one decode; a fatal error returns here instead of ending the process.
inline void DecodeOnce(Decoder decode, const uint8_t* data, size_t size) {
  SetFatalErrorHook(JumpBack);
  uint32_t width = 0, height = 0;
  uint32_t* pixels = nullptr;
  if (setjmp(FatalJump()) == 0) {
    if (decode(data, size, &width, &height, &pixels)) delete[] pixels;
  }
  SetFatalErrorHook(nullptr);
}

}  // namespace zelk4::fuzz
