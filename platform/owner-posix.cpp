// Whose a catalogue is on POSIX: the owner of an entry and its directory's write bits, and the
// extended attributes (POSIX ACLs among them) that a save copies to the new file.
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/owner.h"

namespace {

constexpr const char* kAccessAcl = "system.posix_acl_access";

// The kernel's protected_regular and protected_symlinks rule, held whatever those settings are.
bool ForeignInShared(const char* path) {
  struct stat st, dir;
  if (lstat(path, &st) != 0 || st.st_uid == geteuid() || st.st_uid == 0) return false;
  const char* slash = strrchr(path, '/');
  std::string parent = slash == nullptr ? "." : std::string(path, slash == path ? 1 : slash - path);
  return stat(parent.c_str(), &dir) == 0 && (dir.st_mode & S_IWOTH) != 0;
}

// One attribute's value, or false with errno.
bool GetValue(const char* path, const char* name, std::vector<char>* value) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    ssize_t len = getxattr(path, name, nullptr, 0);
    if (len < 0) return false;
    value->resize(static_cast<size_t>(len));
    len = getxattr(path, name, value->data(), value->size());
    if (len >= 0) {
      value->resize(static_cast<size_t>(len));
      return true;
    }
    if (errno != ERANGE) return false;  // grew in between: ask again
  }
  return false;
}

// The names of path's attributes, NUL-separated; false with errno.
bool ListNames(const char* path, std::vector<char>* names) {
  ssize_t len = listxattr(path, nullptr, 0);
  if (len <= 0) return len == 0 || errno == ENOTSUP;
  names->resize(static_cast<size_t>(len));
  len = listxattr(path, names->data(), names->size());
  if (len < 0) return false;
  names->resize(static_cast<size_t>(len));
  return true;
}

// 0, or the error of the first attribute that could not be copied.
int CopyAttributes(const char* from, int fd) {
  std::vector<char> names, value;
  if (!ListNames(from, &names)) return errno;
  bool hadAcl = false;
  for (size_t at = 0; at < names.size(); at += strlen(&names[at]) + 1) {
    const char* name = &names[at];
    hadAcl = hadAcl || strcmp(name, kAccessAcl) == 0;
    if (!GetValue(from, name, &value)) {
      if (errno == ENODATA) continue;  // removed since it was listed
      return errno;
    }
    if (fsetxattr(fd, name, value.data(), value.size(), 0) != 0) return errno;
  }
  // An ACL the new file inherited from its directory would grant what the old file did not.
  if (!hadAcl && fremovexattr(fd, kAccessAcl) != 0 && errno != ENODATA && errno != ENOTSUP)
    return errno;
  return 0;
}

}  // namespace

bool IsPlantedInSharedDir(const char* name) {
  if (ForeignInShared(name)) return true;
  struct stat st;
  char target[PATH_MAX];
  return lstat(name, &st) == 0 && S_ISLNK(st.st_mode) && realpath(name, target) != nullptr &&
         ForeignInShared(target);
}

bool IsOwnPrivateFile(const char* name) {
  struct stat st;
  return lstat(name, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() &&
         (st.st_mode & 07777) == 0600;
}

CarriedOver KeepExtendedAttributes(const char* existing, int fd) {
  CarriedOver kept;
  struct stat old;
  if (stat(existing, &old) != 0) return kept;  // a new catalogue: nothing to carry over
  kept.otherLinks = old.st_nlink > 1;
  kept.attrError = CopyAttributes(existing, fd);
  // The old mode's group bits may be an ACL's mask: without the ACL they would grant the
  // owning group what it never had.
  if (kept.attrError != 0) fchmod(fd, old.st_mode & 01700);
  return kept;
}
