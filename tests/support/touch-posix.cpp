// The last-write time of an entry itself, set with utimensat.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

int EvictFromCache(const char* path) {
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  bool ok = fdatasync(fd) == 0 && posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0;
  close(fd);
  return ok ? 0 : -1;
}
