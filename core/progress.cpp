// Progress and status lines on standard error, with the mark in the console's own form.
#include "core/progress.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/consolefit.h"

namespace {

// The formats are the program's own literals; only the mark byte is replaced.
std::string Format(const char* format, va_list args) {
  const char* mark = ProgressMark();
  std::string shown;
  for (const char* p = format; *p; ++p) {
    if (*p == '\376') {
      shown += mark;
    } else {
      shown += *p;
    }
  }
  va_list again;
  va_copy(again, args);
  int len = vsnprintf(nullptr, 0, shown.c_str(), args);
  std::string out(len > 0 ? static_cast<size_t>(len) : 0, '\0');
  if (len > 0) vsnprintf(&out[0], out.size() + 1, shown.c_str(), again);
  va_end(again);
  return out;
}

}  // namespace

bool ConsoleShowsUtf8() {
  return strcmp(ProgressMark(), "\376") != 0;
}

void DrawProgress(const std::string& text) {
  fputs(FitToConsole(text, StderrConsoleColumns(), ConsoleShowsUtf8()).c_str(), stderr);
}

void Progress::Line(const char* format, ...) const {
  if (quiet_ || !StderrIsConsole()) return;
  va_list args;
  va_start(args, format);
  DrawProgress(Format(format, args));
  va_end(args);
}

void Progress::Final(const char* format, ...) const {
  if (quiet_) return;
  // Blanks as wide as the cut of the progress lines, so none of their text shows through.
  if (StderrIsConsole()) {
    int columns = StderrConsoleColumns();
    DrawProgress(std::string(columns > 1 ? static_cast<size_t>(columns) - 1 : 0, ' ') + "\r");
  }
  va_list args;
  va_start(args, format);
  fputs(Format(format, args).c_str(), stderr);
  va_end(args);
}

void Progress::Status(const char* format, ...) const {
  if (quiet_) return;
  va_list args;
  va_start(args, format);
  fputs(Format(format, args).c_str(), stderr);
  va_end(args);
}
