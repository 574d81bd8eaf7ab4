// The Win32 services the program calls, offered on Linux over SDL2 with their Win32 names,
// constants and results. Only what the program uses is here.
//
// Windows: a registered class and a window are an SDL window with the class's procedure. A
// window with a caption is given an outer size; its client area is that size less the fixed
// allowance the program adds for border and caption (6 by 26 pixels).
//
// Messages: one queue for the one thread. Posted messages (PostMessageA, PostQuitMessage and
// the input read from SDL) are taken in the order they were posted; WM_QUIT is an ordinary
// queued message, so two PostQuitMessage calls queue two of them. Sent messages (SendMessageA,
// WM_SETCURSOR on mouse movement, WM_DESTROY from DestroyWindow) reach the procedure at once.
// Closing a window delivers WM_CLOSE, whose default processing destroys the window (WM_DESTROY).
//
// Message boxes always also write "caption: text" to standard error, so a user without a
// display sees them too; where no display exists the box itself is skipped.
//
// The console is the process's standard output and input.
#pragma once

#include <cstdint>
#include <functional>

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using SHORT = int16_t;
using INT = int;
using UINT = unsigned int;
using LONG = int32_t;
using ULONG = uint32_t;
using BOOL = int;
using FLOAT = float;
using HRESULT = int32_t;
using ATOM = WORD;
using LPVOID = void*;
using LPCSTR = const char*;
using LPSTR = char*;
using LPDWORD = DWORD*;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using HANDLE = void*;

struct HWND__;
using HWND = HWND__*;
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
struct HICON__;
using HICON = HICON__*;
using HCURSOR = HICON;
struct HBRUSH__;
using HBRUSH = HBRUSH__*;
using HGDIOBJ = void*;
struct HMENU__;
using HMENU = HMENU__*;
struct HACCEL__;
using HACCEL = HACCEL__*;

#ifndef WINAPI
#define WINAPI
#endif
#ifndef CALLBACK
#define CALLBACK
#endif
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

struct POINT {
  LONG x;
  LONG y;
};

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};

struct WNDCLASSEXA {
  UINT cbSize;
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCSTR lpszMenuName;
  LPCSTR lpszClassName;
  HICON hIconSm;
};

// Resource names given as numbers (MAKEINTRESOURCE) are small integers cast to pointers.
#define MAKEINTRESOURCEA(i) (reinterpret_cast<LPSTR>(static_cast<uintptr_t>(static_cast<WORD>(i))))
#define IS_INTRESOURCE(p) ((reinterpret_cast<uintptr_t>(p) >> 16) == 0)
#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define IDI_APPLICATION MAKEINTRESOURCEA(32512)

