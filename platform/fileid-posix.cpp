// Which file a name opens, on POSIX: its device and inode numbers.
#include <fcntl.h>

#include "platform/fileid.h"
#include "platform/regular-posix.h"

// The descriptor's own status (st_dev, st_ino): the file that is read, even if its name has
// moved since. A name that has become a link or a pipe since the walk is not followed or
// waited on.
int OpenFileId(const char* path, FileId* id, uint64_t* size) {
  struct stat st;
  int fd = OpenRegularAt(AT_FDCWD, path, O_RDONLY | O_NOFOLLOW, &st);
  if (fd < 0) return -1;
  id->volume = static_cast<uint64_t>(st.st_dev);
  id->index = static_cast<uint64_t>(st.st_ino);
  *size = static_cast<uint64_t>(st.st_size);
  return fd;
}
