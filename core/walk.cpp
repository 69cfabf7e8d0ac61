// The tree walk: directories enumerated twice (every entry, then the mask), and the checksum pass.
#include "core/walk.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/checksum_run.h"
#include "core/crc32shr.h"
#include "core/progress.h"
#include "core/reason.h"
#include "core/table.h"
#include "core/verdict.h"

namespace {

bool IsDotEntry(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

}  // namespace

bool JoinText(char* out, size_t cap, const char* a, const char* b) {
  size_t la = strlen(a), lb = strlen(b);
  if (la + lb >= cap) return false;
  memcpy(out, a, la);
  memcpy(out + la, b, lb + 1);
  return true;
}

int FindFailure() {
  DWORD code = GetLastError();
  // The directory was read: nothing (more) in it matched.
  if (code == ERROR_FILE_NOT_FOUND || code == ERROR_NO_MORE_FILES) return 0;
  return ErrnoOfFindError(code);
}

void WarnSkipped(int error, const char* dir, const char* name) {
  std::string shown = std::string(dir) + name;
  CharToOemA(&shown[0], &shown[0]);
  fprintf(stderr, " *** Warning: %s: %s\n", ReasonText(error), shown.c_str());
  NoteTrouble();
}

bool MaskMatchesAll(const char* mask) {
  return strcmp(mask, "*") == 0 || strcmp(mask, "*.*") == 0;
}

int Table::ScanDirectory(const char* dir, unsigned parent) {
  char pattern[2 * MAX_PATH];
  std::vector<size_t> subdirs;
  WIN32_FIND_DATAA fd;
  // Under a mask that matches every name the second pass would list the same entries again:
  // one enumeration gives the same records (no directory keeps the mark).
  bool single = MaskMatchesAll(cFileMask);
  std::vector<Record> files;
  EntryPlace place(*this, parent, dir);

  if (!JoinText(pattern, sizeof pattern, dir, "*.*")) {
    WarnSkipped(ENAMETOOLONG, dir);
    return ENAMETOOLONG;
  }
  HANDLE h = FindFirstFileA(pattern, &fd);
  int error = h == INVALID_HANDLE_VALUE ? FindFailure() : 0;
  if (h != INVALID_HANDLE_VALUE) {
    do {
      if (IsDotEntry(fd.cFileName)) continue;
      bool isDir = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      if (!isDir && !single) continue;
      if (!place.Accept(&fd)) continue;
      if (!isDir) {
        files.emplace_back(fd, parent);
        continue;
      }
      if (!single) fd.dwFileAttributes |= atNOMATCH;
      fd.nFileSizeHigh = 0;
      fd.nFileSizeLow = 0;
      subdirs.push_back(records.size());
      records.emplace_back(fd, parent);
    } while (FindNextFileA(h, &fd));
    error = FindFailure();
    FindClose(h);
  }
  if (error != 0) WarnSkipped(error, dir);
  if (single) {
    for (Record& r : files) records.push_back(std::move(r));
    return error;
  }

  if (error != 0 || !JoinText(pattern, sizeof pattern, dir, cFileMask)) return error;
  h = FindFirstFileA(pattern, &fd);
  if (h == INVALID_HANDLE_VALUE) return 0;
  size_t cursor = 0;  // both passes usually return names in the same order
  do {
    if (IsDotEntry(fd.cFileName)) continue;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (!SpellName(&fd)) continue;  // skipped with a warning in the first pass
      // Matched by long name: two directories may share their first 14 characters.
      for (size_t k = 0; k < subdirs.size(); ++k) {
        size_t at = (cursor + k) % subdirs.size();
        Record& r = records[subdirs[at]];
        if (strcmp(r.LongName(), fd.cFileName) == 0) {
          r.dwAttr &= ~atNOMATCH;
          cursor = at + 1;
          break;
        }
      }
    } else if (place.Accept(&fd)) {
      records.emplace_back(fd, parent);
    }
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  return 0;
}

void Table::ExpandSubtrees(size_t from, const std::function<void(size_t)>& visit) {
  char path[2 * MAX_PATH];
  size_t base = strlen(cStartPath);
  memcpy(path, cStartPath, base + 1);
  for (size_t i = from; i < records.size(); ++i) {
    const Record& r = records[i];
    if (r.IsDir() && !(r.dwAttr & FILE_ATTRIBUTE_REPARSE_POINT) &&
        ComposeDirPath(*this, static_cast<unsigned>(i), path, base))
      ScanDirectory(path, static_cast<unsigned>(i + 1));
    visit(i);
  }
}

int Table::BuildTree(int recurse, ChecksumRun* reads) {
  char path[2 * MAX_PATH];
  snprintf(path, MAX_PATH, "%s", cStartPath);
  records.clear();
  int error = ScanDirectory(path, 0);
  if (reads != nullptr) reads->QueueWhileWalking(records.size());
  ProgressTimer progress;
  if (progress.Due())
    ProgressLine(" \376 Building file tree: %u\r", static_cast<unsigned>(records.size()));
  if (recurse) {
    ExpandSubtrees(0, [&](size_t i) {
      if (!records[i].IsDir()) return;
      if (reads != nullptr) reads->QueueWhileWalking(records.size());
      if (progress.Due())
        ProgressLine(" \376 Building file tree: %u\r", static_cast<unsigned>(records.size()));
    });
  }
  FinalLine(" \376 Tree   %6u  %s\n", static_cast<unsigned>(records.size()), cStartPath);
  return error;
}

void Table::ChecksumPass() {
  ChecksumPass(nullptr);
}

int Table::BuildAndChecksum(int recurse) {
  CrcReaders readers(ReaderThreads());
  ChecksumRun run(*this, readers, false);
  int error = BuildTree(recurse, &run);
  if (error == 0) run.Finish();  // a tree that could not be read has nothing to sum up
  return error;
}

void Table::ChecksumPass(const std::vector<char>* only, bool stored) {
  CrcReaders readers(ReaderThreads());
  ChecksumRun run(*this, readers, stored);
  run.Finish(only);
}
