// What a save needs on POSIX: the file a link stands for, and the old file's mode and owner,
// a temporary file no signal leaves behind, and a lock on the catalogue.
#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/save.h"

namespace {

const int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The temporary file a signal removes: written before `armed` is set, with the signals blocked.
char tempPath[PATH_MAX];
volatile sig_atomic_t armed = 0;
bool handlersSet = false;

std::vector<int> lockFds;

void FromStat(const struct stat& st, EntryId* id) {
  id->file.volume = static_cast<uint64_t>(st.st_dev);
  id->file.index = static_cast<uint64_t>(st.st_ino);
  id->link = S_ISLNK(st.st_mode);
}

// Runs in the signal handler: only async-signal-safe calls. SA_RESETHAND has put back the
// default action, which the raised signal takes once the handler returns.
void RemoveTemporaryAndEnd(int sig) {
  int saved = errno;
  if (armed) unlink(tempPath);
  raise(sig);
  errno = saved;
}

// Once per process. A signal the process was started with ignored (nohup) stays ignored.
void SetHandlers() {
  if (handlersSet) return;
  handlersSet = true;
  for (int sig : kCleanupSignals) {
    struct sigaction old;
    if (sigaction(sig, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
    struct sigaction sa = {};
    sa.sa_handler = RemoveTemporaryAndEnd;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESETHAND;
    sigaction(sig, &sa, nullptr);
  }
}

void BlockCleanupSignals(sigset_t* old) {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : kCleanupSignals) sigaddset(&set, sig);
  sigprocmask(SIG_BLOCK, &set, old);
}

// A name of kNameChars letters and digits from the system's random source.
bool RandomBytes(unsigned char* out, size_t count) {
  size_t got = 0;
  while (got < count) {
    ssize_t n = getrandom(out + got, count - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    got += static_cast<size_t>(n);
  }
  return true;
}

mode_t CreateMode() {
  mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

}  // namespace

bool GetEntryId(const char* path, bool follow, EntryId* id) {
  struct stat st;
  if ((follow ? stat(path, &st) : lstat(path, &st)) != 0) return false;
  FromStat(st, id);
  return true;
}

bool GetOpenEntryId(int fd, EntryId* id) {
  struct stat st;
  if (fstat(fd, &st) != 0) return false;
  FromStat(st, id);
  return true;
}

bool ResolveSaveTarget(const char* name, char* out, size_t cap) {
  struct stat st;
  char resolved[PATH_MAX];
  // A dangling link has no target to keep: the save then replaces the link itself.
  const char* target =
      lstat(name, &st) == 0 && S_ISLNK(st.st_mode) && realpath(name, resolved) ? resolved : name;
  int len = snprintf(out, cap, "%s", target);
  return len >= 0 && static_cast<size_t>(len) < cap;
}

int CreateTemporary(const char* target, char* tmp, size_t cap) {
  SetHandlers();
  for (int attempt = 0; attempt < kTempAttempts; ++attempt) {
    unsigned char random[kTempLetters];
    if (!RandomBytes(random, sizeof random)) return -1;
    int len = ComposeTemporaryPath(target, "/", random, tmp, cap);
    if (len < 0 || static_cast<size_t>(len) >= cap || len >= PATH_MAX) {
      errno = ENAMETOOLONG;
      return -1;
    }
    sigset_t old;
    BlockCleanupSignals(&old);
    int fd = open(tmp, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    int err = errno;
    if (fd >= 0) {
      memcpy(tempPath, tmp, static_cast<size_t>(len) + 1);
      armed = 1;
    }
    sigprocmask(SIG_SETMASK, &old, nullptr);
    if (fd >= 0 || err != EEXIST) {
      errno = err;
      return fd;
    }
  }
  errno = EEXIST;
  return -1;
}

void ForgetTemporary() {
  armed = 0;
}

bool KeepFileMode(const char* existing, int fd) {
  static const mode_t kCreateMode = CreateMode();
  struct stat old, now;
  if (stat(existing, &old) != 0) return fchmod(fd, kCreateMode) == 0;
  if (fstat(fd, &now) != 0) return false;
  if (old.st_uid != now.st_uid || old.st_gid != now.st_gid) {
    // Giving a file away takes privilege; short of it, a member of the old group keeps that.
    if (fchown(fd, old.st_uid, old.st_gid) != 0) {
      if (errno != EPERM) return false;
      if (old.st_gid != now.st_gid && fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0 &&
          errno != EPERM)
        return false;
    }
  }
  // Set-id bits make no sense on a data file and are never carried over.
  return fchmod(fd, old.st_mode & 01777) == 0;
}

// The lock is on the catalogue's file itself, not on a lock file beside it, which would be left
// behind and would need the same owner and permissions as the catalogue. It is a write lock of
// the open file description (F_OFD_SETLK: closing another descriptor of the file, as the reader
// does, keeps it; the system drops it with the process), which needs a descriptor open for
// writing: whoever may only read the catalogue can take a read lock at most, and a read lock
// is no Scan's, so it does not stop this one. A save renames a new file into place, so the file
// locked may no longer be the one the name stands for: after locking, the name is looked up
// again and the lock retaken on the new file if it changed.
int LockDataFile(const char* name) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    struct stat held, now;
    // No catalogue yet (the save will not take over one that appears), or none to lock.
    if (stat(name, &now) != 0 || !S_ISREG(now.st_mode)) return 0;
    int fd = open(name, O_WRONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return 0;  // not ours to write: the save says so
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    if (fcntl(fd, F_OFD_SETLK, &lock) != 0) {
      int err = errno;
      // The lock in the way: a Scan's is a write lock.
      bool seen = (err == EAGAIN || err == EACCES) && fcntl(fd, F_OFD_GETLK, &lock) == 0;
      close(fd);
      if (seen && lock.l_type == F_UNLCK) continue;   // released in between
      return seen && lock.l_type == F_WRLCK ? 1 : 0;  // else a reader's, or no locks here
    }
    if (fstat(fd, &held) == 0 && stat(name, &now) == 0 && held.st_dev == now.st_dev &&
        held.st_ino == now.st_ino) {
      lockFds.push_back(fd);
      return 0;
    }
    close(fd);
  }
  return 0;
}

void ReleaseDataFileLocks() {
  for (int fd : lockFds) close(fd);
  lockFds.clear();
}
