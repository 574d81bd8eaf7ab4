// The console is the process's standard streams.
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "platform/win/win.h"

namespace {
struct ConsoleStream {
  int fd;
};
ConsoleStream standardInput{STDIN_FILENO};
ConsoleStream standardOutput{STDOUT_FILENO};
ConsoleStream standardError{STDERR_FILENO};

const ConsoleStream* StreamOf(HANDLE handle) {
  if (handle == &standardInput || handle == &standardOutput || handle == &standardError) {
    return static_cast<const ConsoleStream*>(handle);
  }
  return nullptr;
}
}  // namespace

BOOL AllocConsole() { return TRUE; }

HANDLE GetStdHandle(DWORD which) {
  switch (which) {
    case STD_INPUT_HANDLE: return &standardInput;
    case STD_OUTPUT_HANDLE: return &standardOutput;
    case STD_ERROR_HANDLE: return &standardError;
    default: return INVALID_HANDLE_VALUE;
  }
}

BOOL WriteConsoleA(HANDLE console, const void* buffer, DWORD length, LPDWORD written, LPVOID) {
  const ConsoleStream* stream = StreamOf(console);
  if (written) *written = 0;
  if (!stream || (!buffer && length > 0)) return FALSE;
  const char* bytes = static_cast<const char*>(buffer);
  DWORD done = 0;
  while (done < length) {
    const ssize_t n = ::write(stream->fd, bytes + done, length - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<DWORD>(n);
  }
  if (written) *written = done;
  return done == length ? TRUE : FALSE;
}

BOOL FlushConsoleInputBuffer(HANDLE console) {
  const ConsoleStream* stream = StreamOf(console);
  if (!stream) return FALSE;
  if (isatty(stream->fd)) tcflush(stream->fd, TCIFLUSH);
  return TRUE;
}

BOOL GetNumberOfConsoleInputEvents(HANDLE console, LPDWORD count) {
  const ConsoleStream* stream = StreamOf(console);
  if (!stream || !count) return FALSE;
  pollfd p{stream->fd, POLLIN, 0};
  *count = 0;
  if (::poll(&p, 1, 0) <= 0) return TRUE;
  // Waiting bytes count as events; readable with nothing to read is the end of the input.
  int waiting = 0;
  if ((p.revents & POLLIN) && ioctl(stream->fd, FIONREAD, &waiting) == 0 && waiting > 0) {
    *count = static_cast<DWORD>(waiting);
  } else {
    *count = 1;
  }
  return TRUE;
}
