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

void Tell(const char* format, ...) {
  va_list args, again;
  va_start(args, format);
  va_copy(again, args);
  int len = vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text(len > 0 ? static_cast<size_t>(len) : 0, '\0');
  if (len > 0) vsnprintf(&text[0], text.size() + 1, format, again);
  va_end(again);
  std::lock_guard<std::mutex> hold(tellLock);
  fputs(text.c_str(), stderr);
  fflush(stderr);
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