constexpr WORD LOWORD(uintptr_t v) { return static_cast<WORD>(v & 0xFFFF); }
constexpr WORD HIWORD(uintptr_t v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
constexpr LPARAM MAKELPARAM(WORD lo, WORD hi) {
  return static_cast<LPARAM>(static_cast<DWORD>(lo) | (static_cast<DWORD>(hi) << 16));
}

// Messages.
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_SETCURSOR = 0x0020;
constexpr UINT WM_NCCREATE = 0x0081;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_SYSKEYDOWN = 0x0104;
constexpr UINT WM_SYSKEYUP = 0x0105;
constexpr UINT WM_SYSCHAR = 0x0106;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_MBUTTONDOWN = 0x0207;
constexpr UINT WM_MBUTTONUP = 0x0208;
constexpr UINT WM_USER = 0x0400;

constexpr WORD HTCLIENT = 1;

// Virtual-key codes.
constexpr WPARAM VK_BACK = 0x08;
constexpr WPARAM VK_TAB = 0x09;
constexpr WPARAM VK_RETURN = 0x0D;
constexpr WPARAM VK_SHIFT = 0x10;
constexpr WPARAM VK_CONTROL = 0x11;
constexpr WPARAM VK_MENU = 0x12;
constexpr WPARAM VK_PAUSE = 0x13;
constexpr WPARAM VK_CAPITAL = 0x14;
constexpr WPARAM VK_ESCAPE = 0x1B;
constexpr WPARAM VK_SPACE = 0x20;
constexpr WPARAM VK_PRIOR = 0x21;
constexpr WPARAM VK_NEXT = 0x22;
constexpr WPARAM VK_END = 0x23;
constexpr WPARAM VK_HOME = 0x24;
constexpr WPARAM VK_LEFT = 0x25;
constexpr WPARAM VK_UP = 0x26;
constexpr WPARAM VK_RIGHT = 0x27;
constexpr WPARAM VK_DOWN = 0x28;
constexpr WPARAM VK_INSERT = 0x2D;
constexpr WPARAM VK_DELETE = 0x2E;
// '0'..'9' are 0x30..0x39 and 'A'..'Z' are 0x41..0x5A.
constexpr WPARAM VK_NUMPAD0 = 0x60;
constexpr WPARAM VK_MULTIPLY = 0x6A;
constexpr WPARAM VK_ADD = 0x6B;
constexpr WPARAM VK_SUBTRACT = 0x6D;
constexpr WPARAM VK_DECIMAL = 0x6E;
constexpr WPARAM VK_DIVIDE = 0x6F;
constexpr WPARAM VK_F1 = 0x70;  // VK_F1 + n - 1 is Fn, up to F12
constexpr WPARAM VK_F4 = 0x73;
constexpr WPARAM VK_F12 = 0x7B;

// Window and class styles.
constexpr DWORD WS_OVERLAPPED = 0x00000000u;
constexpr DWORD WS_POPUP = 0x80000000u;
constexpr DWORD WS_VISIBLE = 0x10000000u;
constexpr DWORD WS_CAPTION = 0x00C00000u;
constexpr DWORD WS_SYSMENU = 0x00080000u;
constexpr DWORD WS_EX_TOPMOST = 0x00000008u;
constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;

// ShowWindow commands.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOW = 5;

// PeekMessageA options.
constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;

// Stock objects.
constexpr int WHITE_BRUSH = 0;
constexpr int BLACK_BRUSH = 4;

// Message boxes.
constexpr UINT MB_OK = 0x00000000u;
constexpr int IDOK = 1;

// Console handles.
constexpr DWORD STD_INPUT_HANDLE = static_cast<DWORD>(-10);
constexpr DWORD STD_OUTPUT_HANDLE = static_cast<DWORD>(-11);
constexpr DWORD STD_ERROR_HANDLE = static_cast<DWORD>(-12);
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))

// --- Module, resources, GDI -------------------------------------------------------------------

// The program's own module (name null); null for any other name.
HMODULE GetModuleHandleA(LPCSTR moduleName);
// The program carries no resources: icons and accelerator tables loaded from the module are
// null. System icons and cursors (module null) are real handles.
HICON LoadIconA(HINSTANCE instance, LPCSTR name);
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);
HACCEL LoadAcceleratorsA(HINSTANCE instance, LPCSTR name);
// A handle standing for the stock object; null for an unknown index.
HGDIOBJ GetStockObject(int index);

// --- Classes and windows ----------------------------------------------------------------------

// Registers a class by name; 0 when the structure is malformed, the name is taken, or the
// display cannot be opened (the reason is written to standard error).
ATOM RegisterClassExA(const WNDCLASSEXA* windowClass);
BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance);
// Creates an SDL window for a registered class, sends WM_NCCREATE and WM_CREATE, shows it when
// WS_VISIBLE is set. Null when the class is unknown, SDL refuses, or WM_CREATE answers -1.
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param);
// Sends WM_DESTROY, then hides the window for good. Its SDL window lives until process end, so
// a device still holding it never sees a dangling pointer.
BOOL DestroyWindow(HWND window);
// Returns whether the window was visible before.
BOOL ShowWindow(HWND window, int command);
BOOL UpdateWindow(HWND window);
BOOL IsWindow(HWND window);
BOOL IsWindowVisible(HWND window);
BOOL GetClientRect(HWND window, RECT* rect);
// Moves the window and gives it a new outer size (a captioned window's client area is that size
// less the allowance for border and caption). FALSE for a dead window.
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
// Gives the window the keyboard focus; returns the window that had it.
HWND SetFocus(HWND window);
HWND GetFocus();
// The program's top-most live window (the last one created), or null when it has none.
HWND GetTopWindow(HWND parent);

