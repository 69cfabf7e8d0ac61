// Which file a name opens, on Windows: its volume serial number and file index.
#include <cerrno>

#include "platform/fileid.h"
#include "platform/fileread.h"
#include "platform/platform.h"
#include "platform/widepath-win32.h"

// The volume serial number and file index of the open handle: the file that is read.
int OpenFileId(const char* path, FileId* id, uint64_t* size, bool wait) {
  int fd = OpenWalkedFile(path, wait);
  if (fd == -1) return -1;
  HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  BY_HANDLE_FILE_INFORMATION info;
  // A name that is a directory now (or a reparse point) has no bytes of the file that was found.
  int error = h == INVALID_HANDLE_VALUE                              ? EBADF
              : !GetFileInformationByHandle(h, &info)                ? SetErrnoFromLastError()
              : info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY     ? EISDIR
              : info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT ? EACCES
                                                                     : 0;
  if (error != 0) {
    _close(fd);
    errno = error;
    return -1;
  }
  id->volume = info.dwVolumeSerialNumber;
  id->index = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  *size = (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  return fd;
}
