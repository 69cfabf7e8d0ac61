// Entries a run's walks leave out: the data files that Scan is about to rewrite, and temporary
// files that a killed save left beside them.
// Matched by name first (cheap), then by device and file number, so another file of the same
// name elsewhere in the tree is still walked.
#include "core/leftout.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/pathtext.h"
#include "core/tell.h"
#include "platform/owner.h"
#include "platform/platform.h"
#include "platform/save.h"

namespace {

const char* BaseName(const char* path) {
  const char* name = path;
  for (const char* p = path; *p; ++p)
    if (*p == kPathSep || *p == '/') name = p + 1;
  return name;
}

// What every data file begins with, whatever its version.
constexpr char kSignaturePrefix[] = "VNT CRC Ver.";

// A temporary file that a killed save left: named as the save names them, its user's own and
// private, and empty or begun as a data file. A user's file that only looks like one is not.
bool IsInterruptedSave(const char* path) {
  if (!IsOwnPrivateFile(path)) return false;
  int fd = _open(path, _O_RDONLY | _O_BINARY);
  if (fd < 0) return false;
  char head[sizeof kSignaturePrefix - 1];
  int got = _read(fd, head, sizeof head);
  _close(fd);
  return got == 0 ||
         (got == static_cast<int>(sizeof head) && memcmp(head, kSignaturePrefix, sizeof head) == 0);
}

void WarnInterruptedSaves(const std::string& dir) {
  std::string pattern = dir + kTempPrefix + "*" + kTempSuffix;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA(pattern.c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    std::string path = dir + fd.cFileName;
    if (IsTemporaryName(fd.cFileName) && IsInterruptedSave(path.c_str()))
      Tell(" *** Warning: Temporary file of an interrupted save: %s\n", path.c_str());
  } while (FindNextFileA(h, &fd));
  FindClose(h);
}

}  // namespace

bool LeftOut::Known(const FileId& dir) const {
  for (const FileId& d : saveDirs_)
    if (d == dir) return true;
  return false;
}

// The entry, and the directory it is saved in (also before the first save), whose temporary
// files are told of once.
void LeftOut::AddEntry(const char* path) {
  EntryId id;
  std::string dir(path, static_cast<size_t>(BaseName(path) - path));
  if (GetEntryId(dir.empty() ? "." : dir.c_str(), true, &id) && !Known(id.file)) {
    saveDirs_.push_back(id.file);
    WarnInterruptedSaves(dir);
  }
  if (GetEntryId(path, false, &id)) entries_.push_back({BaseName(path), id});
}

bool LeftOut::IsSaveDir(const char* dir) const {
  EntryId id;
  return !saveDirs_.empty() && GetEntryId(dir, true, &id) && Known(id.file);
}

void LeftOut::Add(const char* path) {
  AddEntry(path);
  EntryId id;
  if (!GetEntryId(path, false, &id)) return;
  char target[MAX_PATH];
  if (id.link && ResolveSaveTarget(path, target, sizeof target)) AddEntry(target);
}

bool LeftOut::Covers(const char* dir, const char* name) const {
  char path[2 * MAX_PATH];
  if (IsTemporaryName(name) && IsSaveDir(dir) && JoinText(path, sizeof path, dir, name) &&
      IsInterruptedSave(path))
    return true;
  for (const Entry& l : entries_) {
    if (l.name != name) continue;
    EntryId id;
    if (JoinText(path, sizeof path, dir, name) && GetEntryId(path, false, &id) &&
        id.file == l.id.file)
      return true;
  }
  return false;
}
