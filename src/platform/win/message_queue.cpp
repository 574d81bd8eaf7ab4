// The one message queue: posted messages in order, sent messages straight to the procedure.
#include <SDL.h>

#include <deque>

#include "platform/win/win.h"
#include "platform/win/window_table.h"

namespace detail = zelk4::win::detail;

namespace {
std::deque<MSG> queue;

bool Matches(const MSG& msg, HWND window, UINT filterMin, UINT filterMax) {
  if (window && msg.hwnd != window) return false;
  if (filterMin == 0 && filterMax == 0) return true;
  return msg.message >= filterMin && msg.message <= filterMax;
}

bool Live(HWND window) { return window && IsWindow(window); }

// The character a key-down stands for, or 0. Letters follow the shift and caps-lock state.
char CharacterOf(WPARAM vk) {
  if (vk >= 'A' && vk <= 'Z') {
    const SDL_Keymod mods = SDL_GetModState();
    const bool upper = ((mods & KMOD_SHIFT) != 0) != ((mods & KMOD_CAPS) != 0);
    return static_cast<char>(upper ? vk : vk - 'A' + 'a');
  }
  if (vk >= '0' && vk <= '9') return static_cast<char>(vk);
  switch (vk) {
    case VK_SPACE: return ' ';
    case VK_RETURN: return '\r';
    case VK_ESCAPE: return 0x1B;
    case VK_TAB: return '\t';
    case VK_BACK: return 0x08;
    default: return 0;
  }
}
}  // namespace

namespace zelk4::win::detail {
void Enqueue(const MSG& msg, bool atFront) {
  if (atFront) {
    queue.push_front(msg);
  } else {
    queue.push_back(msg);
  }
}

DWORD MessageTime() { return timeGetTime(); }

void ResetMessages() { queue.clear(); }
}  // namespace zelk4::win::detail

BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMsg) {
  detail::ReadSdlEvents();
  for (auto it = queue.begin(); it != queue.end(); ++it) {
    if (!Matches(*it, window, filterMin, filterMax)) continue;
    if (msg) *msg = *it;
    if (removeMsg & PM_REMOVE) queue.erase(it);
    return TRUE;
  }
  return FALSE;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window && !Live(window)) return FALSE;
  detail::Enqueue(MSG{window, message, wParam, lParam, detail::MessageTime(), {0, 0}}, false);
  return TRUE;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!Live(window) || !window->proc) return 0;
  return window->proc(window, message, wParam, lParam);
}

void PostQuitMessage(int exitCode) {
  detail::Enqueue(MSG{nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0, detail::MessageTime(), {0, 0}},
                  false);
}

BOOL TranslateMessage(const MSG* msg) {
  if (!msg) return FALSE;
  switch (msg->message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      const char c = CharacterOf(msg->wParam);
      if (c != 0) {
        const UINT charMessage = msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
        detail::Enqueue(MSG{msg->hwnd, charMessage, static_cast<WPARAM>(static_cast<unsigned char>(c)),
                            msg->lParam, msg->time, msg->pt},
                        true);
      }
      return TRUE;
    }
    case WM_KEYUP:
    case WM_SYSKEYUP:
      return TRUE;
    default:
      return FALSE;
  }
}

LRESULT DispatchMessageA(const MSG* msg) {
  if (!msg) return 0;
  return SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

int TranslateAcceleratorA(HWND, HACCEL, MSG*) { return 0; }

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE:
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_SYSKEYDOWN:
      // Alt+F4 asks the window to close, as the system menu would.
      if (wParam == VK_F4) PostMessageA(window, WM_CLOSE, 0, 0);
      return 0;
    case WM_SETCURSOR:
      if (Live(window) && LOWORD(static_cast<uintptr_t>(lParam)) == HTCLIENT) {
        SetCursor(window->classCursor);
        return TRUE;
      }
      return FALSE;
    default:
      return 0;
  }
}
