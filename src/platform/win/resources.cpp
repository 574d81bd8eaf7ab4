// The module handle, icons, cursors, accelerator tables and stock objects. The program carries
// no resources of its own, so everything loaded from its module is null; the system's arrow
// cursor and application icon are real handles.
#include <SDL.h>

#include <iterator>

#include "platform/win/win.h"
#include "platform/win/window_table.h"

struct HINSTANCE__ {
  int unused;
};
struct HICON__ {
  int unused;
};
struct HBRUSH__ {
  int unused;
};

namespace {
HINSTANCE__ programModule{};
HICON__ systemArrow{};
HICON__ systemIcon{};
HBRUSH__ stockBrushes[6]{};  // WHITE_BRUSH .. NULL_BRUSH

HCURSOR currentCursor = &systemArrow;
int displayCount = 0;

void ApplyCursor() {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
  SDL_ShowCursor(currentCursor && displayCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
}
}  // namespace

namespace zelk4::win::detail {
void ResetCursor() {
  currentCursor = &systemArrow;
  displayCount = 0;
  ApplyCursor();
}
}  // namespace zelk4::win::detail

HMODULE GetModuleHandleA(LPCSTR moduleName) { return moduleName ? nullptr : &programModule; }

HICON LoadIconA(HINSTANCE instance, LPCSTR name) {
  return (!instance && IS_INTRESOURCE(name)) ? &systemIcon : nullptr;
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
  return (!instance && IS_INTRESOURCE(name)) ? &systemArrow : nullptr;
}

HACCEL LoadAcceleratorsA(HINSTANCE, LPCSTR) { return nullptr; }

HGDIOBJ GetStockObject(int index) {
  if (index < 0 || index >= static_cast<int>(std::size(stockBrushes))) return nullptr;
  return &stockBrushes[index];
}

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR previous = currentCursor;
  currentCursor = cursor;
  ApplyCursor();
  return previous;
}

HCURSOR GetCursor() { return currentCursor; }

int ShowCursor(BOOL show) {
  displayCount += show ? 1 : -1;
  ApplyCursor();
  return displayCount;
}
