// The Win32 services the program calls, offered on Linux over SDL2 with their Win32 names,
// constants and results. Only what the program uses is here. Message boxes always also write
// "caption: text" to standard error, so a user without a display sees them too.
#pragma once

#include <cstdint>

using BOOL = int;
using UINT = unsigned int;
using DWORD = uint32_t;
using WORD = uint16_t;
using LONG = int32_t;
using LPCSTR = const char*;
using LPSTR = char*;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using HANDLE = void*;

struct HWND__;
using HWND = HWND__*;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

constexpr UINT MB_OK = 0x00000000u;
constexpr int IDOK = 1;

// Shows a modal box where a display is available and boxes are enabled; always writes
// "caption: text" to standard error. Returns IDOK.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// The top-most window of the program, or null when it has none.
HWND GetTopWindow(HWND parent);

// Ends the process at once with the given exit code; no clean-up runs.
[[noreturn]] void ExitProcess(UINT exitCode);

// Milliseconds since an arbitrary origin, wrapping at 2^32.
DWORD timeGetTime();

namespace win {
// Whether MessageBoxA may show a box at all (tests and headless tools turn boxes off; the
// stderr line is written either way).
void SetMessageBoxesEnabled(bool enabled);
}  // namespace win
