#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "core/crc32shr.h"
#include "core/progress.h"
#include "core/table.h"
#include "core/walk.h"

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

bool AcceptEntry(const char* dir, const char* name) {
  const char* brk = strpbrk(name, "\r\n");
  if (brk != nullptr) {
    char shown[2 * MAX_PATH];
    snprintf(shown, sizeof shown, "%s%.*s", dir, static_cast<int>(brk - name), name);
    CharToOemA(shown, shown);
    fprintf(stderr, " *** Warning: Name with a line break skipped: %s\n", shown);
    return false;
  }
  // The entry's own path, and a directory's path with its separator, must fit the find and
  // open functions; a longer one is left out rather than cut into some other path.
  if (strlen(dir) + strlen(name) + 1 < MAX_PATH) return true;
  WarnSkipped(ENAMETOOLONG, dir, name);
  return false;
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
  fprintf(stderr, " *** Warning: %s: %s\n", strerror(error), shown.c_str());
}

HANDLE FindExactFileA(const char* path, WIN32_FIND_DATAA* fd) {
  HANDLE h = FindFirstFileA(path, fd);
  const char* name = strrchr(path, kPathSep);
  name = name ? name + 1 : path;
  if (strpbrk(name, "*?") == nullptr) return h;
  while (h != INVALID_HANDLE_VALUE && strcmp(fd->cFileName, name) != 0) {
    if (!FindNextFileA(h, fd)) {
      FindClose(h);
      h = INVALID_HANDLE_VALUE;
    }
  }
  return h;
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
      if (!AcceptEntry(dir, fd.cFileName)) continue;
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
    } else if (AcceptEntry(dir, fd.cFileName)) {
      records.emplace_back(fd, parent);
    }
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  return 0;
}

int Table::BuildTree(int recurse) {
  char path[2 * MAX_PATH];
  snprintf(path, MAX_PATH, "%s", cStartPath);
  size_t base = strlen(path);
  records.clear();
  int error = ScanDirectory(path, 0);
  ProgressTimer progress;
  if (progress.Due())
    ProgressLine(" \376 Building file tree: %u\r", static_cast<unsigned>(records.size()));
  if (recurse) {
    for (size_t i = 0; i < records.size(); ++i) {
      const Record& r = records[i];
      // A link to a directory is recorded but never entered: it could lead back up.
      if (!r.IsDir() || (r.dwAttr & FILE_ATTRIBUTE_REPARSE_POINT)) continue;
      if (!ComposeDirPath(*this, static_cast<unsigned>(i), path, base)) continue;
      ScanDirectory(path, static_cast<unsigned>(i + 1));
      if (progress.Due())
        ProgressLine(" \376 Building file tree: %u\r", static_cast<unsigned>(records.size()));
    }
  }
  FinalLine(" \376 Tree   %6u  %s\n", static_cast<unsigned>(records.size()), cStartPath);
  return error;
}

bool ComposeDirPath(const Table& t, unsigned idx, char* path, size_t base) {
  size_t cap = 2 * MAX_PATH - base;
  if (t.ComposeLongPath(idx, path + base, cap) != 0) return false;
  size_t len = strlen(path);
  if (len + 1 >= MAX_PATH) return false;
  path[len] = kPathSep;
  path[len + 1] = '\0';
  return true;
}

bool ComposeFilePath(const Table& t, unsigned idx, char* path, size_t base) {
  return t.ComposeLongPath(idx, path + base, 2 * MAX_PATH - base) == 0 && strlen(path) < MAX_PATH;
}

namespace {

// " path-or-ellipsis  index": 78 columns, the path cut in the middle past 70.
void PrintChecksumProgress(const char* path, unsigned idx) {
  char oem[2 * MAX_PATH];
  char line[128];
  CharToOemA(path, oem);
  size_t len = strlen(oem);
  if (len <= 70) {
    snprintf(line, sizeof line, "%-70.70s  %6u", oem, idx);
  } else {
    snprintf(line, sizeof line, "%.35s...%.33s %6u", oem, oem + len - 33, idx);
  }
  fprintf(stderr, "%-79s\r", line);
}

}  // namespace

void Table::ChecksumPass() {
  ChecksumPass(nullptr);
}

void Table::ChecksumPass(const std::vector<char>* only, bool stored) {
  char path[2 * MAX_PATH];
  snprintf(path, MAX_PATH, "%s", cStartPath);
  size_t base = strlen(path);
  size_t n = records.size();
  unsigned files = 0;
  uint64_t bytes = 0;
  double speed = 0;
  ProgressTimer progress;
  time_t start = time(nullptr);
  for (size_t i = 0; i < n; ++i) {
    Record& r = records[i];
    if (r.IsDir()) continue;
    if (only != nullptr && (i >= only->size() || !(*only)[i])) continue;
    if (ComposeFilePath(*this, static_cast<unsigned>(i), path, base)) {
      if (progress.Due()) PrintChecksumProgress(path, static_cast<unsigned>(i));
      int error =
          stored ? CRCFile(path, &r.dwCRC) : CRCFileOfSize(path, r.qwSize, r.dwAttr, &r.dwCRC);
      if (error != 0 && error != 0xFFFF) WarnSkipped(error, path);
    } else {
      r.dwCRC = 0;  // a path the system cannot take is unreadable
      WarnSkipped(ENAMETOOLONG, cStartPath, r.LongName());
    }
    bytes += r.qwSize;
    ++files;
  }
  time_t elapsed = time(nullptr) - start;
  if (elapsed != 0) speed = bytes / 1024.0 / static_cast<double>(elapsed);
  FinalLine(" \376 CRC32  %6u  Size: %12" PRId64 " bytes   Speed: %7g Kb/s\n", files,
            static_cast<int64_t>(bytes), speed);
}
