// The program's spine: the entry point, the start-up sequence, the part table, the frame loop
// and its timer, the window and its messages.
//
// One thread runs everything. StartUp returns only on success: every failure inside it ends the
// process through FatalError. The frame loop runs until a WM_QUIT is taken from the queue
// (Escape, or the window's close button), always finishing the frame being drawn first.
#pragma once

#include <cstdint>

#include "platform/win/win.h"

// One row of the part table.
struct PartEntry {
  void (*frame)(float elapsedMs);  // the part's per-frame operation; argument from GetFrameTime
  int32_t partTime;                // 118000 in the one row; nothing reads it
  bool resetMusicClock;            // when set, the next music-clock reading takes a new origin
};

// Exactly one row: { the demo part's frame operation, 118000, set }. The music clock reads the
// first row's resetMusicClock, whatever the current part.
extern PartEntry partTable[1];
// The demo part's resource loader; StartUp calls it once when it is not null.
extern void (*partLoader)();
// Index into partTable: 0 before the first frame and after Space. Never checked against the
// table size, as nothing else writes it.
extern int32_t currentPart;
// The result of PumpMessages after every frame; the loop ends when it is set.
extern int32_t quitRequested;

// The program's window and its (absent) accelerator table, stored by CreateMainWindow.
extern HWND mainWindow;
extern HACCEL mainAccelerators;

// Entry point: StartUp, the frame loop, then the music is stopped. Arguments ignored; returns 0.
int WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);

// Window, device, projection and view, hidden cursor, the loading screen (drawn and presented
// twice), the part's resources, the music. In that order; never returns on failure.
void StartUp();

// Reads the music clock once (taking its origin), sets currentPart to 0, then per frame: dt,
// the current part's frame operation, present, PumpMessages into quitRequested.
void RunFrameLoop();

// Milliseconds since the previous call (about 0 on the first). The previous reading is kept as
// a 32-bit float, so above 2^24 ms of uptime it is rounded to 2 ms or coarser; it is a fresh
// reading taken after the subtraction, not the one subtracted from.
float GetFrameTime();
// Forgets the previous reading, as at program start (for tests).
void ResetFrameTimer();

// Registers the class "MainLoopEngine" and creates a visible, top-most captioned window with a
// client area of width x height, shows it, gives it the focus and stores it in mainWindow.
// A failed registration is fatal ("Error registering window class", "Init error").
HWND CreateMainWindow(int width, int height, WNDPROC windowProc, const char* title);

// Gives the program's window a client area of width x height (the same allowance for border and
// caption as CreateMainWindow), at the top left of the screen.
void ResizeMainWindow(HWND window, int width, int height);

// WM_DESTROY and Escape post WM_QUIT; Space sets currentPart to 0; WM_SETCURSOR hides the
// cursor on a full-screen device; everything else gets the default processing.
LRESULT MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Takes and dispatches queued messages until the queue is empty (false) or a WM_QUIT is taken
// (true; the rest of the queue stays). Never blocks.
bool PumpMessages();
