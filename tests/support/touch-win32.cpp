// The last-write time of an entry itself, set through a handle that does not follow links.
#include <windows.h>

#include "tests/support/touch.h"

int SetWriteTime(const char* path, int64_t unix_seconds, uint32_t nanoseconds) {
  // Backup semantics open directories too; the reparse-point flag keeps a link's own time.
  HANDLE h = CreateFileA(
      path, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 1;
  const int64_t kEpochDelta = 11644473600;  // seconds from 1601 to 1970
  uint64_t ticks =
      static_cast<uint64_t>(unix_seconds + kEpochDelta) * 10000000u + nanoseconds / 100;
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(ticks);
  ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  BOOL ok = SetFileTime(h, nullptr, nullptr, &ft);
  CloseHandle(h);
  return ok ? 0 : 1;
}

int SetHidden(const char* path) {
  DWORD attr = GetFileAttributesA(path);
  if (attr == INVALID_FILE_ATTRIBUTES) return 1;
  return SetFileAttributesA(path, attr | FILE_ATTRIBUTE_HIDDEN) ? 0 : 1;
}

int EvictFromCache(const char*) {
  return -1;
}
