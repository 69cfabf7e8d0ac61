// Which entries a walk takes, under which name, and the path the system is given for each:
// the long path while it fits MAX_PATH, else, where 8.3 aliases resolve, the path of aliases.
#include "core/entrypath.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/pathtext.h"
#include "core/tell.h"
#include "core/verdict.h"

namespace {

// A skipped entry gets one line, with the path as far as the name can be shown: the reason
// where no error number names it.
void WarnLeftOut(const char* reason, const char* dir, const char* name, int nameLen) {
  char shown[2 * MAX_PATH];
  snprintf(shown, sizeof shown, "%s%.*s", dir, nameLen, name);
  CharToOemA(shown, shown);
  Tell(" *** Warning: %s: %s\n", reason, shown);
  NoteTrouble();
}

bool Fits(size_t len, size_t room) {
  return len + room < kWalkPathLimit;
}

}  // namespace

bool SpellName(WIN32_FIND_DATAA* fd) {
  if (NameLoss(*fd) == nullptr) return true;
  if (fd->cAlternateFileName[0] == '\0') return false;
  snprintf(fd->cFileName, sizeof fd->cFileName, "%.*s",
           static_cast<int>(strnlen(fd->cAlternateFileName, sizeof fd->cAlternateFileName)),
           fd->cAlternateFileName);
  return true;
}

bool TakenUnderAlias(const WIN32_FIND_DATAA& fd) {
  return fd.cAlternateFileName[0] != '\0' &&
         strncmp(fd.cFileName, fd.cAlternateFileName, sizeof fd.cAlternateFileName) == 0;
}

size_t PathRoom(const Table& t, bool dir) {
  if (!dir) return 0;
  // A directory is searched with its separator and a pattern behind it; where the pattern
  // counts toward the limit, with the longer of "*.*" and the mask.
  size_t pattern = kPatternInPathLimit ? std::max<size_t>(3, strlen(t.cFileMask)) : 0;
  return 1 + pattern;
}

EntryPlace::EntryPlace(const Table& t, unsigned parent, const char* dir, const LeftOut* leftOut)
    : t_(t), parent_(parent), dir_(dir), leftOut_(leftOut) {}

const char* EntryPlace::ShortDir() {
  if (!shortReady_) {
    shortReady_ = true;
    size_t base = strlen(t_.cStartPath);
    if (base < sizeof shortDir_) memcpy(shortDir_, t_.cStartPath, base + 1);
    if (base >= sizeof shortDir_ ||
        (parent_ != 0 &&
         t_.ComposeShortPath(parent_ - 1, shortDir_ + base, sizeof shortDir_ - base - 1) != 0)) {
      shortDir_[0] = '\0';
    } else if (parent_ != 0) {
      size_t len = strlen(shortDir_);
      shortDir_[len] = kPathSep;
      shortDir_[len + 1] = '\0';
    }
  }
  return shortDir_;
}

bool EntryPlace::Path(const WIN32_FIND_DATAA& fd, char* out) {
  size_t room = PathRoom(t_, (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
  if (JoinText(out, 2 * MAX_PATH, dir_, fd.cFileName) && Fits(strlen(out), room)) return true;
  if (!kShortPathsResolve || ShortDir()[0] == '\0') return false;
  char name[kShortNameLen + 1] = {};
  MakeShortName(fd, name);
  return JoinText(out, 2 * MAX_PATH, shortDir_, name) && Fits(strlen(out), room);
}

bool EntryPlace::Accept(WIN32_FIND_DATAA* fd, char* path) {
  tooLong_ = false;
  if (!SpellName(fd)) {
    WarnLeftOut(NameLoss(*fd), dir_, fd->cFileName, MAX_PATH);
    return false;
  }
  if (leftOut_ != nullptr && leftOut_->Covers(dir_, fd->cFileName)) return false;
  const char* brk = strpbrk(fd->cFileName, "\r\n");
  if (brk != nullptr) {
    WarnLeftOut("Name with a line break skipped", dir_, fd->cFileName,
                static_cast<int>(brk - fd->cFileName));
    return false;
  }
  if (Path(*fd, path)) return true;
  WarnSkipped(ENAMETOOLONG, dir_, fd->cFileName);
  tooLong_ = true;
  return false;
}

namespace {

// The system path of record idx behind the first base bytes of path, with room to spare.
bool ComposeSystemPath(const Table& t, unsigned idx, char* path, size_t base, size_t room) {
  size_t cap = 2 * MAX_PATH - base;
  int rc = t.ComposeLongPath(idx, path + base, cap);
  if (rc == 0 && Fits(strlen(path), room)) return true;
  if (!kShortPathsResolve) return false;
  // ComposeLongPath has already written the short form when it returned 1.
  if (rc != 1 && t.ComposeShortPath(idx, path + base, cap) != 0) return false;
  return Fits(strlen(path), room);
}

}  // namespace

bool ComposeDirPath(const Table& t, unsigned idx, char* path, size_t base) {
  if (!ComposeSystemPath(t, idx, path, base, PathRoom(t, true))) return false;
  size_t len = strlen(path);
  path[len] = kPathSep;
  path[len + 1] = '\0';
  return true;
}

bool ComposeFilePath(const Table& t, unsigned idx, char* path, size_t base) {
  return ComposeSystemPath(t, idx, path, base, 0);
}
