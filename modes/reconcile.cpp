// The reconciler: stored records matched against a live tree, directory by directory.
#include "modes/reconcile.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "core/crc32shr.h"
#include "core/entrypath.h"
#include "core/exclude.h"
#include "core/pathtext.h"
#include "core/progress.h"
#include "core/reason.h"
#include "core/tell.h"
#include "core/time_window.h"
#include "core/verdict.h"
#include "core/walk.h"
#include "modes/change_text.h"
#include "modes/stored_walk.h"
#include "platform/fileread.h"
#include "store/format.h"

namespace {

uint64_t KeyHash(uint32_t up, bool dir, const char* name) {
  uint64_t h = 1469598103934665603ull ^ (uint64_t(up) << 1 | (dir ? 1 : 0));
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p; ++p)
    h = (h ^ *p) * 1099511628211ull;
  return h ^ (h >> 29);
}

// A file with contents whose CRC was never made: stored under /nc (or unreadable then).
bool CrcUnknown(const Record& r) {
  return HasContents(r.dwAttr) && !r.IsDir() && r.qwSize != 0 && r.dwCRC == 0;
}

// The readers' tag of a matched entry's checksum; other tags are the indexes of new records.
constexpr uint64_t kMatchedTag = uint64_t{1} << 63;

// Matched entries held for their report behind one whose file is still being read.
constexpr size_t kMaxMatched = 8192;

// A new file that the listing left to its reader is looked at now, so that its record enters
// the table whole. False when it is gone or a directory now (the walk leaves it out, as it
// leaves out what it cannot find) or cannot be looked at (warned).
bool LookUpDeferred(const FoundEntry& e, WIN32_FIND_DATAA* out) {
  FileFacts facts;
  int fd = OpenDeferredFile(e.path, &facts, false);
  int error = errno;
  if (fd >= 0) _close(fd);
  if (!facts.found) {
    if (error != ENOENT) WarnSkipped(error != 0 ? error : EIO, e.path);
    return false;
  }
  if (facts.attributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  *out = *e.fd;
  out->dwFileAttributes = facts.attributes;
  out->ftCreationTime = facts.creation;
  out->ftLastAccessTime = facts.lastAccess;
  out->ftLastWriteTime = facts.lastWrite;
  out->nFileSizeHigh = static_cast<DWORD>(facts.size >> 32);
  out->nFileSizeLow = static_cast<DWORD>(facts.size);
  return true;
}

}  // namespace

Reconciler::Reconciler(Table& table, const CheckOptions& options)
    : table_(table), opt_(options), progress_(options.walk.quiet) {}

void Reconciler::Index() {
  auto& recs = table_.records;
  stored_ = recs.size();
  size_t cap = 16;
  while (cap < stored_ + stored_ / 2) cap <<= 1;  // at most two thirds full
  slots_.assign(cap, 0);
  idxBits_ = 1;
  while (idxBits_ < 32 && (uint64_t{1} << idxBits_) <= stored_) ++idxBits_;
  visit_.assign(1, 0);
  enterable_.assign(stored_, 0);
  if (tree_ != nullptr) twin_.assign(stored_, 0);
  keepBelow_.clear();
  shadowed_.clear();
  // What --exclude covers is not looked for: the walk never hands it on.
  covered_ = CoveredRecords(table_, stored_, *opt_.walk.exclude);
  for (size_t k = 0; k < stored_; ++k) {
    Record& r = recs[k];
    if (IsCovered(k)) {
      r.wStatus = 0;
      continue;
    }
    // Without sub only the first level is looked at: what lies deeper is neither reported
    // nor dropped, unless its first-level directory is gone.
    r.wStatus = (opt_.sub || r.dwUpIdx == 0) ? stGONE : 0;
    if (opt_.sub && r.IsDir()) visit_.push_back(static_cast<uint32_t>(k + 1));
    if (r.pLongName == nullptr) continue;  // never matched: a found entry always has a name
    uint64_t h = KeyHash(r.dwUpIdx, r.IsDir(), r.pLongName);
    long first;
    size_t s = Probe(h, r.dwUpIdx, r.IsDir(), r.pLongName, &first);
    if (first >= 0) {  // the first record wins
      if (shadowed_.empty()) shadowed_.assign(stored_, 0);
      shadowed_[k] = 1;
      continue;
    }
    slots_[s] = TagOf(h) | static_cast<uint32_t>(k + 1);
  }
}

