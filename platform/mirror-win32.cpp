// The C runtime of the Win32 build has no stream of the program's own making.
#include "platform/mirror.h"

bool MirrorStderrLines(void (*)(const char*, size_t)) {
  return false;
}
