// The C-runtime file functions, path helpers and CharToOemA on top of POSIX calls.
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string>

#include "platform/dircache-posix.h"
#include "platform/fileread.h"
#include "platform/platform.h"
#include "platform/regular-posix.h"

namespace {

// The file the last read-only _open of this thread gave, while it is open: asking whether that
// path may be read is then answered by the open itself, when the real and effective ids are the
// same.
thread_local int readFd = -1;
thread_local std::string readPath;

bool RealIdsAreEffective() {
  static const bool same = getuid() == geteuid() && getgid() == getegid();
  return same;
}

}  // namespace

int OpenRegularAt(int dir, const char* name, int flags, struct stat* st) {
  int fd = openat(dir, name, flags | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  // A failed fstat keeps its own reason (an I/O error is not a refusal); what is no regular
  // file is not for reading here: a directory is refused as Windows refuses one, a FIFO or
  // device as what it is.
  int err = fstat(fd, st) != 0     ? errno
            : S_ISREG(st->st_mode) ? 0
            : S_ISDIR(st->st_mode) ? EACCES
                                   : kErrorNotRegular;
  if (err != 0) {
    close(fd);
    errno = err;
    return -1;
  }
  return fd;
}

int _open(const char* path, int flags, int mode) {
  bool readOnly = (flags & O_ACCMODE) == O_RDONLY && !(flags & O_CREAT);
  if (!readOnly) return open(path, flags | O_CLOEXEC, mode);
  // A path as the user gave it (a data file may be a link): taken as given.
  struct stat st;
  int fd = OpenRegularAt(AT_FDCWD, path, flags, &st);
  if (fd < 0) return -1;
  readFd = fd;
  readPath.assign(path);
  return fd;
}

namespace {

// A name that is one entry of the directory it is looked up in: nothing to resolve beneath it.
bool OneEntry(const char* name) {
  return strchr(name, '/') == nullptr && strcmp(name, ".") != 0 && strcmp(name, "..") != 0;
}

// The one open of every reader: a walked file, beneath its directory, no link followed, under
// the one descriptor policy. One entry of the directory's descriptor is opened with O_NOFOLLOW,
// which refuses a link as RESOLVE_NO_SYMLINKS does: openat2 would take a hold on the directory
// for each open, which readers of one directory contend for.
int OpenWalked(const char* path, bool cachedOnly, bool wait) {
  const int flags = O_RDONLY | O_NONBLOCK;
  auto open = [&] {
    return AtParent(path, [&](int dir, const char* name) {
      if (dir != AT_FDCWD && !cachedOnly && OneEntry(name))
        return openat(dir, name, flags | O_NOFOLLOW | O_CLOEXEC);
      return OpenEntryAt(dir, name, flags, cachedOnly);
    });
  };
  int fd = OpenWaitingForDescriptor(open, wait);
  if (fd < 0) return -1;
  readFd = fd;
  readPath.assign(path);
  return fd;
}

}  // namespace

int OpenWalkedFile(const char* path, bool wait) {
  return OpenWalked(path, false, wait);
}

int OpenWalkedFileCached(const char* path, bool wait) {
  int fd = OpenWalked(path, true, wait);
  if (fd < 0 && errno == EAGAIN) return -1;
  return fd;
}

int _read(int fd, void* buf, unsigned count) {
  if (count > INT_MAX) count = INT_MAX;
  ssize_t n;
  do n = read(fd, buf, count);
  while (n < 0 && errno == EINTR);
  return static_cast<int>(n);
}

int _write(int fd, const void* buf, unsigned count) {
  if (count > INT_MAX) count = INT_MAX;
  ssize_t n;
  do n = write(fd, buf, count);
  while (n < 0 && errno == EINTR);
  return static_cast<int>(n);
}

int _close(int fd) {
  if (fd == readFd) readFd = -1;
  NoteDescriptorClosed();
  return close(fd);
}
int _access(const char* path, int mode) {
  if (mode == R_OK && readFd >= 0 && RealIdsAreEffective() && readPath == path) return 0;
  return AtParent(path, [&](int dir, const char* name) { return faccessat(dir, name, mode, 0); });
}
int _commit(int fd) {
  return fsync(fd);
}
int _getpid() {
  return static_cast<int>(getpid());
}
int _isatty(int fd) {
  return isatty(fd);
}
int _fileno(FILE* stream) {
  return fileno(stream);
}
int _unlink(const char* path) {
  return unlink(path);
}

namespace {

// Flushes the directory that holds `path`, so that a rename into it is on disk.
bool SyncParentDirectory(const char* path) {
  const char* slash = strrchr(path, '/');
  std::string dir = !slash ? "." : std::string(path, slash == path ? 1 : slash - path);
  int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = fsync(fd) == 0;
  close(fd);
  return ok;
}

}  // namespace

BOOL MoveFileExA(const char* from, const char* to, DWORD flags) {
  if (!(flags & MOVEFILE_REPLACE_EXISTING)) {
    // Windows refuses to replace without the flag; rename(2) would not.
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) != 0) {
      if (errno != EINVAL && errno != ENOSYS) return FALSE;
      struct stat st;
      if (lstat(to, &st) == 0) {
        errno = EEXIST;
        return FALSE;
      }
      if (rename(from, to) != 0) return FALSE;
    }
  } else if (rename(from, to) != 0) {
    return FALSE;
  }
  // Once renamed the file is replaced: flushing the directory entry is best effort (some file
  // systems refuse fsync on a directory), never a failure that would claim the old file stayed.
  if (flags & MOVEFILE_WRITE_THROUGH) SyncParentDirectory(to);
  return TRUE;
}

