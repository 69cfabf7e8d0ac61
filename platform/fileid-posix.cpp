// Which file a name opens, on POSIX: its device and inode numbers.
#include <sys/stat.h>

#include <cerrno>

#include "platform/fileid.h"
#include "platform/fileread.h"
#include "platform/platform.h"

// The descriptor's own status (st_dev, st_ino): the file that is read, even if its name has
// moved since. A name that has become a link or a pipe since the walk is not followed or
// waited on, and a pipe or device is refused as what it is, not as a denied permission.
int OpenFileId(const char* path, FileId* id, uint64_t* size, bool wait) {
  int fd = OpenWalkedFile(path, wait);
  if (fd < 0) return -1;
  struct stat st;
  int error = fstat(fd, &st) != 0   ? errno
              : S_ISREG(st.st_mode) ? 0
              : S_ISDIR(st.st_mode) ? EISDIR
                                    : kErrorNotRegular;
  if (error != 0) {
    _close(fd);
    errno = error;
    return -1;
  }
  id->volume = static_cast<uint64_t>(st.st_dev);
  id->index = static_cast<uint64_t>(st.st_ino);
  *size = static_cast<uint64_t>(st.st_size);
  return fd;
}
