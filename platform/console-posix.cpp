// Console pieces that have no Win32 name: one key without echo, the switch test, buffering.
#include <langinfo.h>
#include <locale.h>
#include <stdio.h>
#include <strings.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

#include "platform/console.h"
#include "platform/platform.h"

namespace {

int ReadByte() {
  unsigned char c;
  ssize_t n;
  do n = read(STDIN_FILENO, &c, 1);
  while (n < 0 && errno == EINTR);
  return n == 1 ? c : -1;
}

}  // namespace

namespace {

struct termios savedTerminal;

// A run ended at the prompt (Ctrl+C, a kill) must not leave the terminal without echo.
void RestoreTerminalAndExit(int sig) {
  tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
  signal(sig, SIG_DFL);
  raise(sig);
}

}  // namespace

int ReadConsoleKey() {
  if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &savedTerminal) != 0) return ReadByte();
  // Canonical mode and echo off for one byte; signals stay on so that Ctrl+C still ends the run.
  struct termios raw = savedTerminal;
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  struct sigaction restore = {}, oldInt, oldTerm, oldHup;
  restore.sa_handler = RestoreTerminalAndExit;
  sigemptyset(&restore.sa_mask);
  sigaction(SIGINT, &restore, &oldInt);
  sigaction(SIGTERM, &restore, &oldTerm);
  sigaction(SIGHUP, &restore, &oldHup);
  tcsetattr(STDIN_FILENO, TCSANOW, &raw);
  int key = ReadByte();
  tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
  sigaction(SIGINT, &oldInt, nullptr);
  sigaction(SIGTERM, &oldTerm, nullptr);
  sigaction(SIGHUP, &oldHup, nullptr);
  return key;
}

// "-x" is always a switch. "/x" is one only while it cannot be a path: it holds no other '/'
// and names nothing that exists, so "/s" is a switch and "/home" or "/home/me" a path. "/"
// alone is refused as a switch with no letter, as on Windows; the root is "/." here.
bool IsSwitchArgument(const char* arg) {
  if (arg[0] == '-') return arg[1] != 0;
  if (arg[0] != '/') return false;
  if (arg[1] == 0) return true;
  if (strchr(arg + 1, '/')) return false;
  struct stat st;
  return lstat(arg, &st) != 0;
}

void InitConsoleStreams() {
  ProgressMark();  // the locale is read once, before anything else runs
  // A report written to a file or pipe goes out in large blocks instead of line by line.
  // glibc ignores the size when it is to allocate the buffer itself, so it is given one.
  static char buffer[1 << 20];
  if (!isatty(STDOUT_FILENO)) setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
  // A file-size limit (ulimit -f) then fails a write like a full disk, with a message, where
  // SIGXFSZ would end the run without one: the report's and the save's checks both see it.
  signal(SIGXFSZ, SIG_IGN);
}

// The C library's errno after a failed fflush names the reason.
int StreamWriteFailure(FILE*) {
  return 0;
}

bool StderrIsConsole() {
  return isatty(STDERR_FILENO) != 0;
}

int StderrConsoleColumns() {
  struct winsize size = {};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

const char* ProgressMark() {
  // The user's locale is consulted and then put back: the rest of the program folds case and
  // classifies bytes in the "C" locale whatever the environment says.
  static const char* const mark = [] {
    std::string saved = setlocale(LC_CTYPE, nullptr);
    bool utf8 = false;
    if (setlocale(LC_CTYPE, "") != nullptr) {
      const char* codeset = nl_langinfo(CODESET);
      utf8 = strcasecmp(codeset, "UTF-8") == 0 || strcasecmp(codeset, "UTF8") == 0;
    }
    setlocale(LC_CTYPE, saved.c_str());
    return utf8 ? "\xE2\x96\xA0" : "\376";  // U+25A0 BLACK SQUARE
  }();
  return mark;
}