size_t Reconciler::Probe(uint64_t h, uint32_t up, bool dir, const char* name, long* found) const {
  const uint32_t index = idxBits_ < 32 ? (uint32_t{1} << idxBits_) - 1 : ~uint32_t{0};
  const uint32_t tag = TagOf(h);
  size_t mask = slots_.size() - 1;
  size_t s = h & mask;
  for (; slots_[s] != 0; s = (s + 1) & mask) {
    if ((slots_[s] & ~index) != tag) continue;
    size_t k = (slots_[s] & index) - 1;
    const Record& r = table_.records[k];
    if (r.dwUpIdx == up && r.IsDir() == dir && strcmp(r.LongName(), name) == 0) {
      *found = static_cast<long>(k);
      return s;
    }
  }
  *found = -1;
  return s;
}

long Reconciler::Find(uint32_t up, bool dir, const char* name) const {
  if (slots_.empty()) return -1;
  long k;
  Probe(KeyHash(up, dir, name), up, dir, name, &k);
  return k;
}

bool Reconciler::IsFirstOfKey(size_t k, bool dir, const char* name) const {
  const Record& r = table_.records[k];
  return r.dwUpIdx == visiting_ && r.IsDir() == dir && r.pLongName != nullptr && !IsCovered(k) &&
         (shadowed_.empty() || !shadowed_[k]) && strcmp(r.pLongName, name) == 0;
}

long Reconciler::Match(bool dir, const char* name) {
  uint32_t& last = dir ? lastDir_ : lastFile_;
  long k = last != 0 && last < stored_ && IsFirstOfKey(last, dir, name)
               ? static_cast<long>(last)
               : Find(visiting_, dir, name);
  if (k >= 0 && static_cast<size_t>(k) < stored_) last = static_cast<uint32_t>(k + 1);
  return k;
}

int Reconciler::Walk(int progressTask, const ChangeSink& onChange, const KeptSink& onKept) {
  task_ = progressTask;
  sink_ = &onChange;
  keptSink_ = onKept ? &onKept : nullptr;
  char path[2 * MAX_PATH];
  snprintf(path, MAX_PATH, "%s", table_.cStartPath);
  size_t base = strlen(path);
  CrcReaders reads(opt_.walk.readers);
  reads_ = &reads;
  for (uint32_t d : visit_) {
    int error = VisitDirectory(d, path, base);
    if (d == 0 && error != 0) {
      reads_ = nullptr;
      return error;
    }
    if (error == 0 || IsGone(error)) continue;
    // Still there but unreadable: what it held is unknown, not gone. What was matched before
    // it is reported first, its own change included.
    reads.Drain();
    char shown[2 * MAX_PATH];
    CharToOemA(path, shown);
    Tell(" *** Warning: Directory not readable, kept as stored: %s\n", shown);
    PrintReason(error);
    NoteTrouble();
    KeepBelow(d);
    if (keptSink_ != nullptr) (*keptSink_)(d - 1, "unreadable");
  }
  // A file found gone by its reader is missing again before the stored subtrees are judged.
  reads.Drain();
  if (!keepBelow_.empty()) KeepStoredBelow(keepBelow_);
  if (!opt_.sub) {
    // Records below a first-level directory that is gone go with it.
    auto& recs = table_.records;
    for (size_t k = 0; k < stored_; ++k) {
      uint32_t up = recs[k].dwUpIdx;
      if (up != 0 && up - 1 < k && (recs[up - 1].wStatus & stGONE) && !IsCovered(k))
        recs[k].wStatus |= stGONE;
    }
  }
  reads_ = nullptr;
  keptSink_ = nullptr;
  // Every entry is matched: the index's room goes to what follows (the move finder's arrays).
  std::vector<uint32_t>().swap(slots_);
  std::vector<uint32_t>().swap(visit_);
  std::vector<char>().swap(enterable_);
  std::vector<char>().swap(keepBelow_);
  std::vector<char>().swap(shadowed_);
  std::vector<uint32_t>().swap(twin_);
  return 0;
}

bool Reconciler::EveryStoredFileMissing() const {
  bool held = false;
  for (size_t k = 0; k < stored_; ++k) {
    const Record& r = table_.records[k];
    if (r.IsDir()) continue;
    held = true;
    if (!IsCovered(k) && (r.wStatus & (stGONE | stMOVED)) != stGONE) return false;
  }
  return held;
}

