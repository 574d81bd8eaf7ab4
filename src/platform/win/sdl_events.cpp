// SDL's input turned into window messages: keys as WM_KEYDOWN/WM_KEYUP with virtual-key codes,
// the close button as WM_CLOSE, mouse movement as a sent WM_SETCURSOR and a queued WM_MOUSEMOVE.
#include <SDL.h>

#include "platform/win/win.h"
#include "platform/win/window_table.h"

namespace detail = zelk4::win::detail;

namespace {
WPARAM VirtualKeyOf(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
  if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
  if (key >= SDLK_F1 && key <= SDLK_F12) return VK_F1 + (key - SDLK_F1);
  if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return VK_NUMPAD0 + 1 + (key - SDLK_KP_1);
  switch (key) {
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return VK_RETURN;
    case SDLK_TAB: return VK_TAB;
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_PAUSE: return VK_PAUSE;
    case SDLK_CAPSLOCK: return VK_CAPITAL;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT: return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL: return VK_CONTROL;
    case SDLK_LALT:
    case SDLK_RALT: return VK_MENU;
    case SDLK_PAGEUP: return VK_PRIOR;
    case SDLK_PAGEDOWN: return VK_NEXT;
    case SDLK_END: return VK_END;
    case SDLK_HOME: return VK_HOME;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_UP: return VK_UP;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_DOWN: return VK_DOWN;
    case SDLK_INSERT: return VK_INSERT;
    case SDLK_DELETE: return VK_DELETE;
    case SDLK_KP_0: return VK_NUMPAD0;
    case SDLK_KP_MULTIPLY: return VK_MULTIPLY;
    case SDLK_KP_PLUS: return VK_ADD;
    case SDLK_KP_MINUS: return VK_SUBTRACT;
    case SDLK_KP_PERIOD: return VK_DECIMAL;
    case SDLK_KP_DIVIDE: return VK_DIVIDE;
    // The US-layout punctuation keys (VK_OEM_*).
    case SDLK_SEMICOLON: return 0xBA;
    case SDLK_EQUALS: return 0xBB;
    case SDLK_COMMA: return 0xBC;
    case SDLK_MINUS: return 0xBD;
    case SDLK_PERIOD: return 0xBE;
    case SDLK_SLASH: return 0xBF;
    case SDLK_BACKQUOTE: return 0xC0;
    case SDLK_LEFTBRACKET: return 0xDB;
    case SDLK_BACKSLASH: return 0xDC;
    case SDLK_RIGHTBRACKET: return 0xDD;
    case SDLK_QUOTE: return 0xDE;
    default: return 0;
  }
}

// Input without a window of its own (no keyboard focus known to SDL) goes to the focus window,
// else the top window, as the program has only one.
HWND TargetOf(uint32_t sdlId) {
  if (HWND w = detail::WindowFromSdlId(sdlId)) return w;
  if (HWND w = GetFocus()) return w;
  return GetTopWindow(nullptr);
}

void Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  detail::Enqueue(MSG{window, message, wParam, lParam, detail::MessageTime(), {0, 0}}, false);
}

void TranslateKey(const SDL_KeyboardEvent& key) {
  const WPARAM vk = VirtualKeyOf(key.keysym.sym);
  HWND window = TargetOf(key.windowID);
  if (vk == 0 || !window) return;
  const bool down = key.type == SDL_KEYDOWN;
  const bool alt = (key.keysym.mod & KMOD_ALT) != 0 || vk == VK_MENU;
  UINT message = down ? (alt ? WM_SYSKEYDOWN : WM_KEYDOWN) : (alt ? WM_SYSKEYUP : WM_KEYUP);
  // lParam: repeat count 1, the scan code in bits 16-23, previous key state in bit 30 and the
  // transition state in bit 31.
  LPARAM lParam = 1 | (static_cast<LPARAM>(key.keysym.scancode & 0xFF) << 16);
  if (!down || key.repeat) lParam |= LPARAM{1} << 30;
  if (!down) lParam |= LPARAM{1} << 31;
  Post(window, message, vk, lParam);
}

void TranslateMouse(uint32_t sdlId, int x, int y, UINT message) {
  HWND window = TargetOf(sdlId);
  if (!window) return;
  SendMessageA(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(HTCLIENT, static_cast<WORD>(message)));
  Post(window, message, 0, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
}

UINT ButtonMessage(uint8_t button, bool down) {
  switch (button) {
    case SDL_BUTTON_LEFT: return down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
    case SDL_BUTTON_RIGHT: return down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
    case SDL_BUTTON_MIDDLE: return down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
    default: return WM_NULL;
  }
}
}  // namespace

namespace zelk4::win::detail {
void ReadSdlEvents() {
  if (!SDL_WasInit(SDL_INIT_EVENTS)) return;
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    switch (e.type) {
      case SDL_KEYDOWN:
      case SDL_KEYUP:
        TranslateKey(e.key);
        break;
      case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
          if (HWND window = WindowFromSdlId(e.window.windowID)) Post(window, WM_CLOSE, 0, 0);
        }
        break;
      case SDL_MOUSEMOTION:
        TranslateMouse(e.motion.windowID, e.motion.x, e.motion.y, WM_MOUSEMOVE);
        break;
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP: {
        const UINT message = ButtonMessage(e.button.button, e.type == SDL_MOUSEBUTTONDOWN);
        if (message != WM_NULL) TranslateMouse(e.button.windowID, e.button.x, e.button.y, message);
        break;
      }
      default:
        // SDL_QUIT follows the close of the last window, which already arrived as WM_CLOSE.
        break;
    }
  }
}
}  // namespace zelk4::win::detail