// --- Messages ---------------------------------------------------------------------------------

// Reads pending SDL input into the queue, then takes (PM_REMOVE) or looks at the first message
// for the window (any when null) within [filterMin, filterMax] (all when both are 0). Never
// blocks. FALSE when nothing matches.
BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMsg);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Queues WM_QUIT with the exit code in wParam, behind everything already queued.
void PostQuitMessage(int exitCode);
// For a key-down that stands for a character, queues WM_CHAR to be taken next. TRUE for key
// messages.
BOOL TranslateMessage(const MSG* msg);
// Calls the procedure of the message's window; 0 for a message without a live window.
LRESULT DispatchMessageA(const MSG* msg);
// The program has no accelerator tables: always 0 (not handled).
int TranslateAcceleratorA(HWND window, HACCEL accelerators, MSG* msg);
// Default processing: WM_CLOSE destroys the window, WM_NCCREATE answers TRUE, WM_SETCURSOR sets
// the class cursor in the client area; everything else answers 0.
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// --- Cursor -----------------------------------------------------------------------------------

// Sets the cursor shown over the program's windows (null hides it); returns the previous one.
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();
// Adds one to (show) or takes one from (hide) the display count and returns the new count;
// the cursor is drawn while the count is 0 or more and a cursor is set.
int ShowCursor(BOOL show);

// --- Message boxes and the process ------------------------------------------------------------

// Shows a modal box where a display is available and boxes are enabled; always writes
// "caption: text" to standard error. Returns IDOK.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// Ends the process at once with the given exit code; no clean-up runs.
[[noreturn]] void ExitProcess(UINT exitCode);

// --- Timer ------------------------------------------------------------------------------------

// Milliseconds of system uptime, wrapping at 2^32 (or the injected clock: zelk4::win::SetClock).
DWORD timeGetTime();

// --- Console (standard output and input) ------------------------------------------------------

// The process always has standard streams: TRUE.
BOOL AllocConsole();
// A handle for standard input, output or error; INVALID_HANDLE_VALUE for anything else.
HANDLE GetStdHandle(DWORD which);
// Writes the bytes; the count written goes to `written` when it is not null.
BOOL WriteConsoleA(HANDLE console, const void* buffer, DWORD length, LPDWORD written,
                   LPVOID reserved);
// Discards typed-ahead input on a terminal; input from a pipe or file is left alone.
BOOL FlushConsoleInputBuffer(HANDLE console);
// Never blocks. Reports 1 or more when input is waiting, and also at the end of the input (a
// closed input is an event, so a wait for a key cannot hang forever). On a terminal in its
// usual line mode, input arrives with the Enter key.
BOOL GetNumberOfConsoleInputEvents(HANDLE console, LPDWORD count);

namespace zelk4::win {
// Whether MessageBoxA may show a box at all (tests and headless tools turn boxes off; the
// stderr line is written either way).
void SetMessageBoxesEnabled(bool enabled);

// Replaces the source of timeGetTime (tests and the capture tool step time exactly); an empty
// function restores the system clock.
using Clock = std::function<DWORD()>;
void SetClock(Clock clock);

// Asks for SDL's display-less video driver ("dummy"), so windows, messages and input work with
// no display at all, and skips message boxes. Takes effect for windows created afterwards; false
// when the video system was already started with another driver.
bool UseHeadlessVideo();

// Forgets every window, class and queued message and restores the cursor state and the clock,
// as at program start (SDL's windows are closed). For tests, between cases.
void Reset();
}  // namespace zelk4::win
