// Progress and status lines on standard error, with the mark in the console's own form.
#include "core/progress.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace {

bool quietRun = false;

// The formats are the program's own literals; only the mark byte is replaced.
void Print(const char* format, va_list args) {
  const char* mark = ProgressMark();
  if (mark[0] == '\376' && mark[1] == '\0') {
    vfprintf(stderr, format, args);
    return;
  }
  std::string shown;
  for (const char* p = format; *p; ++p) {
    if (*p == '\376') {
      shown += mark;
    } else {
      shown += *p;
    }
  }
  vfprintf(stderr, shown.c_str(), args);
}

}  // namespace

void SetQuietRun(bool quiet) {
  quietRun = quiet;
}

bool QuietRun() {
  return quietRun;
}

void ProgressLine(const char* format, ...) {
  if (quietRun || !StderrIsConsole()) return;
  va_list args;
  va_start(args, format);
  Print(format, args);
  va_end(args);
}

void FinalLine(const char* format, ...) {
  if (quietRun) return;
  if (StderrIsConsole()) fprintf(stderr, "%79s\r", " ");
  va_list args;
  va_start(args, format);
  Print(format, args);
  va_end(args);
}

void StatusLine(const char* format, ...) {
  if (quietRun) return;
  va_list args;
  va_start(args, format);
  Print(format, args);
  va_end(args);
}
