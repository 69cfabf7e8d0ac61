// Size of an open file, as the C runtime's _filelengthi64 gives it.
#include <sys/stat.h>

#include "platform/platform.h"

int64_t _filelengthi64(int fd) {
  struct stat st;
  if (fstat(fd, &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}
