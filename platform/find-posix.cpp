// Directory enumeration with the observable rules of the Win32 find functions: Win32 wildcards,
// "." and ".." first, the rest in NTFS name order, attributes and FILETIMEs from one statx.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/dircache-posix.h"
#include "platform/fileread.h"
#include "platform/platform.h"
#include "platform/wildcard.h"

namespace {

// ASCII letters folded to upper case; every other byte maps to itself.
struct FoldTable {
  unsigned char map[256];
  FoldTable() {
    for (int i = 0; i < 256; ++i) map[i] = static_cast<unsigned char>(i);
    for (int c = 'a'; c <= 'z'; ++c) map[c] = static_cast<unsigned char>(c - 'a' + 'A');
  }
};
const FoldTable kFold;

inline unsigned char Fold(char c) {
  return kFold.map[static_cast<unsigned char>(c)];
}

bool IsMatchAll(const char* mask) {
  return !strcmp(mask, "*") || !strcmp(mask, "*.*");
}

bool IsDotName(const char* name) {
  return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

// What one statx (or fstatat) tells about an entry.
struct Stat {
  mode_t mode;
  uint64_t dev, ino;
  uint64_t size;
  struct timespec atime, mtime, birth;
};

// statx where the kernel has it; fstatat otherwise (old kernels, filtered system calls).
// An empty name stands for dirfd itself.
bool StatAt(int dirfd, const char* name, Stat* out) {
  static std::atomic<bool> noStatx{false};  // the checksum readers look up too
  int flags = AT_SYMLINK_NOFOLLOW | (name[0] == 0 ? AT_EMPTY_PATH : 0);
  if (!noStatx) {
    struct statx sx;
    if (statx(dirfd, name, flags, STATX_BASIC_STATS | STATX_BTIME, &sx) == 0) {
      out->mode = sx.stx_mode;
      out->dev = makedev(sx.stx_dev_major, sx.stx_dev_minor);
      out->ino = sx.stx_ino;
      out->size = sx.stx_size;
      out->atime = {sx.stx_atime.tv_sec, sx.stx_atime.tv_nsec};
      out->mtime = {sx.stx_mtime.tv_sec, sx.stx_mtime.tv_nsec};
      const auto& b = (sx.stx_mask & STATX_BTIME) ? sx.stx_btime : sx.stx_ctime;
      out->birth = {b.tv_sec, b.tv_nsec};
      return true;
    }
    if (errno != ENOSYS && errno != EPERM) return false;
    noStatx = true;
  }
  struct stat st;
  if (fstatat(dirfd, name, &st, flags) != 0) return false;
  out->mode = st.st_mode;
  out->dev = st.st_dev;
  out->ino = st.st_ino;
  out->size = static_cast<uint64_t>(st.st_size);
  out->atime = st.st_atim;
  out->mtime = st.st_mtim;
  out->birth = st.st_ctim;
  return true;
}

FILETIME ToFileTime(const struct timespec& ts) {
  constexpr int64_t kEpochDelta = 11644473600;  // seconds from 1601-01-01 to 1970-01-01
  int64_t secs = static_cast<int64_t>(ts.tv_sec) + kEpochDelta;
  uint64_t ticks =
      secs < 0 ? 0
               : static_cast<uint64_t>(secs) * 10000000u + static_cast<uint64_t>(ts.tv_nsec) / 100u;
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

DWORD Attributes(const Stat& st, int dirfd, const char* name, const char* shown) {
  DWORD attr;
  if (S_ISDIR(st.mode)) {
    attr = FILE_ATTRIBUTE_DIRECTORY;
  } else if (S_ISREG(st.mode)) {
    attr = FILE_ATTRIBUTE_ARCHIVE;
  } else if (S_ISLNK(st.mode)) {
    struct stat target;
    bool toDir = fstatat(dirfd, name, &target, 0) == 0 && S_ISDIR(target.st_mode);
    attr = FILE_ATTRIBUTE_REPARSE_POINT | (toDir ? FILE_ATTRIBUTE_DIRECTORY : 0);
  } else {
    attr = FILE_ATTRIBUTE_DEVICE;
  }
  if (!(st.mode & S_IWUSR)) attr |= FILE_ATTRIBUTE_READONLY;
  // Dot files are the POSIX hidden files; "." and ".." are the directories themselves.
  if (shown[0] == '.' && !IsDotName(shown)) attr |= FILE_ATTRIBUTE_HIDDEN;
  return attr;
}

// Fills data for the entry `name` of the directory dirfd (or a path against AT_FDCWD, with
// `shown` its last component). False when the entry cannot be examined or its name is too long.
bool FillFrom(const Stat& st, int dirfd, const char* name, const char* shown, size_t len,
              WIN32_FIND_DATAA* data) {
  uint64_t size = S_ISREG(st.mode) ? st.size : 0;
  data->dwFileAttributes = Attributes(st, dirfd, name, shown);
  data->ftCreationTime = ToFileTime(st.birth);
  data->ftLastAccessTime = ToFileTime(st.atime);
  data->ftLastWriteTime = ToFileTime(st.mtime);
  data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
  data->nFileSizeLow = static_cast<DWORD>(size);
  data->dwReserved0 = 0;
  data->dwReserved1 = 0;
  memcpy(data->cFileName, shown, len + 1);
  data->cAlternateFileName[0] = 0;
  return true;
}

bool Fill(int dirfd, const char* name, const char* shown, size_t len, WIN32_FIND_DATAA* data) {
  if (len >= sizeof data->cFileName) return false;
  Stat st;
  return StatAt(dirfd, name, &st) && FillFrom(st, dirfd, name, shown, len, data);
}

// The matching names of one directory, held in one buffer, in the order they are returned.
struct Entry {
  uint32_t offset;
  uint32_t length;
  unsigned char type;  // d_type: DT_UNKNOWN where the file system does not tell
};

struct Search {
  int fd = -1;  // the directory, read with getdents64: no stream, no second look at what it is
  // "." and ".." both describe the directory being read, as NTFS reports them: one fstat.
  bool haveSelf = false;
  Stat self;
  std::string names;   // every name with its terminating NUL
  std::string folded;  // the same, ASCII letters in upper case: the sort's keys
  std::vector<Entry> order;
  size_t next = 0;
  bool defer = false;   // regular files come back by name and kind only
  std::string path;     // of the directory, as the pattern gave it
  int searchable = -1;  // whether its entries can be reached at all; -1 not asked yet
  int error = 0;        // the first entry that could not be examined, other than a vanished one
  bool otherDevice = false;  // the entry returned last: a directory on another device
  ~Search() {
    if (fd >= 0) close(fd);
  }
};

// NTFS order: bytes compared with ASCII letters folded to upper case; ties by the raw bytes.
struct NameLess {
  const char* base;
  const char* folded;
  bool operator()(const Entry& x, const Entry& y) const {
    size_t n = std::min(x.length, y.length);
    int order = memcmp(folded + x.offset, folded + y.offset, n);
    if (order != 0) return order < 0;
    if (x.length != y.length) return x.length < y.length;
    return memcmp(base + x.offset, base + y.offset, n) < 0;
  }
};

// Checksum readers beside the walk may hold every descriptor the process may have for a moment:
// the listing waits for one of them to close its file rather than take the directory for
// unreadable.
int OpenDirectory(const std::string& path) {
  return OpenWaitingForDescriptor([&] { return OpenListedDir(path.c_str()); }, true);
}

// The device and inode of each directory a listing of this thread found and that has not been
// entered since, by its path: a directory is entered only when it is still the one its listing
// found, so one swapped for another (or for a mount) since is not read as the one listed.
// Kept by a hash of the path, 24 bytes a directory, while the walk has not reached it.
struct ListedId {
  uint64_t dev, ino;
};
thread_local std::unordered_map<size_t, ListedId> listedDirs;

size_t PathKey(const std::string& dir, const char* name) {
  std::string path = dir;
  if (path.empty() || path.back() != '/') path += '/';
  path += name;
  return std::hash<std::string>()(path);
}

void Listed(const std::string& dir, const char* name, const Stat& st) {
  listedDirs[PathKey(dir, name)] = ListedId{st.dev, st.ino};
}

// Whether the directory just opened (self: its status, when known) is the one the listing of its
// parent found there; true when no listing of this thread found it (a start path, a lookup of
// its own).
bool AsListed(const std::string& dirPath, bool known, const Stat& self) {
  if (listedDirs.empty()) return true;
  std::string path = dirPath;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  auto found = listedDirs.find(std::hash<std::string>()(path));
  if (found == listedDirs.end()) return true;
  ListedId id = found->second;
  listedDirs.erase(found);
  return !known || (self.dev == id.dev && self.ino == id.ino);
}

// Reads the matching names; "." and ".." go first (in that order), the rest sorted.
// False when the directory could not be read to its end (errno tells why).
bool Collect(Search* s, const char* mask) {
  bool all = IsMatchAll(mask);
  size_t dots = 0;
  alignas(struct dirent64) char buf[32768];
  for (;;) {
    ssize_t got = getdents64(s->fd, buf, sizeof buf);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) break;
    for (ssize_t at = 0; at < got;) {
      const auto* e = reinterpret_cast<const struct dirent64*>(buf + at);
      at += e->d_reclen;
      const char* name = e->d_name;
      if (!all && !MatchWildcard(mask, name)) continue;
      size_t len = strlen(name);
      if (len >= MAX_PATH || s->names.size() + len + 1 > UINT32_MAX) continue;
      s->order.push_back(
          {static_cast<uint32_t>(s->names.size()), static_cast<uint32_t>(len), e->d_type});
      s->names.append(name, len + 1);
      s->folded.resize(s->names.size());
      char* key = &s->folded[s->names.size() - len - 1];
      for (size_t i = 0; i <= len; ++i) key[i] = static_cast<char>(Fold(name[i]));
      if (IsDotName(name)) std::swap(s->order[dots++], s->order.back());
    }
  }
  if (dots == 2 && s->order[0].length == 2) std::swap(s->order[0], s->order[1]);
  std::sort(s->order.begin() + dots, s->order.end(), NameLess{s->names.data(), s->folded.data()});
  return true;
}

// A regular file known by its name only: what its open will tell is left at zero.
void FillDeferred(const char* name, size_t len, WIN32_FIND_DATAA* data) {
  memset(data, 0, offsetof(WIN32_FIND_DATAA, cFileName));
  data->dwFileAttributes = FILE_ATTRIBUTE_ARCHIVE | (name[0] == '.' ? FILE_ATTRIBUTE_HIDDEN : 0);
  memcpy(data->cFileName, name, len + 1);
  data->cAlternateFileName[0] = 0;
}

// Returns the next entry that can still be examined; entries removed since the directory was
// read, or that cannot be examined, are passed over.
bool NextEntry(Search* s, WIN32_FIND_DATAA* data, bool* deferred) {
  int fd = s->fd;
  *deferred = false;
  s->otherDevice = false;
  while (s->next < s->order.size()) {
    const Entry& e = s->order[s->next++];
    const char* name = s->names.data() + e.offset;
    // A folder that can be listed but not searched gives none of its files, deferred or not:
    // each would fail to be examined, as the walk that looks each up itself finds.
    // Searchable by everyone by its mode needs no question.
    if (s->defer && e.type == DT_REG && s->searchable < 0)
      s->searchable = (s->haveSelf && (s->self.mode & 0111) == 0111) ||
                      faccessat(fd, ".", X_OK, AT_EACCESS) == 0 || errno != EACCES;
    if (s->defer && e.type == DT_REG && s->searchable && e.length < sizeof data->cFileName) {
      FillDeferred(name, e.length, data);
      *deferred = true;
      return true;
    }
    if (!IsDotName(name)) {
      Stat st;
      if (e.length < sizeof data->cFileName && StatAt(fd, name, &st) &&
          FillFrom(st, fd, name, name, e.length, data)) {
        if (S_ISDIR(st.mode)) Listed(s->path, name, st);
        s->otherDevice = S_ISDIR(st.mode) && s->haveSelf && st.dev != s->self.dev;
        return true;
      }
      if (errno != ENOENT && s->error == 0) s->error = errno != 0 ? errno : EIO;
      continue;
    }
    if (!s->haveSelf) s->haveSelf = StatAt(fd, "", &s->self);
    if (s->haveSelf && FillFrom(s->self, fd, name, name, e.length, data)) return true;
  }
  return false;
}

// GetLastError of the find functions. Errors without a Win32 code of their own carry the errno
// value with the bit that Win32 leaves to applications.
constexpr DWORD kErrnoBit = 0x20000000u;
thread_local DWORD lastError = 0;

DWORD FindErrorOf(int error) {
  // Only what is not there is not found: a folder that is no folder now (a link or a file in
  // its place) keeps ENOTDIR, as Win32's ERROR_DIRECTORY does.
  if (error == ENOENT) return ERROR_PATH_NOT_FOUND;
  if (error == EACCES || error == EPERM) return ERROR_ACCESS_DENIED;
  return kErrnoBit | static_cast<DWORD>(error != 0 ? error : EIO);
}

// A lookup without wildcards needs no state: its handle only answers "no more", and whether the
// directory it found lies on another device than the one that holds it.
char literalSearch;
HANDLE const kLiteralHandle = &literalSearch;
thread_local bool literalOtherDevice = false;

// The literal lookup of `name` in the directory dir (or a path against AT_FDCWD).
int LookUp(int dir, const char* name, const char* shown, WIN32_FIND_DATAA* data) {
  size_t len = strlen(shown);
  Stat st, parent;
  if (len >= sizeof data->cFileName || !StatAt(dir, name, &st) ||
      !FillFrom(st, dir, name, shown, len, data))
    return -1;
  // Against AT_FDCWD a name with a separator has a parent that no descriptor stands for.
  literalOtherDevice = S_ISDIR(st.mode) && (dir != AT_FDCWD || !strchr(name, '/')) &&
                       StatAt(dir, "", &parent) && parent.dev != st.dev;
  return 0;
}

}  // namespace

DWORD GetLastError() {
  return lastError;
}

int ErrnoOfFindError(DWORD code) {
  if (code & kErrnoBit) return static_cast<int>(code & ~kErrnoBit);
  if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return ENOENT;
  if (code == ERROR_ACCESS_DENIED) return EACCES;
  return code == 0 || code == ERROR_NO_MORE_FILES ? 0 : EIO;
}

namespace {

HANDLE FindFirst(const char* pattern, WIN32_FIND_DATAA* data, bool defer, bool* deferred) {
  lastError = ERROR_FILE_NOT_FOUND;
  *deferred = false;
  size_t len = strlen(pattern);
  if (len == 0 || pattern[len - 1] == '/') return INVALID_HANDLE_VALUE;
  const char* slash = strrchr(pattern, '/');
  const char* mask = slash ? slash + 1 : pattern;
  if (!strpbrk(mask, "*?")) {
    literalOtherDevice = false;
    bool found = AtParent(pattern, [&](int dir, const char* name) {
                   return LookUp(dir, name, mask, data);
                 }) == 0;
    return found ? kLiteralHandle : INVALID_HANDLE_VALUE;
  }
  std::string dirPath =
      !slash ? std::string(".") : std::string(pattern, slash == pattern ? 1 : slash - pattern);
  int fd = OpenDirectory(dirPath);
  if (fd < 0) {
    lastError = FindErrorOf(errno);
    return INVALID_HANDLE_VALUE;
  }
  // Its own status serves "." and ".." as well.
  Stat self;
  bool known = StatAt(fd, "", &self);
  if (!AsListed(dirPath, known, self)) {
    close(fd);
    lastError = FindErrorOf(kErrorChanged);
    return INVALID_HANDLE_VALUE;
  }
  Search* s = new Search;
  s->haveSelf = known;
  s->self = self;
  s->defer = defer;
  s->path = dirPath;
  s->fd = fd;
  if (!Collect(s, mask)) {
    lastError = FindErrorOf(errno);
    delete s;
    return INVALID_HANDLE_VALUE;
  }
  if (!NextEntry(s, data, deferred)) {
    if (s->error != 0) lastError = FindErrorOf(s->error);
    delete s;
    return INVALID_HANDLE_VALUE;
  }
  return s;
}

BOOL FindNext(HANDLE find, WIN32_FIND_DATAA* data, bool* deferred) {
  lastError = ERROR_NO_MORE_FILES;
  *deferred = false;
  if (find == kLiteralHandle || find == INVALID_HANDLE_VALUE || !find) return FALSE;
  Search* s = static_cast<Search*>(find);
  if (NextEntry(s, data, deferred)) return TRUE;
  if (s->error != 0) lastError = FindErrorOf(s->error);
  return FALSE;
}

}  // namespace

HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* data) {
  bool deferred;
  return FindFirst(pattern, data, false, &deferred);
}

