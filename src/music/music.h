// The demo's music: starting and stopping the module, the music clock, and the sync values that
// the module's Zxx commands set for the demo part.
//
// Threads: OnSyncEvent runs on the sound library's thread; the frame loop reads the sync values
// once per frame and clears the two flags itself. The values are relaxed atomics of the widths
// the demo part expects: each is written and read whole, and nothing orders them against each
// other. A command arriving between a frame's read and its clear of a flag is lost, by design.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/sound/fmod.h"

// Where the module comes from: this file of this archive, with the empty password.
inline constexpr char kSongFile[] = "sound\\dream1.xm";
inline constexpr char kSongArchive[] = "Data.rar";

extern FMUSIC_MODULE* song;    // the playing module
extern int32_t musicTimeRef;   // song time (ms) taken as the music clock's origin

extern std::atomic<uint32_t> syncCamera;  // 0 to 15, set by Z01 to Z10
extern std::atomic<int32_t> syncOverlay;  // -17 (Z00), or 0 to 15 (Z11 to Z20)
extern std::atomic<uint8_t> syncFlash;    // set by Z21 and Z30; the demo part clears it
extern std::atomic<uint8_t> syncRestart;  // set by Z30; the demo part clears it

// Starts the sound library and plays "sound\dream1.xm" from "Data.rar". Returns only on
// success; every failure shows its box and ends the process with exit status 1.
void StartMusic();

// Milliseconds of music since the clock's origin. When resetMusicClock is set (the first part's
// flag in the part table), the current song time becomes the origin and the flag is cleared.
int32_t GetMusicTime(bool& resetMusicClock);

// Stops and frees the song and closes the sound library.
void StopMusic();

// The Zxx callback: turns xx into the sync values above.
void OnSyncEvent(FMUSIC_MODULE* module, unsigned char parameter);

// The text for an FSOUND_GetError code; "Unknown error" for codes outside 0 to 19.
const char* FmodErrorText(int errorCode);

// The sound library's error box: copies text and caption into 256-byte buffers (cut, never
// overflowing) and shows the box. Returns after the box; the caller ends the process itself.
void ShowFmodError(const char* text, const char* caption);

// A test seam: where StartMusic fetches the module from (ArchiveGetFile unless set; null
// restores it).
using ModuleFetch = int (*)(uint8_t** data, uint32_t* size, const char* name,
                            const char* archivePath, const char* password);
void SetModuleFetch(ModuleFetch fetch);
