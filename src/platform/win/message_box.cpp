// Message boxes and the end of the process.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>

#include "platform/win/sdl_window.h"
#include "platform/win/win.h"

namespace {
bool boxesEnabled = true;

// A box is only worth showing where a display exists; otherwise it would wait on nothing.
bool DisplayAvailable() {
  if (zelk4::win::IsHeadless()) return false;
  const char* x = std::getenv("DISPLAY");
  const char* wl = std::getenv("WAYLAND_DISPLAY");
  return (x && *x) || (wl && *wl);
}
}  // namespace

namespace zelk4::win {
void SetMessageBoxesEnabled(bool enabled) { boxesEnabled = enabled; }
}  // namespace zelk4::win

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT) {
  std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
  std::fflush(stderr);
  if (boxesEnabled && DisplayAvailable()) {
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption ? caption : "", text ? text : "",
                             zelk4::win::SdlWindowOf(owner));
  }
  return IDOK;
}

void ExitProcess(UINT exitCode) {
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(static_cast<int>(exitCode));
}
