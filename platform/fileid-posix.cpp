#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/fileid.h"

// The descriptor's own status (st_dev, st_ino): the file that is read, even if its name has
// moved since. A name that has become a link or a pipe since the walk is not followed or
// waited on.
int OpenFileId(const char* path, FileId* id, uint64_t* size) {
  int fd = open(path, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    errno = EACCES;
    return -1;
  }
  id->volume = static_cast<uint64_t>(st.st_dev);
  id->index = static_cast<uint64_t>(st.st_ino);
  *size = static_cast<uint64_t>(st.st_size);
  return fd;
}
