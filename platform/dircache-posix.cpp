// The parent directory of recent lookups, held open for a tenth of a second.
#include "platform/dircache-posix.h"

#include <errno.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/platform.h"

namespace {

constexpr long kLifetimeNs = 100 * 1000 * 1000;

struct DirCache {
  std::string path;
  int fd = -1;
  struct timespec opened = {0, 0};

  ~DirCache() {
    if (fd >= 0) close(fd);
  }
};

// One per thread: the checksum readers look files up beside the walk.
thread_local DirCache cache;

long ElapsedNs(const struct timespec& from, const struct timespec& to) {
  return (to.tv_sec - from.tv_sec) * 1000000000L + (to.tv_nsec - from.tv_nsec);
}

}  // namespace

int CachedParentDir(const char* path, const char** name) {
  *name = path;
  const char* slash = strrchr(path, '/');
  if (path[0] != '/' || slash[1] == 0) return AT_FDCWD;
  size_t dirLen = slash == path ? 1 : static_cast<size_t>(slash - path);
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
  if (cache.fd >= 0 && ElapsedNs(cache.opened, now) < kLifetimeNs && cache.path.size() == dirLen &&
      memcmp(cache.path.data(), path, dirLen) == 0) {
    *name = slash + 1;
    return cache.fd;
  }
  if (cache.fd >= 0) close(cache.fd);
  cache.path.assign(path, dirLen);
  cache.fd = open(cache.path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  cache.opened = now;
  if (cache.fd < 0) return AT_FDCWD;
  *name = slash + 1;
  return cache.fd;
}

void ForgetCachedParentDir() {
  if (cache.fd >= 0) close(cache.fd);
  cache.fd = -1;
}

void ReleaseThreadState() {
  ForgetCachedParentDir();
}

bool StaleCachedParentDir() {
  int error = errno;
  if (error != ENOENT && error != ENOTDIR) return false;
  ForgetCachedParentDir();
  errno = error;
  return true;
}
