// For the Direct3D stand-in, which presents into the program's window: the SDL window behind a
// window handle. Everything else uses win.h only.
#pragma once

#include "platform/win/win.h"

struct SDL_Window;

namespace zelk4::win {
// The SDL window of a live window handle; null for null, an unknown or a destroyed window. The
// SDL window stays valid until the process ends (or zelk4::win::Reset).
SDL_Window* SdlWindowOf(HWND window);

// True when windows are made by SDL's display-less driver (dummy or offscreen): there is no
// screen to present to, but the window, its messages and its input all work.
bool IsHeadless();
}  // namespace zelk4::win
