// Where the spine meets the subsystems beneath it: the render device, the loading-screen
// texture and quad, and the music. The spine calls them only through `engine`, a plain table of
// operations in the manner of a GL function table, so tests (and builds without those
// subsystems) can drive StartUp and the frame loop with recording or null versions.
//
// The defaults live in engine_seams.cpp, together with the part table's contents: the one
// RenderDevice, a loading screen drawn with it, and the demo's music. NullEngineCalls() stand in
// without any of them: a null device that paints the window black and paces frames like a 60 Hz
// display, silent music whose clock stands still.
#pragma once

#include <cstdint>

#include "platform/win/win.h"

struct EngineCalls {
  // RenderDevice: Init(window, width, height, windowed), IsWindowed, SetProjection(near, far,
  // fieldOfView, aspect), SetView(eye, target, roll in degrees), Present.
  void (*deviceInit)(HWND window, uint32_t width, uint32_t height, uint8_t windowed);
  uint8_t (*deviceIsWindowed)();
  void (*deviceSetProjection)(float nearPlane, float farPlane, float fieldOfView, float aspect);
  void (*deviceSetView)(float eyeX, float eyeY, float eyeZ, float targetX, float targetY,
                        float targetZ, float rollDegrees);
  void (*devicePresent)();
  // The loading screen: a quad drawer and a texture allocated for the life of the process, the
  // texture loaded from the data archive, and drawn as a quad (x, y, half size, colour).
  void (*allocateLoadingScreen)();
  void (*loadLoadingTexture)(const char* fileName);
  void (*drawLoadingTexture)(float x, float y, float size, uint32_t colour);
  // Music: StartMusic, GetMusicTime (reads and clears the first part's reset flag), StopMusic.
  void (*startMusic)();
  int32_t (*getMusicTime)(bool& resetMusicClock);
  void (*stopMusic)();
};

// The calls the spine makes; starts as DefaultEngineCalls().
extern EngineCalls engine;
EngineCalls DefaultEngineCalls();
EngineCalls NullEngineCalls();
