// Entries every walk of this run leaves out: the data files that Scan is about to rewrite, and
// temporary files that a killed save left beside them.
// Matched by name first (cheap), then by device and file number, so another file of the same
// name elsewhere in the tree is still walked.
#include "core/leftout.h"

#include <cstring>
#include <string>
#include <vector>

#include "core/pathtext.h"
#include "platform/platform.h"
#include "platform/save.h"

namespace {

struct LeftOut {
  std::string name;
  EntryId id;
};

std::vector<LeftOut> leftOut;
// The directories the data files are saved in: temporary files there are left out too.
std::vector<FileId> saveDirs;

const char* BaseName(const char* path) {
  const char* name = path;
  for (const char* p = path; *p; ++p)
    if (*p == kPathSep || *p == '/') name = p + 1;
  return name;
}

// The entry, and the directory it is saved in (also before the first save).
void Add(const char* path) {
  EntryId id;
  std::string dir(path, static_cast<size_t>(BaseName(path) - path));
  if (GetEntryId(dir.empty() ? "." : dir.c_str(), true, &id)) saveDirs.push_back(id.file);
  if (GetEntryId(path, false, &id)) leftOut.push_back({BaseName(path), id});
}

bool IsSaveDir(const char* dir) {
  EntryId id;
  if (!GetEntryId(dir, true, &id)) return false;
  for (const FileId& d : saveDirs)
    if (d == id.file) return true;
  return false;
}

}  // namespace

void LeaveOutOfWalks(const char* path) {
  Add(path);
  EntryId id;
  if (!GetEntryId(path, false, &id)) return;
  char target[MAX_PATH];
  if (id.link && ResolveSaveTarget(path, target, sizeof target)) Add(target);
}

bool IsLeftOut(const char* dir, const char* name) {
  if (IsTemporaryName(name) && IsSaveDir(dir)) return true;
  for (const LeftOut& l : leftOut) {
    if (l.name != name) continue;
    char path[2 * MAX_PATH];
    EntryId id;
    if (JoinText(path, sizeof path, dir, name) && GetEntryId(path, false, &id) &&
        id.file == l.id.file)
      return true;
  }
  return false;
}
