#include "base/fatal_error.h"

#include <cstdio>

#include "platform/win/win.h"

namespace {
FatalErrorHook fatalHook = nullptr;
}

void SetFatalErrorHook(FatalErrorHook hook) { fatalHook = hook; }

void FatalError(const char* text, const char* caption) {
  if (fatalHook) {
    std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
    fatalHook(text, caption);
  } else {
    MessageBoxA(GetTopWindow(nullptr), text, caption, MB_OK);
  }
  ExitProcess(1);
}