BOOL FindNextFileA(HANDLE find, WIN32_FIND_DATAA* data) {
  bool deferred;
  return FindNext(find, data, &deferred);
}

HANDLE FindFirstFileDeferringA(const char* pattern, WIN32_FIND_DATAA* data, bool* deferred) {
  return FindFirst(pattern, data, true, deferred);
}

BOOL FindNextFileDeferringA(HANDLE find, WIN32_FIND_DATAA* data, bool* deferred) {
  return FindNext(find, data, deferred);
}

int OpenDeferredFile(const char* path, FileFacts* facts, bool cachedOnly) {
  const char* slash = strrchr(path, '/');
  const char* shown = slash ? slash + 1 : path;
  size_t len = strlen(shown);
  WIN32_FIND_DATAA data;
  facts->found = false;
  if (len >= sizeof data.cFileName) {
    errno = ENAMETOOLONG;
    return -1;
  }
  int fd = cachedOnly ? OpenWalkedFileCached(path) : OpenWalkedFile(path);
  int error = errno;
  if (fd < 0 && cachedOnly && error == EAGAIN) return -1;
  if (fd >= 0) {
    Stat st;
    if (StatAt(fd, "", &st) && FillFrom(st, fd, "", shown, len, &data)) {
      facts->Take(data);
      if (S_ISREG(st.mode)) return fd;
      error = 0;  // another kind of entry now: nothing to read
    } else {
      error = errno;
    }
    _close(fd);
  }
  // Not opened (no right to read, a link now, no descriptor free): what it is, by name.
  if (!facts->found) {
    bool filled = AtParent(path, [&](int dir, const char* name) {
                    return Fill(dir, name, shown, len, &data) ? 0 : -1;
                  }) == 0;
    if (filled) facts->Take(data);
    if (!filled && errno != 0) error = errno;
  }
  errno = error;
  return -1;
}

bool FoundOnOtherDevice(HANDLE find) {
  if (find == kLiteralHandle) return literalOtherDevice;
  return find != INVALID_HANDLE_VALUE && find && static_cast<Search*>(find)->otherDevice;
}

BOOL FindClose(HANDLE find) {
  if (find == INVALID_HANDLE_VALUE || !find) return FALSE;
  if (find != kLiteralHandle) delete static_cast<Search*>(find);
  return TRUE;
}