void Reconciler::MarkCovered() {
  for (size_t k = 0; k < covered_.size(); ++k)
    if (covered_[k]) table_.records[k].wStatus |= stGONE;
}

std::vector<size_t> Reconciler::MissingFiles() const {
  std::vector<size_t> files;
  const auto& recs = table_.records;
  for (size_t k = 0; k < stored_; ++k)
    if ((recs[k].wStatus & (stGONE | stMOVED)) == stGONE && !recs[k].IsDir() && !IsCovered(k))
      files.push_back(k);
  return files;
}

void Reconciler::Keep(const std::vector<size_t>& files) {
  auto& recs = table_.records;
  std::vector<char> kept(stored_, 0);
  for (size_t k : files) kept[k] = 1;
  // Children follow their parents: one backward pass passes each kept mark up the tree.
  for (size_t k = stored_; k-- > 0;) {
    if (!kept[k]) continue;
    recs[k].wStatus &= ~stGONE;
    uint32_t up = recs[k].dwUpIdx;
    if (up != 0 && up - 1 < k) kept[up - 1] = 1;
  }
}

void Reconciler::KeepBelow(uint32_t d) {
  if (keepBelow_.empty()) keepBelow_.assign(stored_ + 1, 0);
  keepBelow_[d] = 1;
}

void Reconciler::KeepStoredBelow(const std::vector<char>& unreadable) {
  // Parents precede their children: one forward pass reaches the whole stored subtree of every
  // child of an unreadable (or not entered) directory that was not found, for all of them at
  // once. Nothing the walk did after such a directory touched those records: their
  // directories were not entered.
  auto& recs = table_.records;
  std::vector<char> kept(stored_, 0);
  for (size_t k = 0; k < stored_; ++k) {
    uint32_t up = recs[k].dwUpIdx;
    bool below =
        unreadable[up] ? (recs[k].wStatus & stGONE) != 0 : up != 0 && up - 1 < k && kept[up - 1];
    if (!below) continue;
    kept[k] = 1;
    recs[k].wStatus &= ~stGONE;
  }
}

// 0 when the directory was read (or is not to be read); otherwise its error number, with path
// holding the directory.
int Reconciler::VisitDirectory(uint32_t d, char* path, size_t base) {
  path[base] = '\0';
  // A directory not found again (or now a link) has nothing to enumerate: its stored
  // children all stay missing.
  if (d != 0 && !enterable_[d - 1]) return 0;
  if (d != 0 && !ComposeDirPath(table_, d - 1, path, base)) return 0;
  visiting_ = d;
  lastDir_ = lastFile_ = 0;
  if (tree_ == nullptr) return ListDirectory(table_, d, path, opt_.walk, *this);
  if (d == 0 || twin_[d - 1] != 0) tree_->List(d == 0 ? 0 : twin_[d - 1], path, *this);
  return 0;
}

void Reconciler::Entry(const FoundEntry& e) {
  const WIN32_FIND_DATAA& fd = *e.fd;
  long k = Match(e.dir, fd.cFileName);
  if (k < 0 || static_cast<size_t>(k) >= stored_) {
    TakeNew(e);
    return;
  }
  if (progress_.Due())
    Progress(opt_.walk.quiet).Line("   Processing [%d]: %ld ...      \r", task_, k);
  Record& r = table_.records[k];
  r.wStatus &= ~stGONE;
  Enter(k, e);
  if (e.deferred)
    CompareDeferred(static_cast<uint32_t>(k), fd, e.path);
  else
    Compare(static_cast<uint32_t>(k), fd, e.path);
}

bool Reconciler::DefersFiles() const {
  return tree_ == nullptr && !opt_.noCrc && reads_ != nullptr && reads_->TakesDeferred();
}

