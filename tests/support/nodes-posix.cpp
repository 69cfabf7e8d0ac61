// FIFOs, socket nodes and names of raw bytes, which only POSIX file systems hold.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "tests/support/nodes.h"

int MakeFifo(const char* path) {
  return mkfifo(path, 0600) == 0 ? 0 : 1;
}

// The node stays after the socket is closed: nothing listens on it, and opening it fails.
int MakeSocketNode(const char* path) {
  sockaddr_un addr = {};
  addr.sun_family = AF_UNIX;
  if (strlen(path) >= sizeof addr.sun_path) return 1;
  strcpy(addr.sun_path, path);
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  if (fd < 0) return 1;
  int rc = bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  close(fd);
  return rc == 0 ? 0 : 1;
}

int MakeRawName(const char* dir, const std::string& name) {
  int dfd = open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd < 0) return 1;
  int fd = openat(dfd, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  close(dfd);
  if (fd < 0) return 1;
  close(fd);
  return 0;
}

int MakeHostRawName(const std::string&, const std::string&, char) {
  return -1;  // MakeRawName serves the POSIX build
}

// Root keeps its uid but loses the capabilities that let it pass permission bits.
int PermissionBoundPrefix(std::vector<std::string>* prefix) {
  prefix->clear();
  if (geteuid() != 0) return 0;
  const char kSetpriv[] = "/usr/bin/setpriv";
  if (access(kSetpriv, X_OK) != 0) return -1;
  *prefix = {kSetpriv, "--bounding-set=-dac_override,-dac_read_search"};
  return 0;
}

int ThreadlessPrefix(std::vector<std::string>* prefix) {
  // LeakSanitizer's check at exit needs a thread of its own.
  *prefix = {"/bin/bash", "-c",
             "ulimit -u 1 && export ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0\" "
             "&& exec \"$0\" \"$@\""};
  const char kSetpriv[] = "/usr/bin/setpriv";
  if (geteuid() != 0) return 0;
  if (access(kSetpriv, X_OK) != 0) return -1;
  prefix->insert(prefix->begin(), {kSetpriv, "--reuid=65534", "--regid=65534", "--clear-groups"});
  return 0;
}

int MakeUtf8Entry(const std::string& path, const std::string* contents) {
  if (contents == nullptr) return mkdir(path.c_str(), 0755) == 0 ? 0 : 1;
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return 1;
  bool ok = write(fd, contents->data(), contents->size()) == ssize_t(contents->size());
  return close(fd) == 0 && ok ? 0 : 1;
}

int TakeReaderLocks(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct flock lock = {};
  lock.l_type = F_RDLCK;
  if (fd >= 0 && (flock(fd, LOCK_EX | LOCK_NB) != 0 || fcntl(fd, F_OFD_SETLK, &lock) != 0)) {
    close(fd);
    return -1;
  }
  return fd;
}

void RemoveUtf8Tree(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

int MountScratchFs(const char* path, std::string* why) {
  std::filesystem::create_directories(path);
  if (mount("vantel32-test", path, "tmpfs", 0, "size=1m") == 0) return 0;
  *why = std::string("cannot mount a tmpfs (needs root or CAP_SYS_ADMIN): ") + strerror(errno);
  return -1;
}

void UnmountScratchFs(const char* path) {
  umount2(path, MNT_DETACH);
}

int ExchangeEntries(const char* a, const char* b) {
  return renameat2(AT_FDCWD, a, AT_FDCWD, b, RENAME_EXCHANGE) == 0 ? 0 : 1;
}
