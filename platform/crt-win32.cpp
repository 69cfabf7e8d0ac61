// The C runtime's file calls the program uses, made on the wide functions: a file named AUX,
// "notes." or one 600 characters deep opens as itself.
#include <cerrno>
#include <string>

#include "platform/platform.h"
#include "platform/widepath-win32.h"

namespace {

DWORD Disposition(int flags) {
  if ((flags & _O_CREAT) && (flags & _O_EXCL)) return CREATE_NEW;
  if ((flags & _O_CREAT) && (flags & _O_TRUNC)) return CREATE_ALWAYS;
  if (flags & _O_CREAT) return OPEN_ALWAYS;
  return (flags & _O_TRUNC) ? TRUNCATE_EXISTING : OPEN_EXISTING;
}

}  // namespace

// Shared for deletion too, so that a rename may replace a file being read and a console event
// may remove a temporary file still open.
int OpenWide(const char* path, int flags, int mode) {
  std::wstring wide;
  if (!WidePath(path, &wide)) {
    errno = ENOENT;
    return -1;
  }
  DWORD access = (flags & _O_RDWR)     ? GENERIC_READ | GENERIC_WRITE
                 : (flags & _O_WRONLY) ? GENERIC_WRITE
                                       : GENERIC_READ;
  DWORD attributes =
      (flags & _O_CREAT) && !(mode & _S_IWRITE) ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL;
  if (access == GENERIC_READ) attributes |= FILE_FLAG_SEQUENTIAL_SCAN;
  HANDLE h =
      CreateFileW(wide.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, Disposition(flags), attributes, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    SetErrnoFromLastError();
    return -1;
  }
  int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h),
                           flags & (_O_WRONLY | _O_RDWR | _O_APPEND | _O_BINARY | _O_TEXT));
  if (fd == -1) {
    CloseHandle(h);
    errno = EMFILE;
  }
  return fd;
}

int AccessWide(const char* path, int mode) {
  std::wstring wide;
  if (!WidePath(path, &wide)) {
    errno = ENOENT;
    return -1;
  }
  DWORD attr = GetFileAttributesW(wide.c_str());
  if (attr == INVALID_FILE_ATTRIBUTES) {
    SetErrnoFromLastError();
    return -1;
  }
  if ((mode & 2) && (attr & FILE_ATTRIBUTE_READONLY) && !(attr & FILE_ATTRIBUTE_DIRECTORY)) {
    errno = EACCES;
    return -1;
  }
  return 0;
}

int UnlinkWide(const char* path) {
  std::wstring wide;
  if (!WidePath(path, &wide)) {
    errno = ENOENT;
    return -1;
  }
  if (DeleteFileW(wide.c_str())) return 0;
  SetErrnoFromLastError();
  return -1;
}

BOOL MoveFileExWide(const char* from, const char* to, DWORD flags) {
  std::wstring a, b;
  if (!WidePath(from, &a) || !WidePath(to, &b)) {
    SetLastError(ERROR_INVALID_NAME);
    errno = ENOENT;
    return FALSE;
  }
  if (flags & MOVEFILE_REPLACE_EXISTING) UnlockBeforeReplace(b);
  if (MoveFileExW(a.c_str(), b.c_str(), flags)) return TRUE;
  DWORD code = GetLastError();
  SetErrnoFromLastError();
  SetLastError(code);
  return FALSE;
}

// Made absolute by the text alone: GetFullPathName would turn "dir\aux.txt" into the device
// \\.\aux and cut the trailing dots and spaces of a name.
char* FullPathWide(char* abs, const char* rel, size_t max) {
  std::wstring wide;
  if (!AbsoluteWidePath(rel != nullptr && rel[0] != '\0' ? rel : ".", &wide)) {
    errno = ENOENT;
    return nullptr;
  }
  std::string text(wide.size() * 2 + 1, '\0');
  BOOL lost = FALSE;
  bool utf8 = GetACP() == CP_UTF8;
  int n = WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, &text[0],
                              static_cast<int>(text.size()), nullptr, utf8 ? nullptr : &lost);
  if (n <= 0 || lost || static_cast<size_t>(n) > max || abs == nullptr) {
    errno = ERANGE;
    return nullptr;
  }
  memcpy(abs, text.c_str(), static_cast<size_t>(n));
  return abs;
}

// The runtime's _write says EINVAL for a write that a full disk took only part of: the system's
// own reason instead, and a short count as POSIX gives one. Only for descriptors opened
// _O_BINARY (the data file): no text translation is made.
int WriteWide(int fd, const void* buf, unsigned count) {
  HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  if (h == INVALID_HANDLE_VALUE) {
    errno = EBADF;
    return -1;
  }
  DWORD put = 0;
  if (WriteFile(h, buf, count, &put, nullptr)) {
    if (put > 0 || count == 0) return static_cast<int>(put);
    errno = ENOSPC;  // nothing taken and no error: the disk is full
    return -1;
  }
  SetErrnoFromLastError();
  return -1;
}
