// Window classes and windows: each window is an SDL window plus the procedure of its class.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/win/sdl_window.h"
#include "platform/win/win.h"
#include "platform/win/window_table.h"

namespace {
struct WindowClass {
  std::string name;
  WNDPROC proc;
  HCURSOR cursor;
  UINT style;
};

// The fixed allowance for border and caption the program adds to its client size.
constexpr int kFrameWidth = 6;
constexpr int kFrameHeight = 26;

std::vector<WindowClass> classes;
// Window records in creation order; kept (dead or alive) until zelk4::win::Reset.
std::vector<std::unique_ptr<HWND__>> windows;
HWND focusWindow = nullptr;
bool headlessRequested = false;

bool IsLive(HWND window) {
  if (!window) return false;
  for (const auto& w : windows) {
    if (w.get() == window) return w->alive;
  }
  return false;
}

WindowClass* FindClass(const char* name) {
  if (!name) return nullptr;
  for (auto& c : classes) {
    if (c.name == name) return &c;
  }
  return nullptr;
}

bool HeadlessDriver(const char* name) {
  return name && (std::strcmp(name, "dummy") == 0 || std::strcmp(name, "offscreen") == 0);
}
}  // namespace

namespace zelk4::win::detail {
bool StartVideo() {
  if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
  // Ctrl-C ends the program as it would any console program; SDL would turn it into a quit event.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (headlessRequested) {
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "dummy", SDL_HINT_OVERRIDE);
  } else if (!std::getenv("SDL_VIDEODRIVER") && !std::getenv("WAYLAND_DISPLAY")) {
    // Without a Wayland session, asking Wayland only adds a confusing line to standard error.
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11,KMSDRM");
  }
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    std::fprintf(stderr, "win: no display to open a window on (%s); set DISPLAY, or run under Xvfb\n",
                 SDL_GetError());
    std::fflush(stderr);
    return false;
  }
  // SDL falls back on its display-less driver by itself; the program would then run unseen
  // forever. That driver is taken only when asked for.
  if (HeadlessDriver(SDL_GetCurrentVideoDriver()) && !headlessRequested &&
      !HeadlessDriver(std::getenv("SDL_VIDEODRIVER"))) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
    std::fprintf(stderr, "win: no display to open a window on (DISPLAY is not set); set DISPLAY, or run under Xvfb\n");
    std::fflush(stderr);
    return false;
  }
  ResetCursor();
  return true;
}

HWND WindowFromSdlId(uint32_t sdlId) {
  for (const auto& w : windows) {
    if (w->alive && w->sdl && SDL_GetWindowID(w->sdl) == sdlId) return w.get();
  }
  return nullptr;
}
}  // namespace zelk4::win::detail

namespace zelk4::win {
SDL_Window* SdlWindowOf(HWND window) { return IsLive(window) ? window->sdl : nullptr; }

bool IsHeadless() {
  if (SDL_WasInit(SDL_INIT_VIDEO)) return HeadlessDriver(SDL_GetCurrentVideoDriver());
  return headlessRequested || HeadlessDriver(std::getenv("SDL_VIDEODRIVER"));
}

bool UseHeadlessVideo() {
  if (SDL_WasInit(SDL_INIT_VIDEO)) return HeadlessDriver(SDL_GetCurrentVideoDriver());
  headlessRequested = true;
  return true;
}

void Reset() {
  for (auto& w : windows) {
    if (w->sdl) SDL_DestroyWindow(w->sdl);
  }
  windows.clear();
  classes.clear();
  focusWindow = nullptr;
  detail::ResetMessages();
  detail::ResetCursor();
  SetClock(nullptr);
}
}  // namespace zelk4::win

ATOM RegisterClassExA(const WNDCLASSEXA* wc) {
  if (!wc || wc->cbSize != sizeof(WNDCLASSEXA) || !wc->lpfnWndProc || !wc->lpszClassName ||
      !*wc->lpszClassName || FindClass(wc->lpszClassName)) {
    return 0;
  }
  // The class is the first thing the program asks of the windowing system, so this is where a
  // missing display shows.
  if (!zelk4::win::detail::StartVideo()) return 0;
  classes.push_back({wc->lpszClassName, wc->lpfnWndProc, wc->hCursor, wc->style});
  return static_cast<ATOM>(0xC000 + classes.size());
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
  for (auto it = classes.begin(); it != classes.end(); ++it) {
    if (className && it->name == className) {
      classes.erase(it);
      return TRUE;
    }
  }
  return FALSE;
}

