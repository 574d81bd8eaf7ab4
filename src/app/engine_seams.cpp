// The part table's contents and the spine's calls into the device, the loading screen and the
// music. This is the one file of app/ that knows those subsystems.
#include "app/engine_seams.h"

#include <SDL.h>

#include "app/app.h"
#include "demo/demo.h"
#include "music/music.h"
#include "platform/win/sdl_window.h"
#include "render/render_device.h"
#include "texture/texture.h"

namespace {
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
  if (SDL_Window* sdl = zelk4::win::SdlWindowOf(deviceWindow)) {
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

PartEntry partTable[1] = {{PartFrame, 118000, true}};
void (*partLoader)() = LoadPart;

namespace {
// The loading screen's quad drawer and texture, allocated by StartUp for the life of the process.
QuadDrawer* loadingQuad = nullptr;
Texture* loadingTexture = nullptr;
}  // namespace

EngineCalls DefaultEngineCalls() {
  return EngineCalls{
      [](HWND window, uint32_t width, uint32_t height, uint8_t windowed) {
        renderDevice.Init(window, width, height, windowed);
      },
      [] { return renderDevice.IsWindowed(); },
      [](float nearPlane, float farPlane, float fieldOfView, float aspect) {
        renderDevice.SetProjection(nearPlane, farPlane, fieldOfView, aspect);
      },
      [](float eyeX, float eyeY, float eyeZ, float targetX, float targetY, float targetZ,
         float rollDegrees) {
        renderDevice.SetView(eyeX, eyeY, eyeZ, targetX, targetY, targetZ, rollDegrees);
      },
      [] { renderDevice.Present(); },
      [] {
        loadingQuad = new QuadDrawer();
        loadingTexture = new Texture();
      },
      [](const char* fileName) { loadingTexture->Load(&renderDevice, fileName); },
      [](float x, float y, float size, uint32_t colour) {
        loadingQuad->DrawQuad(&renderDevice, loadingTexture, x, y, size, colour);
      },
      StartMusic,
      GetMusicTime,
      StopMusic};
}

EngineCalls NullEngineCalls() {
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
