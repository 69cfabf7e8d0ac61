// Console pieces that have no Win32 name: one key without echo, the switch test, buffering.
#include <cerrno>

#include "platform/console.h"
#include "platform/platform.h"
#include "platform/widepath-win32.h"

namespace {

// A console, not merely a character device: NUL is one of those too, and _isatty says yes to it.
bool IsConsole(FILE* stream) {
  DWORD mode = 0;
  return GetConsoleMode(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))), &mode) != 0;
}

}  // namespace

int ReadConsoleKey() {
  // The question is on the screen (or in the pipe) before its answer is awaited.
  fflush(stdout);
  fflush(stderr);
  if (IsConsole(stdin)) {
    int key = _getch();
    if (key == 3) EndInterrupted();  // Ctrl-C, which the console gives as a key here
    return key;
  }
  unsigned char c;
  return _read(0, &c, 1) == 1 ? c : -1;
}

// "/" starts a switch, as the command line of Windows programs has it (a lone "/" is an
// unknown switch); "-" does when something follows it.
bool IsSwitchArgument(const char* arg) {
  return arg[0] == '/' || (arg[0] == '-' && arg[1] != 0);
}

void InitConsoleStreams() {
  EndOnConsoleEvents();
  // A report written to a file or pipe goes out in large blocks instead of line by line.
  if (!IsConsole(stdout)) setvbuf(stdout, nullptr, _IOFBF, 1 << 20);
}

// The runtime's printf writes at once and keeps no reason, and a later fflush then succeeds:
// the bytes are lost either way, so one line feed more asks the system what stops them.
int StreamWriteFailure(FILE* stream) {
  HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD put = 0;
  if (h == INVALID_HANDLE_VALUE) return EBADF;
  if (WriteFile(h, "\n", 1, &put, nullptr)) return put == 1 ? 0 : ENOSPC;
  int error = ErrnoOfFindError(GetLastError());
  return error != 0 ? error : EIO;
}

bool StderrIsConsole() {
  return IsConsole(stderr);
}

// The buffer's width, not the window's: a line wraps where the buffer ends.
int StderrConsoleColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info;
  HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stderr)));
  if (GetConsoleScreenBufferInfo(h, &info) && info.dwSize.X > 0) return info.dwSize.X;
  return 80;
}

const char* ProgressMark() {
  return "\376";  // the console's OEM code page shows it as it is
}
