// Size of an open file and moving its offset, as the C runtime's _filelengthi64 and
// _lseeki64 do.
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"

int64_t _filelengthi64(int fd) {
  struct stat st;
  if (fstat(fd, &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

int64_t _lseeki64(int fd, int64_t offset, int origin) {
  return static_cast<int64_t>(lseek(fd, static_cast<off_t>(offset), origin));
}
