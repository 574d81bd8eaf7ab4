// Private to platform/win: the records behind window handles and the shared queue operations
// the window, message and input files use together.
#pragma once

#include <SDL.h>

#include <string>

#include "platform/win/win.h"

// A window handle points at one of these. Records are never freed while the program runs, so
// a stale handle can still be checked (`alive`).
struct HWND__ {
  SDL_Window* sdl = nullptr;
  WNDPROC proc = nullptr;
  std::string className;
  HCURSOR classCursor = nullptr;
  DWORD style = 0;
  bool alive = true;
};

namespace zelk4::win::detail {
// Starts SDL's video (and events) once; false, with the reason on standard error, when there
// is no display to open.
bool StartVideo();
// The live window whose SDL window has this id, or null.
HWND WindowFromSdlId(uint32_t sdlId);
// Reads all pending SDL events into the queue (input, close requests, mouse movement).
void ReadSdlEvents();
// Puts a message at the back of the queue, or at the front (a translated WM_CHAR).
void Enqueue(const MSG& msg, bool atFront);
// The queue's current time for stamping messages.
DWORD MessageTime();
// Clears the queue; forgets cursor state.
void ResetMessages();
void ResetCursor();
}  // namespace zelk4::win::detail
