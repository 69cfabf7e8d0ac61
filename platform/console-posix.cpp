// Console pieces that have no Win32 name: one key without echo, the switch test, buffering.
#include <stdio.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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

int ReadConsoleKey() {
  struct termios saved;
  if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &saved) != 0) return ReadByte();
  // Canonical mode and echo off for one byte; signals stay on so that Ctrl+C still ends the run.
  struct termios raw = saved;
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  tcsetattr(STDIN_FILENO, TCSANOW, &raw);
  int key = ReadByte();
  tcsetattr(STDIN_FILENO, TCSANOW, &saved);
  return key;
}

// "-x" is always a switch. "/x" is one only while it cannot be a path: it holds no other '/'
// and names nothing that exists, so "/s" is a switch and "/home" or "/home/me" a path. "/" alone
// is the root directory here, never a switch.
bool IsSwitchArgument(const char* arg) {
  if (arg[0] == '-') return arg[1] != 0;
  if (arg[0] != '/' || arg[1] == 0 || strchr(arg + 1, '/')) return false;
  struct stat st;
  return lstat(arg, &st) != 0;
}

void InitConsoleStreams() {
  // A report written to a file or pipe goes out in large blocks instead of line by line.
  // glibc ignores the size when it is to allocate the buffer itself, so it is given one.
  static char buffer[1 << 20];
  if (!isatty(STDOUT_FILENO)) setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
}
