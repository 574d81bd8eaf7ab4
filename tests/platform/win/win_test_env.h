// Shared by the window-layer and spine tests: a clean, display-less window layer per case, and
// SDL input pushed as if a user had typed, clicked or closed.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include "platform/win/sdl_window.h"
#include "platform/win/win.h"

namespace zelk4::test {

// Every case starts with no windows, classes or messages, on SDL's display-less driver, with
// message boxes off.
class HeadlessWin : public ::testing::Test {
 protected:
  void SetUp() override {
    win::SetMessageBoxesEnabled(false);
    ASSERT_TRUE(win::UseHeadlessVideo());
    win::Reset();
  }
  void TearDown() override { win::Reset(); }
};

inline void PushKey(HWND window, SDL_Keycode key, bool down, Uint16 mods = KMOD_NONE) {
  SDL_Event e{};
  e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  e.key.windowID = SDL_GetWindowID(win::SdlWindowOf(window));
  e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  e.key.keysym.sym = key;
  e.key.keysym.mod = mods;
  SDL_PushEvent(&e);
}

inline void PushKeyPress(HWND window, SDL_Keycode key) {
  PushKey(window, key, true);
  PushKey(window, key, false);
}

inline void PushCloseButton(HWND window) {
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.windowID = SDL_GetWindowID(win::SdlWindowOf(window));
  e.window.event = SDL_WINDOWEVENT_CLOSE;
  SDL_PushEvent(&e);
}

inline void PushMouseMotion(HWND window, int x, int y) {
  SDL_Event e{};
  e.type = SDL_MOUSEMOTION;
  e.motion.windowID = SDL_GetWindowID(win::SdlWindowOf(window));
  e.motion.x = x;
  e.motion.y = y;
  SDL_PushEvent(&e);
}

}  // namespace zelk4::test
