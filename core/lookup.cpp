// One entry found by its exact name, even where the name holds wildcard characters.
#include "core/lookup.h"

#include <cstring>

HANDLE FindExactFileA(const char* path, WIN32_FIND_DATAA* fd) {
  HANDLE h = FindFirstFileA(path, fd);
  const char* name = strrchr(path, kPathSep);
  name = name ? name + 1 : path;
  if (strpbrk(name, "*?") == nullptr) return h;
  while (h != INVALID_HANDLE_VALUE && strcmp(fd->cFileName, name) != 0) {
    if (!FindNextFileA(h, fd)) {
      FindClose(h);
      h = INVALID_HANDLE_VALUE;
    }
  }
  return h;
}
