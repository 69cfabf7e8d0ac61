// Standard error becomes a stream of our own that writes to the old one and cuts lines for the
// hook; the stream's lock keeps lines from two threads apart.
#include <stdio.h>

#include <string>

#include "platform/mirror.h"

namespace {

FILE* realStderr = nullptr;
void (*lineHook)(const char*, size_t) = nullptr;
std::string pending;

ssize_t WriteThrough(void*, const char* buf, size_t size) {
  size_t written = fwrite(buf, 1, size, realStderr);
  fflush(realStderr);
  for (size_t i = 0; i < size; ++i) {
    if (buf[i] != '\n') {
      pending += buf[i];
      continue;
    }
    lineHook(pending.data(), pending.size());
    pending.clear();
  }
  return static_cast<ssize_t>(written);
}

}  // namespace

bool MirrorStderrLines(void (*hook)(const char* line, size_t len)) {
  if (realStderr != nullptr) return true;
  cookie_io_functions_t io = {nullptr, WriteThrough, nullptr, nullptr};
  FILE* mirror = fopencookie(nullptr, "w", io);
  if (mirror == nullptr) return false;
  setvbuf(mirror, nullptr, _IONBF, 0);
  lineHook = hook;
  realStderr = stderr;
  stderr = mirror;
  return true;
}
