// The directories of recent lookups, held open for a tenth of a second, reached below a walk's
// start path without following links.
#include "platform/dircache-posix.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/fileread.h"
#include "platform/platform.h"

namespace {

constexpr long kLifetimeNs = 100 * 1000 * 1000;

// The start paths of the WalkRoots that exist, and how many they hold.
std::mutex rootsMutex;
std::vector<const std::vector<std::string>*> liveRoots;
std::atomic<unsigned> rootCount{0};

// Cleared the first time the kernel does not know openat2 (or one of its flags).
std::atomic<bool> openat2Works{true};
std::atomic<bool> cachedResolveWorks{true};

struct Slot {
  std::string path;
  int fd = -1;
  struct timespec opened = {0, 0};

  void Drop() {
    if (fd >= 0) close(fd);
    fd = -1;
    path.clear();
  }
  ~Slot() { Drop(); }
};

// One per thread: the directory of the last lookup, and the start path it lies below.
struct DirCache {
  Slot dir;
  Slot root;
};
thread_local DirCache cache;

long ElapsedNs(const struct timespec& from, const struct timespec& to) {
  return (to.tv_sec - from.tv_sec) * 1000000000L + (to.tv_nsec - from.tv_nsec);
}

bool Fresh(const Slot& s, const struct timespec& now) {
  return s.fd >= 0 && ElapsedNs(s.opened, now) < kLifetimeNs;
}

bool Below(const std::string& root, const char* path, size_t len) {
  if (root == "/") return len >= 1 && path[0] == '/';
  return len >= root.size() && memcmp(path, root.data(), root.size()) == 0 &&
         (len == root.size() || path[root.size()] == '/');
}

// The longest start path that `path` (len bytes) lies at or below; empty when none.
std::string RootOf(const char* path, size_t len) {
  if (rootCount.load(std::memory_order_acquire) == 0) return std::string();
  std::lock_guard<std::mutex> lock(rootsMutex);
  const std::string* best = nullptr;
  for (const std::vector<std::string>* set : liveRoots)
    for (const std::string& r : *set)
      if (Below(r, path, len) && (!best || r.size() > best->size())) best = &r;
  return best ? *best : std::string();
}

long OpenAt2(int dir, const char* path, int flags, uint64_t resolve) {
  open_how how = {};
  how.flags = static_cast<uint64_t>(flags | O_CLOEXEC);
  how.resolve = resolve;
  return syscall(SYS_openat2, dir, path, &how, sizeof how);
}

bool Unknown(int error) {
  return error == ENOSYS || error == EINVAL || error == EPERM || error == E2BIG;
}

// Walks rel (components below the directory base) one by one, no link followed; the last
// component is opened with flags. -1 with errno.
int DescendByComponents(int base, const char* rel, int flags) {
  int at = base;
  const char* p = rel;
  for (;;) {
    const char* slash = strchr(p, '/');
    std::string part = slash ? std::string(p, static_cast<size_t>(slash - p)) : std::string(p);
    bool last = !slash || slash[1] == 0;
    int next = part.empty()
                   ? dup(at)
                   : openat(at, part.c_str(),
                            (last ? flags : O_PATH) | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    int error = errno;
    if (at != base) close(at);
    if (next < 0) {
      errno = error;
      return -1;
    }
    if (last) return next;
    at = next;
    p = slash + 1;
  }
}

// Opens the directory rel below the directory base, no link followed: one openat2 where the
// kernel has it and the path is short enough for it, component by component otherwise.
int Descend(int base, const char* rel, int flags) {
  if (rel[0] == 0) return openat(base, ".", flags | O_DIRECTORY | O_CLOEXEC);
  if (openat2Works.load(std::memory_order_relaxed) && strlen(rel) < PATH_MAX) {
    long fd = OpenAt2(base, rel, flags | O_DIRECTORY | O_NOFOLLOW,
                      RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS);
    if (fd >= 0 || !Unknown(errno)) return static_cast<int>(fd);
    openat2Works.store(false);
  }
  return DescendByComponents(base, rel, flags);
}

// The descriptor of the start path root, cached beside the directory.
int RootFd(const std::string& root, const struct timespec& now) {
  if (Fresh(cache.root, now) && cache.root.path == root) return cache.root.fd;
  cache.root.Drop();
  int fd = open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return -1;
  cache.root.path = root;
  cache.root.fd = fd;
  cache.root.opened = now;
  return fd;
}

// Opens the directory path (len bytes, no trailing separator) with flags: below a start path
// without following links, from the cached directory when it is the parent; elsewhere as
// given. -1 with errno.
int OpenDir(const char* path, size_t len, int flags, const struct timespec& now) {
  std::string dir(path, len);
  std::string root = RootOf(path, len);
  if (root.empty()) return open(dir.c_str(), flags | O_DIRECTORY | O_CLOEXEC);
  // The parent's descriptor, when the last lookup was in it: one name looked up.
  const Slot& c = cache.dir;
  if (Fresh(c, now) && c.path.size() >= root.size() && len > c.path.size() + 1 &&
      dir.compare(0, c.path.size(), c.path) == 0 && dir[c.path.size()] == '/' &&
      dir.find('/', c.path.size() + 1) == std::string::npos)
    return openat(c.fd, dir.c_str() + c.path.size() + 1,
                  flags | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  int base = RootFd(root, now);
  if (base < 0) return -1;
  size_t skip = root == "/" ? 1 : root.size() + (len > root.size() ? 1 : 0);
  return Descend(base, dir.c_str() + skip, flags);
}

}  // namespace

WalkRoots::WalkRoots() {
  std::lock_guard<std::mutex> lock(rootsMutex);
  liveRoots.push_back(&roots_);
}

WalkRoots::~WalkRoots() {
  {
    std::lock_guard<std::mutex> lock(rootsMutex);
    liveRoots.erase(std::find(liveRoots.begin(), liveRoots.end(), &roots_));
    rootCount.fetch_sub(static_cast<unsigned>(roots_.size()), std::memory_order_release);
  }
  // A directory cached under these roots was reached by their rules, not by the next run's.
  ForgetCachedParentDir();
}

void WalkRoots::Trust(const char* path) {
  std::lock_guard<std::mutex> lock(rootsMutex);
  // Every listing names its start path: the last one is known at once.
  if (last_ == path) return;
  last_ = path;
  std::string root(path);
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  if (root.empty() || std::find(roots_.begin(), roots_.end(), root) != roots_.end()) return;
  roots_.push_back(root);
  rootCount.fetch_add(1, std::memory_order_release);
}

int CachedParentDir(const char* path, const char** name) {
  *name = path;
  const char* slash = strrchr(path, '/');
  if (!slash || slash[1] == 0) return AT_FDCWD;
  size_t dirLen = slash == path ? 1 : static_cast<size_t>(slash - path);
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
  if (Fresh(cache.dir, now) && cache.dir.path.size() == dirLen &&
      memcmp(cache.dir.path.data(), path, dirLen) == 0) {
    *name = slash + 1;
    return cache.dir.fd;
  }
  int fd = OpenDir(path, dirLen, O_PATH, now);
  int error = errno;
  cache.dir.Drop();
  if (fd < 0) {
    if (RootOf(path, dirLen).empty()) return AT_FDCWD;  // the path as given says why
    errno = error;
    return -1;
  }
  cache.dir.path.assign(path, dirLen);
  cache.dir.fd = fd;
  cache.dir.opened = now;
  *name = slash + 1;
  return fd;
}

int OpenListedDir(const char* path) {
  // A start path is taken as the user gave it, a link to a folder included.
  size_t len = strlen(path);
  while (len > 1 && path[len - 1] == '/') --len;
  if (RootOf(path, len).size() == len) return open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const char* name;
  int dir = CachedParentDir(path, &name);
  if (dir == -1) return -1;
  if (dir == AT_FDCWD) return open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  return openat(dir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

int OpenEntryAt(int dir, const char* name, int flags, bool cachedOnly) {
  if (dir == AT_FDCWD) return openat(dir, name, flags | O_CLOEXEC);
  if (openat2Works.load(std::memory_order_relaxed)) {
    bool cached = cachedOnly && cachedResolveWorks.load(std::memory_order_relaxed);
    uint64_t resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS |
                       (cached ? RESOLVE_CACHED : 0);
    long fd = OpenAt2(dir, name, flags | O_NOFOLLOW, resolve);
    if (fd >= 0 || !Unknown(errno)) return static_cast<int>(fd);
    if (cached) {
      cachedResolveWorks.store(false);
      return OpenEntryAt(dir, name, flags, false);
    }
    openat2Works.store(false);
  }
  return openat(dir, name, flags | O_NOFOLLOW | O_CLOEXEC);
}

namespace {

// How long an open waits for a descriptor while no open of the process gets one.
constexpr long kDescriptorPatienceNs = 5L * 1000 * 1000 * 1000;

long NowNs() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
  return now.tv_sec * 1000000000L + now.tv_nsec;
}

// The last time an open of the policy got its descriptor or one was closed.
std::atomic<long> lastOpened{NowNs()};

bool ShortOfDescriptors(int error) {
  return error == EMFILE || error == ENFILE;
}

}  // namespace

void NoteDescriptorClosed() {
  lastOpened.store(NowNs(), std::memory_order_relaxed);
}

int OpenWaitingForDescriptor(int (*open)(void*), void* arg, bool wait) {
  int fd = open(arg);
  useconds_t pause = 1000;
  while (fd < 0 && ShortOfDescriptors(errno)) {
    ForgetCachedParentDir();  // the thread's own first
    if (wait && NowNs() - lastOpened.load(std::memory_order_relaxed) >= kDescriptorPatienceNs)
      break;
    if (wait) usleep(pause);
    pause = std::min<useconds_t>(2 * pause, 32000);
    fd = open(arg);
    if (!wait) break;
  }
  if (fd >= 0) lastOpened.store(NowNs(), std::memory_order_relaxed);
  return fd;
}

void ForgetCachedParentDir() {
  cache.dir.Drop();
  cache.root.Drop();
}

void ReleaseThreadState() {
  ForgetCachedParentDir();
}
