// Reads that do not wait on the device: preadv2 with RWF_NOWAIT at the file's position.
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>

#include "platform/fileread.h"
#include "platform/platform.h"

namespace {

// Cleared the first time the system refuses the flag (an older kernel or file system).
std::atomic<bool> noWaitWorks{true};

}  // namespace

int ReadCached(int fd, void* buf, unsigned count) {
  if (count > INT_MAX) count = INT_MAX;
  if (noWaitWorks.load(std::memory_order_relaxed)) {
    iovec io = {buf, count};
    ssize_t n;
    do n = preadv2(fd, &io, 1, -1, RWF_NOWAIT);
    while (n < 0 && errno == EINTR);
    if (n >= 0 || errno != EOPNOTSUPP) return static_cast<int>(n);
    noWaitWorks.store(false, std::memory_order_relaxed);
  }
  return _read(fd, buf, count);
}
