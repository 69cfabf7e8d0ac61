// Compare of a table with a catalogue's records instead of a live tree.
#include "modes/stored_walk.h"

#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/time_window.h"
#include "modes/change_text.h"
#include "modes/report.h"
#include "store/format.h"

namespace {

bool Enterable(const Record& r) {
  return r.IsDir() && !(r.dwAttr & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool Traversal(const Record& r) {
  return r.IsDir() && (r.dwAttr & atNOMATCH);
}

class StoredWalk {
 public:
  StoredWalk(Table& t, const Table& s, const CheckOptions& opt, const ChangeSink& onChange)
      : t_(t), s_(s), opt_(opt), sink_(onChange) {}

  void Run();

 private:
  static std::string Key(uint32_t up, bool dir, const char* name);
  void Index();
  void Visit(uint32_t d, uint32_t e);
  void Take(uint32_t d, uint32_t j);
  void TakeTraversal(uint32_t d, uint32_t j);
  void TakeNew(uint32_t d, uint32_t j);
  void Compare(uint32_t k, const Record& now);
  long Find(uint32_t up, bool dir, const char* name) const;

  Table& t_;
  const Table& s_;
  const CheckOptions& opt_;
  const ChangeSink& sink_;
  size_t stored_ = 0;
  std::unordered_map<std::string, uint32_t> index_;  // (parent, kind, name) -> record
  std::vector<std::vector<uint32_t>> children_;      // of the stored side, by directory number
  std::vector<uint32_t> twin_;  // directory k of the table -> its stored directory number, or 0
};

std::string StoredWalk::Key(uint32_t up, bool dir, const char* name) {
  std::string key(reinterpret_cast<const char*>(&up), sizeof up);
  key += dir ? 'd' : 'f';
  return key += name;
}

long StoredWalk::Find(uint32_t up, bool dir, const char* name) const {
  auto it = index_.find(Key(up, dir, name));
  return it == index_.end() ? -1 : static_cast<long>(it->second);
}

// The same records are looked for as in a live walk: without sub the first level only.
void StoredWalk::Index() {
  auto& recs = t_.records;
  stored_ = recs.size();
  for (size_t k = 0; k < stored_; ++k) {
    Record& r = recs[k];
    r.wStatus = (opt_.sub || r.dwUpIdx == 0) ? stGONE : 0;
    if (r.pLongName != nullptr)
      index_.emplace(Key(r.dwUpIdx, r.IsDir(), r.pLongName), static_cast<uint32_t>(k));
  }
  children_.assign(s_.records.size() + 1, {});
  for (size_t j = 0; j < s_.records.size(); ++j) {
    uint32_t up = s_.records[j].dwUpIdx;
    if ((opt_.sub || up == 0) && up <= j) children_[up].push_back(static_cast<uint32_t>(j));
  }
  twin_.assign(stored_, 0);
}

void StoredWalk::Run() {
  Index();
  Visit(0, 0);
  if (opt_.sub) {
    for (size_t k = 0; k < stored_; ++k)
      if (twin_[k] != 0) Visit(static_cast<uint32_t>(k + 1), twin_[k]);
    return;
  }
  // Records below a first-level directory that is gone go with it.
  auto& recs = t_.records;
  for (size_t k = 0; k < stored_; ++k) {
    uint32_t up = recs[k].dwUpIdx;
    if (up != 0 && up - 1 < k && (recs[up - 1].wStatus & stGONE)) recs[k].wStatus |= stGONE;
  }
}

// Directory d of the table against stored directory e: the entries of the mask first, then the
// directories kept only to reach deeper levels, as a live walk finds them.
void StoredWalk::Visit(uint32_t d, uint32_t e) {
  for (uint32_t j : children_[e])
    if (!Traversal(s_.records[j])) Take(d, j);
  for (uint32_t j : children_[e])
    if (Traversal(s_.records[j])) TakeTraversal(d, j);
}

void StoredWalk::Take(uint32_t d, uint32_t j) {
  const Record& now = s_.records[j];
  long k = Find(d, now.IsDir(), now.LongName());
  if (k < 0) {
    TakeNew(d, j);
    return;
  }
  t_.records[k].wStatus &= ~stGONE;
  if (Enterable(now)) twin_[k] = j + 1;
  Compare(static_cast<uint32_t>(k), now);
}

void StoredWalk::TakeTraversal(uint32_t d, uint32_t j) {
  const Record& now = s_.records[j];
  long k = Find(d, true, now.LongName());
  if (k < 0) {
    TakeNew(d, j);
    return;
  }
  // Never reported, only walked through.
  Record& r = t_.records[k];
  r.wStatus &= ~stGONE;
  if (Enterable(now)) twin_[k] = j + 1;
  memcpy(r.cShortName, now.cShortName, kShortNameLen);
  r.dwAttr = now.dwAttr | atNOMATCH;
  r.ftCreate = now.ftCreate;
  r.ftAccess = now.ftAccess;
  r.ftWrite = now.ftWrite;
}

// Appends stored record j under directory d, and under sub its whole stored subtree, level by
// level in table order as the tree builder takes a new tree in.
void StoredWalk::TakeNew(uint32_t d, uint32_t j) {
  auto& recs = t_.records;
  std::vector<std::pair<uint32_t, uint32_t>> dirs;  // (stored number, table number)
  auto append = [&](uint32_t from, uint32_t up) {
    recs.push_back(s_.records[from]);
    Record& r = recs.back();
    r.dwUpIdx = up;
    r.wStatus = stNEW;
    if (opt_.sub && Enterable(r)) dirs.emplace_back(from + 1, static_cast<uint32_t>(recs.size()));
  };
  append(j, d);
  for (size_t n = 0; n < dirs.size(); ++n) {
    auto [e, up] = dirs[n];
    for (uint32_t c : children_[e])
      if (!Traversal(s_.records[c])) append(c, up);
    for (uint32_t c : children_[e])
      if (Traversal(s_.records[c])) append(c, up);
  }
}

void StoredWalk::Compare(uint32_t k, const Record& now) {
  Record& r = t_.records[k];
  EntryChange c;
  bool dir = now.IsDir();
  EntryFacts facts{now.cShortName, now.ftCreate, now.ftWrite, now.dwAttr & ~atNOMATCH, dir};
  int changes = CheckFacts(r, facts, opt_, c);
  // A file with contents stored with CRC 0 was never checksummed there (/nc): nothing to
  // compare its contents with.
  bool crcKnown = now.dwCRC != 0 || now.qwSize == 0 || !HasContents(now.dwAttr);
  if (!opt_.noSize && r.qwSize != now.qwSize) {
    SizeChange(r.qwSize, now.qwSize, c.size, sizeof c.size);
    c.was.size = r.qwSize;
    c.now.size = now.qwSize;
    r.qwSize = now.qwSize;
    r.dwCRC = now.dwCRC;
    ++changes;
  } else if (!opt_.noCrc && crcKnown && r.dwCRC != now.dwCRC) {
    CrcChange(r.dwCRC, now.dwCRC, c.crc, sizeof c.crc);
    c.was.crc = r.dwCRC;
    c.now.crc = now.dwCRC;
    r.dwCRC = now.dwCRC;
    ++changes;
  }
  if (changes == 0) return;
  char shown[2 * MAX_PATH];
  c.path = ShownPath(t_, static_cast<long>(k), shown);
  std::string exact = t_.cStartPath;
  char rest[2 * MAX_PATH];
  t_.ComposeLongPath(k, rest, sizeof rest);
  exact += rest;
  c.exactPath = exact.c_str();
  c.isDir = dir;
  sink_(c);
}

}  // namespace

void WalkStored(Table& table, const Table& stored, const CheckOptions& opt,
                const ChangeSink& onChange) {
  StoredWalk(table, stored, opt, onChange).Run();
}
