// Which file a name opens, on Windows: its volume serial number and file index.
#include "platform/fileid.h"
#include "platform/fileread.h"
#include "platform/platform.h"

// The volume serial number and file index of the open handle: the file that is read.
int OpenFileId(const char* path, FileId* id, uint64_t* size, bool wait) {
  int fd = OpenWalkedFile(path, wait);
  if (fd == -1) return -1;
  HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  BY_HANDLE_FILE_INFORMATION info;
  if (h == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(h, &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
    _close(fd);
    return -1;
  }
  id->volume = info.dwVolumeSerialNumber;
  id->index = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  *size = (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  return fd;
}
