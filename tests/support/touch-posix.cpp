// The last-write time of an entry itself, set with utimensat.
#include <fcntl.h>
#include <sys/stat.h>

#include "tests/support/touch.h"

int SetWriteTime(const char* path, int64_t unix_seconds, uint32_t nanoseconds) {
  timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;  // access time unchanged
  times[1].tv_sec = static_cast<time_t>(unix_seconds);
  times[1].tv_nsec = static_cast<long>(nanoseconds);
  return utimensat(AT_FDCWD, path, times, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : 1;
}

int SetHidden(const char*) {
  return -1;
}
