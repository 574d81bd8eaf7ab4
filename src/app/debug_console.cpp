#include "app/debug_console.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {
// DebugConsole: the one output handle, null until opened.
HANDLE consoleOutput = nullptr;

void WriteFormatted(const char* format, va_list args) {
  char buffer[4096];
  std::vsnprintf(buffer, sizeof buffer, format, args);
  WriteConsoleA(consoleOutput, buffer, static_cast<DWORD>(std::strlen(buffer)), nullptr, nullptr);
}
}  // namespace

HANDLE ConsoleOpen() {
  if (!consoleOutput) {
    AllocConsole();
    consoleOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  }
  return consoleOutput;
}

void ConsolePrint(const char* format, ...) {
  if (!consoleOutput) return;
  va_list args;
  va_start(args, format);
  WriteFormatted(format, args);
  va_end(args);
}

void ConsoleWaitKey() {
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  FlushConsoleInputBuffer(input);
  DWORD events = 0;
  do {
    if (!GetNumberOfConsoleInputEvents(input, &events)) break;
  } while (events == 0);
}

void ConsoleFatal(const char* format, ...) {
  ConsoleOpen();
  va_list args;
  va_start(args, format);
  WriteFormatted(format, args);
  va_end(args);
  ConsoleWaitKey();
  ExitProcess(1);
}
