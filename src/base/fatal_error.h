// Failure is fatal in this engine: a failing load or creation shows a message box with a fixed
// text and caption and ends the process. Every box also goes to standard error as
// "caption: text", and the process ends with exit status 1 (a failure never reports success).
#pragma once

// Shows the box (text, caption) and ends the process with exit status 1. Never returns.
[[noreturn]] void FatalError(const char* text, const char* caption);

// A test and fuzzing seam: when set, FatalError calls the hook (after writing the stderr line)
// instead of ending the process. The hook must not return (throw, longjmp or exit); if it
// does, the process ends as usual. Pass null to restore the normal behaviour.
using FatalErrorHook = void (*)(const char* text, const char* caption);
void SetFatalErrorHook(FatalErrorHook hook);
