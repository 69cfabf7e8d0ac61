// POSIX names are the file system's bytes; a report checks them for UTF-8 itself.
#include "platform/utf8.h"

std::string AnsiToUtf8(const char* text, size_t len) {
  return std::string(text, len);
}
