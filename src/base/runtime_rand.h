// The C runtime's rand(), as the engine's runtime library computes it, so that every platform
// draws the same sequence: state 1 at start, state = state * 214013 + 2531011 (mod 2^32), result
// (state >> 16) & 32767. One sequence for the whole program (the demo's particles and jitter, the
// keyframer's random fraction); one thread draws from it.
#pragma once

#include <cstdint>

int RuntimeRand();
// Restarts the sequence from the given state (the program itself never seeds it).
void SeedRuntimeRand(uint32_t state);
// One rand() value's low 12 bits over 4096: a multiple of 1/4096 in [0, 1).
float RandomFraction();
