// Path text: joined within a buffer's bounds, and shown in a warning when an entry is skipped.
#include "core/pathtext.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "core/reason.h"
#include "core/tell.h"
#include "core/verdict.h"
#include "platform/platform.h"

bool JoinText(char* out, size_t cap, const char* a, const char* b) {
  size_t la = strlen(a), lb = strlen(b);
  if (la + lb >= cap) return false;
  memcpy(out, a, la);
  memcpy(out + la, b, lb + 1);
  return true;
}

void WarnSkipped(int error, const char* dir, const char* name) {
  std::string shown = std::string(dir) + name;
  CharToOemA(&shown[0], &shown[0]);
  Tell(" *** Warning: %s: %s\n", ReasonText(error), shown.c_str());
  NoteTrouble();
}
