// A catalogue's records handed on as a live listing would hand on the entries they describe.
#include "modes/stored_walk.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/pathtext.h"
#include "platform/wildcard.h"

namespace {

// The order in which the system lists a directory: bytes compared with ASCII letters folded to
// upper case, ties by the raw bytes.
bool ListedBefore(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    char fa = FoldAscii(*a), fb = FoldAscii(*b);
    if (fa != fb) return static_cast<unsigned char>(fa) < static_cast<unsigned char>(fb);
  }
  if ((*a == '\0') != (*b == '\0')) return *a == '\0';
  return strcmp(a, b) < 0;
}

}  // namespace

StoredTree::StoredTree(const Table& stored, const char* mask)
    : stored_(stored), mask_(mask), all_(MaskMatchesAll(mask)) {
  const std::vector<Record>& recs = stored_.records;
  children_.assign(recs.size() + 1, {});
  for (size_t j = 0; j < recs.size(); ++j) {
    uint32_t up = recs[j].dwUpIdx;
    if (up <= j && recs[j].pLongName != nullptr) children_[up].push_back(static_cast<uint32_t>(j));
  }
  for (std::vector<uint32_t>& c : children_)
    std::stable_sort(c.begin(), c.end(), [&](uint32_t a, uint32_t b) {
      return ListedBefore(recs[a].LongName(), recs[b].LongName());
    });
}

bool StoredTree::Matches(uint32_t j) const {
  const Record& r = stored_.records[j];
  return !(r.dwAttr & atNOMATCH) && (all_ || MatchWildcard(mask_, r.LongName()));
}

void StoredTree::Hand(uint32_t j, const char* dirPath, bool noMatch, bool entry,
                      DirVisitor& visitor) {
  const Record& r = stored_.records[j];
  WIN32_FIND_DATAA fd = {};
  fd.dwFileAttributes = r.dwAttr & ~atNOMATCH;
  fd.ftCreationTime = r.ftCreate;
  fd.ftLastAccessTime = r.ftAccess;
  fd.ftLastWriteTime = r.ftWrite;
  fd.nFileSizeHigh = static_cast<DWORD>(r.qwSize >> 32);
  fd.nFileSizeLow = static_cast<DWORD>(r.qwSize);
  snprintf(fd.cFileName, sizeof fd.cFileName, "%s", r.LongName());
  memcpy(fd.cAlternateFileName, r.cShortName, kShortNameLen);
  char path[2 * MAX_PATH];
  if (!JoinText(path, sizeof path, dirPath, r.LongName())) {
    WarnSkipped(ENAMETOOLONG, dirPath, r.LongName());
    return;
  }
  current_ = j;
  FoundEntry e{&fd, path, r.IsDir(), noMatch, false};
  if (entry) {
    visitor.Entry(e);
  } else {
    visitor.Subdir(e);
  }
}

void StoredTree::List(uint32_t dir, const char* dirPath, DirVisitor& visitor) {
  const std::vector<uint32_t>& c = children_[dir];
  if (all_) {
    for (uint32_t j : c) {
      bool match = Matches(j);
      if (match) Hand(j, dirPath, false, true, visitor);
      if (stored_.records[j].IsDir()) Hand(j, dirPath, !match, false, visitor);
    }
    return;
  }
  for (uint32_t j : c)
    if (Matches(j)) Hand(j, dirPath, false, true, visitor);
  for (uint32_t j : c)
    if (stored_.records[j].IsDir()) Hand(j, dirPath, !Matches(j), false, visitor);
}

std::vector<uint32_t> StoredTree::Children(uint32_t dir) const {
  std::vector<uint32_t> out;
  for (uint32_t j : children_[dir])
    if (stored_.records[j].IsDir()) out.push_back(j);
  for (uint32_t j : children_[dir])
    if (!stored_.records[j].IsDir() && Matches(j)) out.push_back(j);
  return out;
}
