// Where the sound library's songs go, and the seams tools and tests use. Not part of the
// library's own calls (platform/sound/fmod.h); the demo never needs these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zelk4::sound {

enum class Output {
  RealTime,  // the audio device; a silent real-time clock when no device can be opened
  Pull,      // no device: the caller pulls samples with Pull(), the song advances with them
};

// Chooses the output for the next FSOUND_Init. False (nothing changes) while started.
bool SetOutput(Output output);

// Whether the started real-time output is the silent clock (no audio device).
bool UsingSilentClock();

// Pull mode: renders the next frames of the playing song as interleaved 16-bit stereo into out
// (2 * frames values), calling its Zxx callback for each row that starts within them, in
// order, with FMUSIC_GetTime giving that row's time during the call. Writes silence when no song
// plays. Returns frames, or 0 (writing nothing) outside started pull mode.
std::size_t Pull(int16_t* out, std::size_t frames);

// The clock behind real-time output: microseconds from any origin, never going back. Null
// restores the steady system clock. Set it before FMUSIC_PlaySong.
using TimeSource = uint64_t (*)();
void SetTimeSource(TimeSource source);

// A start later in the song. Each following FMUSIC_PlaySong renders its song silently up to `ms`
// milliseconds, exactly as playing it would (so the same rows at the same times), and plays on
// from there, FMUSIC_GetTime counting the song's time from its start. The Zxx rows passed on the
// way are not called back: they are handed to `passed` (when set), in playing order with the
// song time of each row, before the song goes on. 0 plays songs from their start again.
struct PassedSyncEvent {
  int32_t timeMs;
  uint8_t param;
};
using PassedSyncEvents = void (*)(const std::vector<PassedSyncEvent>& events);
void StartSongsAt(int32_t ms, PassedSyncEvents passed);

// Test seams: the release number FSOUND_GetVersion reports (0 restores the real one), and an
// error code that the next FSOUND_Init fails with (FMOD_ERR_NONE cancels it).
void OverrideVersion(float version);
void FailNextInit(int errorCode);

}  // namespace zelk4::sound
