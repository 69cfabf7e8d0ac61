// Windows: a plain open, and no read that declines to wait for the device.
#include <fcntl.h>
#include <io.h>

#include "platform/fileread.h"

int ReadCached(int fd, void* buf, unsigned count) {
  return _read(fd, buf, count);
}

int OpenWalkedFile(const char* path) {
  return _open(path, _O_RDONLY | _O_BINARY);
}