namespace {

// Appends the components of `path` to `out` (which holds "" or an absolute path without a
// trailing '/'), dropping "." and applying ".." lexically.
void AppendComponents(std::string* out, const char* path) {
  while (*path) {
    while (*path == '/') ++path;
    const char* end = path;
    while (*end && *end != '/') ++end;
    size_t len = static_cast<size_t>(end - path);
    if (len == 0 || (len == 1 && path[0] == '.')) {
      // nothing to add
    } else if (len == 2 && path[0] == '.' && path[1] == '.') {
      out->resize(out->rfind('/') == std::string::npos ? 0 : out->rfind('/'));
    } else {
      out->push_back('/');
      out->append(path, len);
    }
    path = end;
  }
}

// Copies at most size-1 bytes of [begin, end) into dst, when dst is given.
void CopyPart(char* dst, size_t size, const char* begin, const char* end) {
  if (!dst) return;
  size_t len = static_cast<size_t>(end - begin);
  if (len > size - 1) len = size - 1;
  memcpy(dst, begin, len);
  dst[len] = 0;
}

}  // namespace

char* _fullpath(char* abs, const char* rel, size_t max) {
  std::string full;
  if (!rel || rel[0] != '/') {
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd)) return nullptr;
    AppendComponents(&full, cwd);
  }
  if (rel) AppendComponents(&full, rel);
  if (full.empty()) full = "/";
  if (!abs) {
    max = MAX_PATH;
    if (full.size() + 1 > max) return nullptr;
    abs = static_cast<char*>(malloc(max));
    if (!abs) return nullptr;
  }
  if (full.size() + 1 > max) return nullptr;
  memcpy(abs, full.c_str(), full.size() + 1);
  return abs;
}

void _splitpath(const char* path, char* drive, char* dir, char* fname, char* ext) {
  if (drive) drive[0] = 0;
  const char* end = path + strlen(path);
  const char* slash = strrchr(path, '/');
  const char* name = slash ? slash + 1 : path;
  const char* dot = strrchr(name, '.');
  if (!dot) dot = end;
  CopyPart(dir, _MAX_DIR, path, name);
  CopyPart(fname, _MAX_FNAME, name, dot);
  CopyPart(ext, _MAX_EXT, dot, end);
}

BOOL CharToOemA(const char* src, char* dst) {
  for (;; ++src, ++dst) {
    unsigned char c = static_cast<unsigned char>(*src);
    *dst = (c != 0 && c < 0x20) || c == 0x7F ? '?' : static_cast<char>(c);
    if (c == 0) return TRUE;
  }
}
