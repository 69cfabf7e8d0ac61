// What a save needs on POSIX: the file a link stands for, and the old file's permission bits.
#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <cstdlib>

#include "platform/save.h"

bool ResolveSaveTarget(const char* name, char* out, size_t cap) {
  struct stat st;
  char resolved[PATH_MAX];
  // A dangling link has no target to keep: the save then replaces the link itself.
  const char* target =
      lstat(name, &st) == 0 && S_ISLNK(st.st_mode) && realpath(name, resolved) ? resolved : name;
  int len = snprintf(out, cap, "%s", target);
  return len >= 0 && static_cast<size_t>(len) < cap;
}

void KeepFileMode(const char* existing, int fd) {
  struct stat st;
  if (stat(existing, &st) == 0) fchmod(fd, st.st_mode & 07777);
}
