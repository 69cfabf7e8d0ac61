// What a save needs on Windows: the name itself, and nothing to carry over.
#include <cstdio>

#include "platform/save.h"

// Windows data files are replaced by name; their attributes need no carrying over here.
bool ResolveSaveTarget(const char* name, char* out, size_t cap) {
  int len = snprintf(out, cap, "%s", name);
  return len >= 0 && static_cast<size_t>(len) < cap;
}

void KeepFileMode(const char*, int) {}
