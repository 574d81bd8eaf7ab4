#include "music/music.h"

#include <cstdio>

#include "archive/archive.h"
#include "base/fatal_error.h"
#include "platform/win/win.h"

FMUSIC_MODULE* song = nullptr;
int32_t musicTimeRef = 0;

namespace {

// The module's bytes live as long as the process.
uint8_t* moduleData = nullptr;
uint32_t moduleSize = 0;

ModuleFetch moduleFetch = nullptr;

// The sound library's failures end the process (with status 1: a failure never reports success).
[[noreturn]] void FmodFailure(const char* text, const char* caption) {
  ShowFmodError(text, caption);
  ExitProcess(1);
}

}  // namespace

void SetModuleFetch(ModuleFetch fetch) { moduleFetch = fetch; }

void StartMusic() {
  char text[256];
  // Compared as floats: release 3.40 itself passes.
  if (FSOUND_GetVersion() < 3.4f) {
    std::snprintf(text, sizeof text,
                  "You are using the wrong DLL version!  You should be using FMOD %.02f\n", 3.4);
    FmodFailure(text, "FMOD error.");
  }
  if (!FSOUND_Init(44100, 32, FSOUND_INIT_GLOBALFOCUS)) {
    std::snprintf(text, sizeof text, "%s\n", FmodErrorText(FSOUND_GetError()));
    FmodFailure(text, "FMOD error.");
  }
  const ModuleFetch fetch = moduleFetch ? moduleFetch : ArchiveGetFile;
  if (!fetch(&moduleData, &moduleSize, kSongFile, kSongArchive, "")) {
    MessageBoxA(GetTopWindow(nullptr), "Unable to load module from data file", "Sound load error",
                MB_OK);
    ExitProcess(1);
  }
  // Not checked here: a failed load makes setting the callback fail.
  song = FMUSIC_LoadSongMemory(moduleData, static_cast<int>(moduleSize));
  if (!FMUSIC_SetZxxCallback(song, OnSyncEvent)) {
    FmodFailure("Unable to set sync. call backs", "FMOD error");
  }
  FMUSIC_PlaySong(song);
}

int32_t GetMusicTime(bool& resetMusicClock) {
  if (resetMusicClock) {
    musicTimeRef = FMUSIC_GetTime(song);
    resetMusicClock = false;
  }
  return FMUSIC_GetTime(song) - musicTimeRef;
}

void StopMusic() {
  FMUSIC_StopSong(song);
  FMUSIC_FreeSong(song);
  song = nullptr;  // a late GetMusicTime then reads -1, not a freed song
  FSOUND_Close();
}
