// The debug console: formatted text to a console (standard output here) and a wait for a key.
// No operation of the demo uses it; it is part of the engine's toolkit.
#pragma once

#include "platform/win/win.h"

// Opens the console on first use and returns its output handle.
HANDLE ConsoleOpen();
// printf-style. Writes nothing until the console is open. Texts longer than 4095 characters
// are cut.
void ConsolePrint(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Discards typed-ahead input, then waits (busily) until input arrives. A closed input ends the
// wait too.
void ConsoleWaitKey();
// Opens the console, prints, waits for a key and ends the process with exit status 1.
[[noreturn]] void ConsoleFatal(const char* format, ...) __attribute__((format(printf, 1, 2)));
