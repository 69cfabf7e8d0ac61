// Windows: a plain open through the wide functions, and no read that declines to wait for the
// device.
#include "platform/fileread.h"
#include "platform/platform.h"

int ReadCached(int fd, void* buf, unsigned count) {
  return _read(fd, buf, count);
}

int OpenWalkedFile(const char* path) {
  return _open(path, _O_RDONLY | _O_BINARY);
}
