// The one walker: a directory listed under the mask (the matching entries, then every
// subdirectory), and the tree builder that takes the listings into a table.
#include "core/walk.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/entrypath.h"
#include "core/exclude.h"
#include "core/lookup.h"
#include "core/pathtext.h"
#include "core/progress.h"
#include "core/table.h"
#include "platform/fileread.h"

namespace {

bool IsDotEntry(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

bool IsDirectory(const WIN32_FIND_DATAA& fd) {
  return (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// each(fd, deferred, h) for every entry of dir that mask matches, "." and ".." aside, with the
// search it came from; 0 or the error number. defer: regular files may come with their name and
// kind only (deferred).
template <typename Each>
int Enumerate(const char* dir, const char* mask, bool defer, Each each) {
  char pattern[2 * MAX_PATH];
  if (!JoinText(pattern, sizeof pattern, dir, mask)) return ENAMETOOLONG;
  WIN32_FIND_DATAA fd;
  bool deferred = false;
  HANDLE h =
      defer ? FindFirstFileDeferringA(pattern, &fd, &deferred) : FindFirstFileA(pattern, &fd);
  if (h == INVALID_HANDLE_VALUE) return FindFailure();
  do {
    if (!IsDotEntry(fd.cFileName)) each(fd, deferred, h);
  } while (defer ? FindNextFileDeferringA(h, &fd, &deferred) : FindNextFileA(h, &fd));
  int error = FindFailure();
  FindClose(h);
  return error;
}

// What one listing judges besides the mask: the entries --exclude leaves out (by name, or by
// the path below the start path, composed once for the directory), and under
// --one-file-system the subdirectories on another device than the directory listed.
class Lister {
 public:
  Lister(const Table& t, unsigned parent, const char* dir, const WalkRules& rules)
      : place(t, parent, dir, rules.leftOut),
        t_(t),
        parent_(parent),
        x_(*rules.exclude),
        oneFileSystem_(rules.oneFileSystem) {}

  bool Excluded(WIN32_FIND_DATAA* fd) {
    if (x_.Empty()) return false;
    SpellName(fd);  // the name the entry is stored under
    const char* rel = "";
    if (x_.ByPath()) {
      if (relLen_ == kUnknown) relLen_ = RelativeDir();
      rel = rel_;
      if (!JoinText(rel_ + relLen_, sizeof rel_ - relLen_, "", fd->cFileName)) rel = "";
    }
    return x_.Covers(fd->cFileName, rel, IsDirectory(*fd));
  }

  // Whether fd, just returned by the search `found`, is a directory to record but not enter. The
  // listing knows its device: no path is looked up that a rename could redirect meanwhile.
  bool OtherDevice(const WIN32_FIND_DATAA& fd, HANDLE found) {
    if (!oneFileSystem_ || !IsDirectory(fd) || (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
      return false;
    return FoundOnOtherDevice(found);
  }

  // Whether the entry may enter the table (EntryPlace::Accept); one past the path limit is
  // handed on as unreached.
  bool Accept(WIN32_FIND_DATAA* fd, DirVisitor& visitor) {
    if (place.Accept(fd, path)) return true;
    if (place.TooLong()) visitor.Unreached(*fd);
    return false;
  }

  EntryPlace place;
  char path[2 * MAX_PATH];  // of the entry being judged

 private:
  static constexpr size_t kUnknown = ~size_t{0};

  // The directory's path below the start path, with its separator; its length.
  size_t RelativeDir() {
    rel_[0] = '\0';
    if (parent_ == 0 || t_.ComposeLongPath(parent_ - 1, rel_, sizeof rel_ - 1) == kPathTooLong)
      return 0;
    size_t len = strlen(rel_);
    rel_[len] = kPathSep;
    rel_[len + 1] = '\0';
    return len + 1;
  }

  const Table& t_;
  unsigned parent_;
  const Exclusions& x_;
  bool oneFileSystem_;
  size_t relLen_ = kUnknown;
  char rel_[2 * MAX_PATH];
};

// The tree builder's side of a listing: the subdirectories in the order of all names, then the
// files the mask matched.
class Appender : public DirVisitor {
 public:
  Appender(std::vector<Record>& records, unsigned parent, bool deferFiles)
      : records_(records), parent_(parent), deferFiles_(deferFiles) {}

  bool DefersFiles() const override { return deferFiles_; }
  void Entry(const FoundEntry& e) override {
    if (e.dir) return;
    files_.emplace_back(*e.fd, parent_);
    if (e.deferred) files_.back().wStatus |= stDEFERRED;
  }
  void Subdir(const FoundEntry& e) override {
    records_.emplace_back(*e.fd, parent_);
    Record& r = records_.back();
    if (e.noMatch) r.dwAttr |= atNOMATCH;
    if (e.otherDevice) r.wStatus |= stOTHERFS;
    r.qwSize = 0;
  }
  void Finish() {
    for (Record& r : files_) records_.push_back(std::move(r));
  }

 private:
  std::vector<Record>& records_;
  unsigned parent_;
  bool deferFiles_;
  std::vector<Record> files_;
};

}  // namespace

int FindFailure() {
  DWORD code = GetLastError();
  // The directory was read: nothing (more) in it matched.
  if (code == ERROR_FILE_NOT_FOUND || code == ERROR_NO_MORE_FILES) return 0;
  return ErrnoOfFindError(code);
}

bool MaskMatchesAll(const char* mask) {
  return strcmp(mask, "*") == 0 || strcmp(mask, "*.*") == 0;
}

int ListDirectory(const Table& t, unsigned parent, const char* dir, const WalkRules& rules,
                  DirVisitor& visitor) {
  if (rules.roots != nullptr) rules.roots->Trust(t.cStartPath);
  Lister list(t, parent, dir, rules);
  bool defer = visitor.DefersFiles();
  // Under a mask that matches every name one enumeration gives both runs.
  if (MaskMatchesAll(t.cFileMask)) {
    return Enumerate(dir, "*.*", defer, [&](WIN32_FIND_DATAA& fd, bool deferred, HANDLE h) {
      if (list.Excluded(&fd) || !list.Accept(&fd, visitor)) return;
      FoundEntry e{&fd, list.path, IsDirectory(fd), false, list.OtherDevice(fd, h), deferred};
      visitor.Entry(e);
      if (e.dir) visitor.Subdir(e);
    });
  }
  // The directories the mask matched, by the name the run of all names sees, and whether they
  // were taken: each is judged (and warned about) once.
  struct Matched {
    bool taken;
    bool otherDevice;
  };
  std::unordered_map<std::string, Matched> matched;
  int error =
      Enumerate(dir, t.cFileMask, defer, [&](WIN32_FIND_DATAA& fd, bool deferred, HANDLE h) {
        bool isDir = IsDirectory(fd);
        bool taken = !list.Excluded(&fd) && list.Accept(&fd, visitor);
        FoundEntry e{&fd, list.path, isDir, false, taken && list.OtherDevice(fd, h), deferred};
        if (isDir) matched.emplace(fd.cFileName, Matched{taken, e.otherDevice});
        if (taken) visitor.Entry(e);
      });
  if (error != 0) return error;
  // The run of all names also tells a directory that is gone or unreadable from one where
  // nothing matched. It takes directories only: no file needs to be looked at.
  return Enumerate(dir, "*.*", true, [&](WIN32_FIND_DATAA& fd, bool, HANDLE h) {
    if (!IsDirectory(fd)) return;
    SpellName(&fd);
    auto seen = matched.find(fd.cFileName);
    if (seen != matched.end()) {
      if (seen->second.taken && list.place.Path(fd, list.path))
        visitor.Subdir(FoundEntry{&fd, list.path, true, false, seen->second.otherDevice});
    } else if (!list.Excluded(&fd) && list.Accept(&fd, visitor)) {
      visitor.Subdir(FoundEntry{&fd, list.path, true, true, list.OtherDevice(fd, h)});
    }
  });
}

namespace {

// A directory that is no directory now (swapped for a link or a file since it was listed) is
// recorded as what it is now, so that no listing or catalogue shows a folder that was never
// entered as one.
void RecordAsItIsNow(Record& r, const char* dir) {
  std::string path(dir);
  while (path.size() > 1 && path.back() == kPathSep) path.pop_back();
  WIN32_FIND_DATAA fd;
  HANDLE h = FindExactFileA(path.c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return;
  FindClose(h);
  if (IsDirectory(fd) && !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) return;
  uint32_t noMatch = r.dwAttr & atNOMATCH;
  r = Record(fd, r.dwUpIdx);
  r.dwAttr |= noMatch;
}

}  // namespace

int Table::ScanDirectory(const char* dir, unsigned parent, const WalkRules& rules,
                         bool deferFiles) {
  Appender appender(records, parent, deferFiles);
  int error = ListDirectory(*this, parent, dir, rules, appender);
  appender.Finish();
  if (error == ENOTDIR && parent != 0) RecordAsItIsNow(records[parent - 1], dir);
  if (error != 0) WarnSkipped(error, dir);
  return error;
}

void Table::ExpandSubtrees(size_t from, const std::function<void(size_t)>& visit,
                           const WalkRules& rules, bool deferFiles) {
  char path[2 * MAX_PATH];
  size_t base = strlen(cStartPath);
  memcpy(path, cStartPath, base + 1);
  for (size_t i = from; i < records.size(); ++i) {
    const Record& r = records[i];
    if (r.IsDir() && !(r.dwAttr & FILE_ATTRIBUTE_REPARSE_POINT) && !(r.wStatus & stOTHERFS) &&
        ComposeDirPath(*this, static_cast<unsigned>(i), path, base))
      ScanDirectory(path, static_cast<unsigned>(i + 1), rules, deferFiles);
    visit(i);
  }
}

int Table::BuildTree(int recurse, const WalkRules& rules, const std::function<void(size_t)>& found,
                     bool deferFiles) {
  char path[2 * MAX_PATH];
  snprintf(path, MAX_PATH, "%s", cStartPath);
  records.clear();
  if (recurse) ReserveForWalk();
  int error = ScanDirectory(path, 0, rules, deferFiles);
  if (found) found(records.size());
  Progress shown(rules.quiet);
  ProgressTimer progress(rules.quiet);
  if (progress.Due())
    shown.Line(" \376 Building file tree: %u\r", static_cast<unsigned>(records.size()));
  if (recurse) {
    ExpandSubtrees(
        0,
        [&](size_t i) {
          if (!records[i].IsDir()) return;
          if (found) found(records.size());
          if (progress.Due())
            shown.Line(" \376 Building file tree: %u\r", static_cast<unsigned>(records.size()));
        },
        rules, deferFiles);
  }
  shown.Final(" \376 Tree   %6u  %s\n", static_cast<unsigned>(records.size()), cStartPath);
  return error;
}
