// The part table's contents and the spine's calls into the device, the loading screen and the
// music. This is the one file of app/ that knows those subsystems.
#include "app/engine_seams.h"

#include <SDL.h>

#include "app/app.h"
#include "platform/win/sdl_window.h"

namespace {
// The demo part's operations. The null part draws nothing and loads nothing.
void NullPartFrame(float) {}
void NullPartLoad() {}

// A null render device: it remembers its window and windowed flag, and Present paints the
// window black and waits one 60 Hz frame, as a display's vertical sync would.
HWND deviceWindow = nullptr;
uint8_t deviceWindowed = 0;

void NullInit(HWND window, uint32_t, uint32_t, uint8_t windowed) {
  deviceWindow = window;
  deviceWindowed = windowed;
}
uint8_t NullIsWindowed() { return deviceWindowed; }
void NullSetProjection(float, float, float, float) {}
void NullSetView(float, float, float, float, float, float, float) {}
void NullPresent() {
  if (SDL_Window* sdl = win::SdlWindowOf(deviceWindow)) {
    if (SDL_Surface* surface = SDL_GetWindowSurface(sdl)) {
      SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
      SDL_UpdateWindowSurface(sdl);
    }
  }
  SDL_Delay(16);
}

void NullAllocateLoadingScreen() {}
void NullLoadLoadingTexture(const char*) {}
void NullDrawLoadingTexture(float, float, float, uint32_t) {}

void NullStartMusic() {}
int32_t NullGetMusicTime(bool& resetMusicClock) {
  resetMusicClock = false;
  return 0;
}
void NullStopMusic() {}
}  // namespace

PartEntry partTable[1] = {{NullPartFrame, 118000, true}};
void (*partLoader)() = NullPartLoad;

EngineCalls DefaultEngineCalls() {
  return EngineCalls{NullInit,
                     NullIsWindowed,
                     NullSetProjection,
                     NullSetView,
                     NullPresent,
                     NullAllocateLoadingScreen,
                     NullLoadLoadingTexture,
                     NullDrawLoadingTexture,
                     NullStartMusic,
                     NullGetMusicTime,
                     NullStopMusic};
}

EngineCalls engine = DefaultEngineCalls();
