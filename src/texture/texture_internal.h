// Internals shared by the texture operations (not for other subsystems).
#pragma once

#include <cstdint>

// "Unable to load : NAME" / "Texture error"; a very long name is cut in the message.
[[noreturn]] void FatalTextureLoad(const char* fileName);

// The level count a mip-mapped texture from pixels gets for `wanted` levels asked: lowered
// while (larger side >> L) < 4; 0 asks for as many as that rule allows; at least 1.
uint32_t ReducedMipLevels(uint32_t width, uint32_t height, uint8_t wanted);
