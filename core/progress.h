// Lines on standard error that show how far a run has got. Carriage-return lines, which the
// next line overwrites, are drawn only on a console: in a log they would only pile up. The
// lines that stay are printed always, with the mark \376 in the console's own form.
#pragma once

#include <chrono>
#include <string>

#include "platform/console.h"

/// Progress text drawn as it is, but for the cut to the console's width; for a console only.
void DrawProgress(const std::string& text);
/// Whether the console shows UTF-8 (the mark is then the character, not the byte).
bool ConsoleShowsUtf8();

/// The progress and status lines of a run; a quiet one (--quiet) draws none, so that standard
/// error holds only warnings and errors.
class Progress {
 public:
  explicit Progress(bool quiet = false) : quiet_(quiet) {}

  bool Quiet() const { return quiet_; }
  /// A carriage-return progress line: printed only when standard error is a console, each part
  /// cut to the console's width.
  void Line(const char* format, ...) const;
  /// A line that stays; on a console the line is blanked first, so no progress text shows
  /// through.
  void Final(const char* format, ...) const;
  /// A line that stays, printed as it is.
  void Status(const char* format, ...) const;

 private:
  bool quiet_;
};

/// Progress lines are drawn at most ten times a second, and only on a console: a tree of a
/// million files would otherwise spend its time writing them.
class ProgressTimer {
 public:
  explicit ProgressTimer(bool quiet) : console_(StderrIsConsole() && !quiet) {}

  /// True for the first call and then once per interval.
  bool Due() {
    if (!console_) return false;
    auto now = std::chrono::steady_clock::now();
    if (started_ && now - last_ < std::chrono::milliseconds(100)) return false;
    started_ = true;
    last_ = now;
    return true;
  }

 private:
  bool console_;
  bool started_ = false;
  std::chrono::steady_clock::time_point last_;
};
