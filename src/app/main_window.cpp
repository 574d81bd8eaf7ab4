// The program's window: its class, its creation, its procedure and the per-frame message drain.
#include "app/app.h"
#include "app/engine_seams.h"
#include "base/fatal_error.h"

HWND mainWindow = nullptr;
HACCEL mainAccelerators = nullptr;
int32_t currentPart = 0;

namespace {
// The window rectangle is the client size plus a fixed allowance for border and caption.
constexpr int kFrameWidth = 6;
constexpr int kFrameHeight = 26;
constexpr const char* kClassName = "MainLoopEngine";
}  // namespace

HWND CreateMainWindow(int width, int height, WNDPROC windowProc, const char* title) {
  HINSTANCE module = GetModuleHandleA(nullptr);

  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(WNDCLASSEXA);
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = windowProc;
  wc.cbClsExtra = 0;
  wc.cbWndExtra = 0;
  wc.hInstance = module;
  wc.hIcon = LoadIconA(module, "ID_ICON1");
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszMenuName = nullptr;
  wc.lpszClassName = kClassName;
  wc.hIconSm = LoadIconA(module, "ID_ICON1");
  if (RegisterClassExA(&wc) == 0) {
    FatalError("Error registering window class", "Init error");
  }

  // Not checked: a missing window shows up as a failure to create the device on it.
  HWND window = CreateWindowExA(WS_EX_TOPMOST, kClassName, title, WS_VISIBLE | WS_CAPTION | WS_SYSMENU,
                                0, 0, width + kFrameWidth, height + kFrameHeight, nullptr, nullptr, module,
                                nullptr);
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  HACCEL accelerators = LoadAcceleratorsA(module, title);

  mainWindow = window;
  mainAccelerators = accelerators;
  SetFocus(window);
  return window;
}

void ResizeMainWindow(HWND window, int width, int height) {
  MoveWindow(window, 0, 0, width + kFrameWidth, height + kFrameHeight, TRUE);
}

LRESULT MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_SETCURSOR:
      // Full screen: the cursor stays hidden, and the class cursor is never put back.
      if (!engine.deviceIsWindowed()) SetCursor(nullptr);
      return TRUE;
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) PostQuitMessage(0);
      if (wParam == VK_SPACE) currentPart = 0;
      return DefWindowProcA(window, message, wParam, lParam);
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

bool PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) return true;
    if (mainWindow && TranslateAcceleratorA(mainWindow, mainAccelerators, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return false;
}
