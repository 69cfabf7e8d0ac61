// Entries every walk of this run leaves out: the data files that Scan is about to rewrite.
// Matched by name first (cheap), then by device and file number, so another file of the same
// name elsewhere in the tree is still walked.
#include <cstring>
#include <string>
#include <vector>

#include "core/walk.h"
#include "platform/save.h"

namespace {

struct LeftOut {
  std::string name;
  EntryId id;
};

std::vector<LeftOut> leftOut;

const char* BaseName(const char* path) {
  const char* name = path;
  for (const char* p = path; *p; ++p)
    if (*p == kPathSep || *p == '/') name = p + 1;
  return name;
}

void Add(const char* path) {
  EntryId id;
  if (GetEntryId(path, false, &id)) leftOut.push_back({BaseName(path), id});
}

}  // namespace

void LeaveOutOfWalks(const char* path) {
  EntryId id;
  if (!GetEntryId(path, false, &id)) return;
  Add(path);
  char target[MAX_PATH];
  if (id.link && ResolveSaveTarget(path, target, sizeof target)) Add(target);
}

bool IsLeftOut(const char* dir, const char* name) {
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