void Reconciler::Enter(long k, const FoundEntry& e) {
  enterable_[k] = e.dir && !(e.fd->dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
  if (tree_ != nullptr && enterable_[k]) twin_[k] = tree_->CurrentIndex() + 1;
  // A drive mounted at one run and not at the next: what lies on it stays as stored.
  if (!e.otherDevice || !enterable_[k]) return;
  enterable_[k] = 0;
  if (opt_.sub) KeepBelow(static_cast<uint32_t>(k + 1));
}

void Reconciler::Subdir(const FoundEntry& e) {
  if (e.noMatch) TakeTraversalDir(e);
}

void Reconciler::Unreached(const WIN32_FIND_DATAA& fd) {
  bool dir = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  long k = Match(dir, fd.cFileName);
  if (k < 0 || static_cast<size_t>(k) >= stored_) return;
  table_.records[k].wStatus &= ~stGONE;
  if (dir && opt_.sub) KeepBelow(static_cast<uint32_t>(k + 1));
}

void Reconciler::TakeTraversalDir(const FoundEntry& e) {
  const WIN32_FIND_DATAA& fd = *e.fd;
  long k = Match(true, fd.cFileName);
  if (k < 0 || static_cast<size_t>(k) >= stored_) {
    TakeNew(e);
    return;
  }
  // Kept quietly up to date: such a directory is never reported, only walked through.
  Record& r = table_.records[k];
  r.wStatus &= ~stGONE;
  Enter(k, e);
  MakeShortName(fd, r.cShortName);
  r.dwAttr = fd.dwFileAttributes | atNOMATCH;
  r.ftCreate = fd.ftCreationTime;
  r.ftAccess = fd.ftLastAccessTime;
  r.ftWrite = fd.ftLastWriteTime;
}

void Reconciler::TakeNew(const FoundEntry& e) {
  if (tree_ != nullptr) {
    TakeNewStored(tree_->CurrentIndex(), e.noMatch);
    return;
  }
  WIN32_FIND_DATAA looked;
  if (e.deferred && !LookUpDeferred(e, &looked)) return;
  auto& recs = table_.records;
  size_t j = recs.size();
  recs.emplace_back(e.deferred ? looked : *e.fd, visiting_);
  Record& fresh = recs[j];
  if (e.noMatch) {
    fresh.dwAttr |= atNOMATCH;
    fresh.qwSize = 0;
  }
  fresh.wStatus = stNEW;
  if (!e.dir && !opt_.noCrc) reads_->Submit(e.path, fresh.qwSize, fresh.dwAttr, false, this, j);
  if (!e.dir || !opt_.sub || e.otherDevice) return;
  // Take in the whole new subtree, as the tree builder would find it.
  size_t base = strlen(table_.cStartPath);
  char sub[2 * MAX_PATH];
  memcpy(sub, table_.cStartPath, base + 1);
  table_.ExpandSubtrees(
      j,
      [&](size_t i) {
        Record& r = recs[i];
        r.wStatus = stNEW;
        if (!r.IsDir() && !opt_.noCrc &&
            ComposeFilePath(table_, static_cast<unsigned>(i), sub, base))
          reads_->Submit(sub, r.qwSize, r.dwAttr, false, this, i);
      },
      opt_.walk);
}

void Reconciler::TakeNewStored(uint32_t j, bool noMatch) {
  auto& recs = table_.records;
  std::vector<std::pair<uint32_t, uint32_t>> dirs;  // (stored directory number, table number)
  auto append = [&](uint32_t from, uint32_t up, bool missesMask) {
    recs.push_back(tree_->At(from));
    Record& r = recs.back();
    r.dwUpIdx = up;
    r.wStatus = stNEW;
    r.dwAttr &= ~atNOMATCH;
    if (missesMask) {
      r.dwAttr |= atNOMATCH;
      r.qwSize = 0;
    }
    if (opt_.sub && r.IsDir() && !(r.dwAttr & FILE_ATTRIBUTE_REPARSE_POINT))
      dirs.emplace_back(from + 1, static_cast<uint32_t>(recs.size()));
  };
  append(j, visiting_, noMatch);
  for (size_t n = 0; n < dirs.size(); ++n) {
    auto [dir, up] = dirs[n];
    for (uint32_t c : tree_->Children(dir))
      append(c, up, tree_->At(c).IsDir() && !tree_->Matches(c));
  }
}

int CheckFacts(Record& r, const EntryFacts& now, const CheckOptions& opt, EntryChange& c) {
  int changes = 0;
  if (ShortNameChanged(r, now.shortName)) {
    ShortNameChange(r.cShortName, now.shortName, c.name, sizeof c.name);
    memcpy(c.was.name, r.cShortName, kShortNameLen);
    memcpy(c.now.name, now.shortName, kShortNameLen);
    ++changes;
  }
  memcpy(r.cShortName, now.shortName, kShortNameLen);
  if (!opt.noTime && opt.checkCreate && !TimesEqual(r.ftCreate, now.create, opt.timeWindow)) {
    TimeChange(r.ftCreate, now.create, c.create, sizeof c.create);
    c.was.create = r.ftCreate;
    c.now.create = now.create;
    r.ftCreate = now.create;
    ++changes;
  }
  if (!opt.noTime && (opt.dirWriteTime || !now.dir) &&
      !TimesEqual(r.ftWrite, now.write, opt.timeWindow)) {
    TimeChange(r.ftWrite, now.write, c.write, sizeof c.write);
    c.was.write = r.ftWrite;
    c.now.write = now.write;
    r.ftWrite = now.write;
    ++changes;
  }
  if (!opt.noAttr && (r.dwAttr & ~atNOMATCH) != now.attr) {
    FormatAttributeChanges(r.dwAttr, now.attr, c.attr);
    c.was.attr = r.dwAttr & ~atNOMATCH;
    c.now.attr = now.attr;
    r.dwAttr = now.attr;
    ++changes;
  }
  return changes;
}

void Reconciler::Compare(uint32_t k, const WIN32_FIND_DATAA& fd, const char* path) {
  Record& r = table_.records[k];
  Matched m;
  m.k = k;
  m.dir = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  m.live = (uint64_t(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
  m.path = path;
  m.storedWrite = r.ftWrite;
  m.liveWrite = fd.ftLastWriteTime;
  m.aliasOnly = TakenUnderAlias(fd);
  EntryChange& c = m.c;

  char shortName[kShortNameLen];
  MakeShortName(fd, shortName);
  EntryFacts now{shortName, fd.ftCreationTime, fd.ftLastWriteTime, fd.dwFileAttributes, m.dir};
  m.changes += CheckFacts(r, now, opt_, c);
  m.waiting = !m.dir && !opt_.noCrc;
  if (m.waiting && tree_ != nullptr) {  // the catalogue holds what a read would give
    m.waiting = false;
    m.crc = tree_->Current().dwCRC;
    m.crcUnknown = CrcUnknown(tree_->Current());
  }
  // Queued before the read is: with one reader the checksum arrives inside Submit.
  matched_.push_back(std::move(m));
  if (matched_.back().waiting) {
    reads_->Submit(path, matched_.back().live, fd.dwFileAttributes, false, this, kMatchedTag);
  } else {
    ReportReady();
  }
  if (matched_.size() >= kMaxMatched) reads_->Drain();
}

void Reconciler::CompareDeferred(uint32_t k, const WIN32_FIND_DATAA& fd, const char* path) {
  const Record& r = table_.records[k];
  Matched m;
  m.k = k;
  m.deferred = true;
  m.waiting = true;
  m.live = r.qwSize;  // until its reader tells: a file it cannot look at keeps what was stored
  m.path = path;
  m.storedWrite = r.ftWrite;
  m.aliasOnly = TakenUnderAlias(fd);
  MakeShortName(fd, m.shortName);
  matched_.push_back(std::move(m));
  reads_->SubmitDeferred(path, this, kMatchedTag);
  if (matched_.size() >= kMaxMatched) reads_->Drain();
}

Reconciler::Matched& Reconciler::FirstWaiting() {
  // Checksums arrive in the order they were queued, each after its facts.
  for (Matched& m : matched_)
    if (m.waiting) return m;
  return matched_.back();  // not reached: every delivery has its entry
}

void Reconciler::Found(uint64_t tag, const FileFacts& facts) {
  if (!(tag & kMatchedTag) || !facts.found) return;
  Matched& m = FirstWaiting();
  m.looked = true;
  // A directory in its place is not the file matched: the file is missing, as when the
  // walk had seen the directory.
  if (facts.attributes & FILE_ATTRIBUTE_DIRECTORY) {
    m.gone = true;
    return;
  }
  m.live = facts.size;
  m.liveWrite = facts.lastWrite;
  EntryFacts now{m.shortName, facts.creation, facts.lastWrite, facts.attributes, false};
  m.changes += CheckFacts(table_.records[m.k], now, opt_, m.c);
}

void Reconciler::Checksummed(uint64_t tag, const char* path, uint32_t crc, int error) {
  if (!(tag & kMatchedTag)) {
    if (error != 0 && error != kCrcNotReady) WarnSkipped(error, path);
    table_.records[tag].dwCRC = crc;
    return;
  }
  Matched& m = FirstWaiting();
  // Gone before its reader came: left out, as the walk leaves out what it cannot find.
  if (m.deferred && !m.looked && error == ENOENT) m.gone = true;
  if (error != 0 && error != kCrcNotReady && !m.gone) WarnSkipped(error, path);
  m.waiting = false;
  m.crc = crc;
  m.unreadable = error != 0;
  ReportReady();
}

void Reconciler::ReportReady() {
  while (!matched_.empty() && !matched_.front().waiting) {
    Conclude(matched_.front());
    matched_.pop_front();
  }
}

void Reconciler::JudgeContents(Matched& m, bool sizeChanged) {
  Record& r = table_.records[m.k];
  EntryChange& c = m.c;
  // A stored CRC of 0 on a file with contents was never made (/nc, or unreadable then).
  const bool known = !opt_.noCrc && (r.dwCRC != 0 || r.qwSize == 0);
  const bool differs = r.qwSize != m.live || r.dwCRC != m.crc;
  // The size and write time are judged as read, whatever the report was told to leave out.
  const bool kept = r.qwSize == m.live && TimesEqual(m.storedWrite, m.liveWrite, opt_.timeWindow);
  // A file known by an alias alone may be another one that has taken the alias since: its new
  // CRC is a change, not damage.
  c.damaged =
      opt_.findDamage && !m.dir && known && differs && ((kept && !m.aliasOnly) || opt_.archive);
  c.edited = c.damaged && !kept;
  if (!sizeChanged && !opt_.noCrc && r.dwCRC != m.crc && (!opt_.hideCrc || c.damaged) &&
      !(opt_.crcZeroUnknown && (m.crcUnknown || CrcUnknown(r)))) {
    CrcChange(r.dwCRC, m.crc, c.crc, sizeof c.crc);
    c.was.crc = r.dwCRC;
    c.now.crc = m.crc;
    ++m.changes;
  }
  if (c.damaged && !opt_.acceptDamaged) {
    // Evidence: size, time and CRC stay together as stored until restored or accepted.
    r.ftWrite = m.storedWrite;
    return;
  }
  if (!opt_.findDamage) {
    if (sizeChanged || !opt_.noCrc) r.dwCRC = m.crc;
    if (sizeChanged) r.qwSize = m.live;
    return;
  }
  // Scan's catalogue takes what was read, shown or not, so that the next run judges damage
  // against the file as it is. A CRC that no longer describes the file is dropped, not kept.
  if (!opt_.noCrc || !kept) r.dwCRC = opt_.noCrc ? 0 : m.crc;
  r.qwSize = m.live;
  if (!TimesEqual(r.ftWrite, m.liveWrite, opt_.timeWindow)) r.ftWrite = m.liveWrite;
}

void Reconciler::Conclude(Matched& m) {
  Record& r = table_.records[m.k];
  if (m.gone) {
    r.wStatus |= stGONE;
    return;
  }
  EntryChange& c = m.c;
  bool sizeChanged = false;
  if (!opt_.noSize && r.qwSize != m.live && !m.unreadable) {
    SizeChange(r.qwSize, m.live, c.size, sizeof c.size);
    c.was.size = r.qwSize;
    c.now.size = m.live;
    sizeChanged = true;
    ++m.changes;
  }
  if (m.unreadable) {
    // Contents unknown: the record keeps the size, time and CRC that belong together, so that
    // the next run that can read the file judges it against what was last known. The report
    // shows only what the record takes: the warning has said the rest.
    r.ftWrite = m.storedWrite;
    if (c.write[0] != '\0') {
      c.write[0] = '\0';
      --m.changes;
    }
  } else {
    JudgeContents(m, sizeChanged);
  }
  if (m.changes != 0) {
    char shown[2 * MAX_PATH];
    CharToOemA(m.path.c_str(), shown);
    c.path = shown;
    c.exactPath = m.path.c_str();
    c.isDir = m.dir;
    c.record = m.k;
    c.attributes = r.dwAttr;
    (*sink_)(c);
  }
  if (m.unreadable && keptSink_ != nullptr) (*keptSink_)(m.k, "unreadable");
}

void PrintChangeBlock(const EntryChange& c) {
  printf("# %s\n", c.path);
  if (c.name[0]) printf("     Name  :  %s\n", c.name);
  if (c.create[0]) printf("     Create:  %s\n", c.create);
  if (c.write[0]) printf("     Write :  %s\n", c.write);
  if (c.crc[0]) printf("     CRC32 :  %s\n", c.crc);
  if (c.attr[0]) printf("     Attr  :  %s\n", c.attr);
  if (c.size[0]) printf("     Size  :  %s byte(s)\n", c.size);
  printf("\n");
}
