// Windows: a plain open through the wide functions, and no read that declines to wait for the
// device.
#include <cerrno>

#include "platform/fileread.h"
#include "platform/platform.h"

int ReadCached(int fd, void* buf, unsigned count) {
  return _read(fd, buf, count);
}

// Win32 keeps paths: its walk has no descriptors to hold, and a runtime open that finds no
// handle free fails as any other open.
int OpenWalkedFile(const char* path, bool) {
  return _open(path, _O_RDONLY | _O_BINARY);
}

// Paths are opened as given: no start path needs to be known.
WalkRoots::WalkRoots() = default;
WalkRoots::~WalkRoots() = default;
void WalkRoots::Trust(const char*) {}

// The system lists everything with the name, so nothing is left for the reader to learn.
HANDLE FindFirstFileDeferringA(const char* pattern, WIN32_FIND_DATAA* data, bool* deferred) {
  *deferred = false;
  return FindFirstFileA(pattern, data);
}

BOOL FindNextFileDeferringA(HANDLE find, WIN32_FIND_DATAA* data, bool* deferred) {
  *deferred = false;
  return FindNextFileA(find, data);
}

int OpenWalkedFileCached(const char* path, bool wait) {
  return OpenWalkedFile(path, wait);
}

int OpenDeferredFile(const char* path, FileFacts* facts, bool) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(path, &data);
  facts->found = find != INVALID_HANDLE_VALUE;
  if (!facts->found) {
    errno = ENOENT;
    return -1;
  }
  FindClose(find);
  facts->Take(data);
  constexpr DWORD kNoContents =
      FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
  if (data.dwFileAttributes & kNoContents) {
    errno = 0;
    return -1;
  }
  return OpenWalkedFile(path);
}
