// One lock for the write and the hand-over, so the lines of two threads stay whole and in the
// same order on standard error and in the report.
#include "core/tell.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>

namespace {

std::mutex tellLock;
void (*tellListener)(const char*, size_t) = nullptr;
std::string pending;  // text after the last line feed, until its line ends

}  // namespace

void SetTellListener(void (*listener)(const char* line, size_t len)) {
  std::lock_guard<std::mutex> hold(tellLock);
  tellListener = listener;
}

namespace {

std::string Format(const char* format, va_list args) {
  va_list again;
  va_copy(again, args);
  int len = vsnprintf(nullptr, 0, format, args);
  std::string text(len > 0 ? static_cast<size_t>(len) : 0, '\0');
  if (len > 0) vsnprintf(&text[0], text.size() + 1, format, again);
  va_end(again);
  return text;
}

void Emit(const std::string& text, FILE* stream) {
  std::lock_guard<std::mutex> hold(tellLock);
  if (tellListener != nullptr) stream = stderr;
  fputs(text.c_str(), stream);
  fflush(stream);
  if (tellListener == nullptr) return;
  for (char c : text) {
    if (c != '\n') {
      pending += c;
      continue;
    }
    tellListener(pending.data(), pending.size());
    pending.clear();
  }
}

}  // namespace

void Tell(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = Format(format, args);
  va_end(args);
  Emit(text, stderr);
}

void TellInReport(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = Format(format, args);
  va_end(args);
  Emit(text, stdout);
}