namespace {
// The client size of a window of this outer size and style: at least one pixel each way.
void ClientSize(DWORD style, int width, int height, int* clientWidth, int* clientHeight) {
  *clientWidth = width;
  *clientHeight = height;
  if (style & WS_CAPTION) {
    *clientWidth -= kFrameWidth;
    *clientHeight -= kFrameHeight;
  }
  if (*clientWidth < 1) *clientWidth = 1;
  if (*clientHeight < 1) *clientHeight = 1;
}
}  // namespace

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND, HMENU, HINSTANCE, LPVOID) {
  const WindowClass* wc = FindClass(className);
  if (!wc || !zelk4::win::detail::StartVideo()) return nullptr;

  int clientWidth = 0;
  int clientHeight = 0;
  ClientSize(style, width, height, &clientWidth, &clientHeight);

  Uint32 flags = SDL_WINDOW_HIDDEN;
  if (exStyle & WS_EX_TOPMOST) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
  SDL_Window* sdl = SDL_CreateWindow(windowName ? windowName : "", x, y, clientWidth, clientHeight, flags);
  if (!sdl) {
    std::fprintf(stderr, "win: cannot create window \"%s\" (%s)\n", windowName ? windowName : "",
                 SDL_GetError());
    return nullptr;
  }

  auto record = std::make_unique<HWND__>();
  record->sdl = sdl;
  record->proc = wc->proc;
  record->className = wc->name;
  record->classCursor = wc->cursor;
  record->style = style;
  HWND window = record.get();
  windows.push_back(std::move(record));

  if (!SendMessageA(window, WM_NCCREATE, 0, 0) || SendMessageA(window, WM_CREATE, 0, 0) == -1) {
    window->alive = false;
    SDL_HideWindow(sdl);
    return nullptr;
  }
  if (style & WS_VISIBLE) SDL_ShowWindow(sdl);
  return window;
}

BOOL DestroyWindow(HWND window) {
  if (!IsLive(window)) return FALSE;
  SendMessageA(window, WM_DESTROY, 0, 0);
  window->alive = false;
  SDL_HideWindow(window->sdl);
  if (focusWindow == window) focusWindow = nullptr;
  return TRUE;
}

BOOL ShowWindow(HWND window, int command) {
  if (!IsLive(window)) return FALSE;
  const BOOL wasVisible = IsWindowVisible(window);
  if (command == SW_HIDE) {
    SDL_HideWindow(window->sdl);
  } else {
    SDL_ShowWindow(window->sdl);
  }
  return wasVisible;
}

BOOL UpdateWindow(HWND window) { return IsLive(window) ? TRUE : FALSE; }

BOOL IsWindow(HWND window) { return IsLive(window) ? TRUE : FALSE; }

BOOL IsWindowVisible(HWND window) {
  if (!IsLive(window)) return FALSE;
  return (SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_SHOWN) ? TRUE : FALSE;
}

BOOL GetClientRect(HWND window, RECT* rect) {
  if (!IsLive(window) || !rect) return FALSE;
  int w = 0;
  int h = 0;
  SDL_GetWindowSize(window->sdl, &w, &h);
  *rect = RECT{0, 0, w, h};
  return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL) {
  if (!IsLive(window)) return FALSE;
  int clientWidth = 0;
  int clientHeight = 0;
  ClientSize(window->style, width, height, &clientWidth, &clientHeight);
  SDL_SetWindowPosition(window->sdl, x, y);
  SDL_SetWindowSize(window->sdl, clientWidth, clientHeight);
  return TRUE;
}

HWND SetFocus(HWND window) {
  HWND previous = IsLive(focusWindow) ? focusWindow : nullptr;
  if (!IsLive(window)) return previous;
  SDL_RaiseWindow(window->sdl);
  focusWindow = window;
  return previous;
}

HWND GetFocus() { return IsLive(focusWindow) ? focusWindow : nullptr; }

HWND GetTopWindow(HWND) {
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    if ((*it)->alive) return it->get();
  }
  return nullptr;
}
