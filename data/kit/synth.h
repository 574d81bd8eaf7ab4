// Instrument sounds for the module, synthesised as 16-bit samples.
//
// Pitched sounds hold whole cycles of 128 samples and are meant to be played with relative note
// +24 (8363 Hz x 4 = 33452 Hz at C-4), so C-4 in a pattern sounds near middle C. Drums are
// recorded at the same rate and sound as made at C-4.
#pragma once

#include <cstdint>
#include <vector>

namespace zelk4::kit {

inline constexpr double kSynthRate = 33452.0;
inline constexpr int kSynthPeriod = 128;
inline constexpr int8_t kSynthRelativeNote = 24;

std::vector<int16_t> KickDrum();
std::vector<int16_t> SnareDrum();
std::vector<int16_t> HiHat();
std::vector<int16_t> Crash();
std::vector<int16_t> BassCycle();  // one looped cycle
std::vector<int16_t> LeadLoop();   // a seamless loop of detuned pulses
std::vector<int16_t> PadLoop();    // a seamless loop of detuned saws

}  // namespace zelk4::kit
