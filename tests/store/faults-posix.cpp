// Fault injection for the save tests, POSIX: the C library's calls interposed and counted.
#include <dlfcn.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <set>

#include "tests/store/faults.h"

namespace {

bool active = false;
int armedAt = 0;
int calls = 0;
int faultErr = 0;
int faultSig = 0;
const char* hit = "";
int firstMode = -1;
// Descriptors the counted calls used: only their close is counted (not that of a descriptor
// some lookup opened and closed on its own).
std::set<int> used;

bool Use(int fd) {
  if (active) used.insert(fd);
  return true;
}

// Whether this call is the one to fail (errno is then set), or raises the armed signal.
bool Hit(const char* what) {
  if (!active || ++calls != armedAt) return false;
  hit = what;
  if (faultSig != 0) {
    raise(faultSig);
    return false;
  }
  errno = faultErr;
  return true;
}

template <typename F>
F Next(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

ssize_t write(int fd, const void* buf, size_t n) {
  static auto real = Next<ssize_t (*)(int, const void*, size_t)>("write");
  if (fd > 2 && active && Use(fd)) {
    struct stat st;
    if (firstMode < 0 && fstat(fd, &st) == 0) firstMode = st.st_mode & 07777;
    if (Hit("write")) return -1;
  }
  return real(fd, buf, n);
}

int fsync(int fd) {
  static auto real = Next<int (*)(int)>("fsync");
  return fd > 2 && Use(fd) && Hit("fsync") ? -1 : real(fd);
}

int close(int fd) {
  static auto real = Next<int (*)(int)>("close");
  if (used.erase(fd) > 0 && Hit("close")) {
    int err = errno;
    real(fd);  // the descriptor is gone even when close reports an error
    errno = err;
    return -1;
  }
  return real(fd);
}

int fchmod(int fd, mode_t mode) noexcept {
  static auto real = Next<int (*)(int, mode_t)>("fchmod");
  return Use(fd) && Hit("fchmod") ? -1 : real(fd, mode);
}

int fchown(int fd, uid_t uid, gid_t gid) noexcept {
  static auto real = Next<int (*)(int, uid_t, gid_t)>("fchown");
  return Use(fd) && Hit("fchown") ? -1 : real(fd, uid, gid);
}

int rename(const char* from, const char* to) noexcept {
  static auto real = Next<int (*)(const char*, const char*)>("rename");
  return Hit("rename") ? -1 : real(from, to);
}

int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) noexcept {
  static auto real = Next<int (*)(int, const char*, int, const char*, unsigned)>("renameat2");
  return Hit("rename") ? -1 : real(fromDir, from, toDir, to, flags);
}

}  // extern "C"

bool CanInjectFaults() {
  return true;
}

void ArmFault(int k, int err, int sig) {
  armedAt = k;
  calls = 0;
  faultErr = err;
  faultSig = sig;
  hit = "";
  firstMode = -1;
  used.clear();
  active = true;
}

std::string DisarmFault() {
  active = false;
  return hit;
}

int FirstWriteMode() {
  return firstMode;
}

std::vector<int> CleanupSignals() {
  return {SIGINT, SIGTERM, SIGHUP};
}

bool PrepareConsoleEvent() {
  return false;
}
bool SendConsoleEvent() {
  return false;
}

bool GetOwner(const std::string& path, Owner* owner) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return false;
  owner->uid = static_cast<long>(st.st_uid);
  owner->gid = static_cast<long>(st.st_gid);
  owner->mode = static_cast<int>(st.st_mode & 07777);
  return true;
}

bool SetOwner(const std::string& path, const Owner& owner) {
  if (owner.uid != -1 &&
      chown(path.c_str(), static_cast<uid_t>(owner.uid), static_cast<gid_t>(owner.gid)) != 0)
    return false;
  return chmod(path.c_str(), static_cast<mode_t>(owner.mode)) == 0;
}

bool MayGiveAway() {
  return geteuid() == 0;
}
