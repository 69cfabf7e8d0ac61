// Move detection: missing and new entries paired by size and CRC-32, directories by contents.
#include "modes/moves.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "modes/report.h"

namespace {

constexpr uint32_t kNone = 0xFFFFFFFFu;

uint64_t Mix(uint64_t h, uint64_t v) {
  h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
  return h * 0xFF51AFD7ED558CCDull;
}

uint64_t NameHash(uint64_t h, const char* name) {
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p; ++p)
    h = (h ^ *p) * 1099511628211ull;
  return h ^ (h >> 29);
}

bool NoContents(const Record& r) {
  return r.IsDir() || (r.dwAttr & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE));
}

// Directory, link (to a file or to a directory), device or FIFO, or file.
uint32_t Kind(const Record& r) {
  return r.dwAttr &
         (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE);
}

// A file whose contents are known: links, devices, empty files and files never checksummed
// (CRC 0) pair with nothing on their own.
bool Pairable(const Record& r) {
  return !NoContents(r) && r.qwSize != 0 && r.dwCRC != 0;
}

bool RealDir(const Record& r) {
  return r.IsDir() && !(r.dwAttr & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Open addressing over record indices. Each slot holds one key, represented by the first
// record inserted with it, and (with chains) a chain of the records that share the key, in
// insertion order.
class KeyIndex {
 public:
  void Reserve(size_t keys, bool chains) {
    size_t cap = 16;
    while (cap < keys + keys / 2) cap <<= 1;
    rep_.assign(cap, 0);
    head_.assign(chains ? cap : 0, kNone);
  }

  // The slot of the key, or of the empty place where it would go.
  template <class Same>
  size_t Slot(uint64_t hash, Same same) const {
    size_t mask = rep_.size() - 1;
    size_t s = hash & mask;
    while (rep_[s] != 0 && !same(rep_[s] - 1)) s = (s + 1) & mask;
    return s;
  }
  bool Empty(size_t s) const { return rep_[s] == 0; }
  void Claim(size_t s, uint32_t idx) { rep_[s] = idx + 1; }
  uint32_t& Head(size_t s) { return head_[s]; }
  uint32_t Rep(size_t s) const { return rep_[s] - 1; }

 private:
  std::vector<uint32_t> rep_;   // record index + 1, 0 = empty
  std::vector<uint32_t> head_;  // first record of the chain still unused, kNone at the end
};

// Positions among the records that pass a test, one look-up in constant time: a bit per record
// and a count per 64, so that arrays kept for a few records are not sized by the whole table.
class Rank {
 public:
  template <class Test>
  void Build(size_t n, Test test) {
    bits_.assign((n + 63) / 64, 0);
    before_.assign(bits_.size() + 1, 0);
    for (size_t k = 0; k < n; ++k)
      if (test(k)) bits_[k / 64] |= uint64_t{1} << (k % 64);
    for (size_t w = 0; w < bits_.size(); ++w)
      before_[w + 1] = before_[w] + static_cast<uint32_t>(__builtin_popcountll(bits_[w]));
  }
  // The position of record k among those that passed; meaningful for those only.
  uint32_t operator()(size_t k) const {
    uint64_t below = bits_[k / 64] & ((uint64_t{1} << (k % 64)) - 1);
    return before_[k / 64] + static_cast<uint32_t>(__builtin_popcountll(below));
  }
  uint32_t Count() const { return before_.back(); }
  bool Has(size_t k) const { return k / 64 < bits_.size() && (bits_[k / 64] >> (k % 64) & 1); }

 private:
  std::vector<uint64_t> bits_;
  std::vector<uint32_t> before_;
};

// New records that a missing record might pair with are reached in chains of candidates: new
// records of the same key, in walk order.
class MoveFinder {
 public:
  MoveFinder(Table& t, const ContentClasses& classes)
      : r_(t.records), n_(r_.size()), classes_(classes) {}

  std::vector<Move> Run();

 private:
  bool Gone(size_t k) const { return (r_[k].wStatus & stGONE) && !(r_[k].wStatus & stMOVED); }
  bool Fresh(size_t k) const { return (r_[k].wStatus & stNEW) && !(r_[k].wStatus & stMOVED); }
  uint32_t Parent(size_t k) const { return r_[k].dwUpIdx == 0 ? kNone : r_[k].dwUpIdx - 1; }
  // Both ends of a parent link on the same side: missing below missing, new below new.
  bool SameSide(size_t k, uint32_t p) const {
    return p != kNone && ((Gone(k) && Gone(p)) || (Fresh(k) && Fresh(p)));
  }

  void Classify();
  // The class of bytes of a missing or new file with contents: 0 without a byte check.
  int32_t Cls(size_t k) const { return files_.Has(k) ? cls_[files_(k)] : 0; }
  // A file whose contents are known and, under a byte check, could be read.
  bool Pairs(size_t k) const { return Pairable(r_[k]) && Cls(k) >= 0; }
  bool SameEntry(uint32_t a, uint32_t b) const;
  void IndexChildren();
  uint32_t NewChild(uint32_t dir, bool isDir, const char* name) const;
  void Sign();
  bool Candidate(size_t k) const;
  bool SameTree(uint32_t from, uint32_t to, std::vector<uint32_t>& pairs) const;
  template <class Next, class Accept>
  uint32_t FirstAccepted(uint32_t& head, Next next, Accept accept) const;
  // New directories in chains of equal signature, and of equal signature and name: the
  // candidates a missing directory may have moved to. Links by the directory's place in dir_.
  struct DirChains {
    KeyIndex bySign, bySignName;
    std::vector<uint32_t> next, nextSameName;
    std::vector<uint32_t> pairs;  // the entries of the last tree compared, kept for its memory
  };
  uint64_t DirSign(uint32_t o) const { return sign_[dir_(o)]; }
  uint32_t DirSize(size_t k) const { return size_[dir_(k)]; }
  auto SameSign(uint64_t sg) const {
    return [this, sg](uint32_t o) { return DirSign(o) == sg; };
  }
  auto SameSignName(uint64_t sg, const char* name) const {
    return [this, sg, name](uint32_t o) {
      return DirSign(o) == sg && strcmp(r_[o].LongName(), name) == 0;
    };
  }
  bool IndexNewDirectories(DirChains& c) const;
  std::vector<uint32_t> GoneDirectoriesBySize() const;
  void PairDirectory(uint32_t k, bool byName, DirChains& c, std::vector<Move>& moves);
  void TakeDirectoryMoves(std::vector<Move>& moves);
  void PairFiles(std::vector<Move>& moves);

  std::vector<Record>& r_;
  size_t n_;
  const ContentClasses& classes_;
  Rank files_;                // missing and new files with contents
  std::vector<int32_t> cls_;  // by position in files_, under a byte check
  // The arrays below are kept per missing or new directory, at its position in dir_.
  Rank dir_;
  KeyIndex byName_;              // new records by parent, kind and name
  std::vector<uint32_t> first_;  // children of directory d: list_[first_[d] .. first_[d+1])
  std::vector<uint32_t> list_;   // (missing below missing, new below new)
  std::vector<uint64_t> sign_;   // its whole tree's names, kinds and contents
  std::vector<uint8_t> kind_;    // kContents below it, kUnpaired below it
  std::vector<uint32_t> size_;   // the entries below it
  static constexpr uint8_t kContents = 1;  // a file that pairs on its own
  static constexpr uint8_t kUnpaired = 2;  // a file never checksummed
};

// Under a byte check, each run of missing and new files that share a size and CRC-32 (and
// holds both) is sorted into classes of equal bytes at once: read once each, however many.
void MoveFinder::Classify() {
  if (!classes_) return;
  auto file = [&](size_t k) { return (Gone(k) || Fresh(k)) && Pairable(r_[k]); };
  files_.Build(n_, file);
  cls_.assign(files_.Count(), 0);
  std::vector<uint32_t> order;
  order.reserve(files_.Count());
  for (size_t k = 0; k < n_; ++k)
    if (file(k)) order.push_back(static_cast<uint32_t>(k));
  auto key = [&](uint32_t k) { return std::make_pair(r_[k].qwSize, r_[k].dwCRC); };
  std::stable_sort(order.begin(), order.end(),
                   [&](uint32_t a, uint32_t b) { return key(a) < key(b); });
  std::vector<int32_t> got;
  for (size_t b = 0, e; b < order.size(); b = e) {
    bool gone = false, fresh = false;
    for (e = b; e < order.size() && key(order[e]) == key(order[b]); ++e) {
      gone = gone || Gone(order[e]);
      fresh = fresh || Fresh(order[e]);
    }
    if (!gone || !fresh) continue;  // nothing to pair with: never read
    std::vector<uint32_t> run(order.begin() + static_cast<long>(b),
                              order.begin() + static_cast<long>(e));
    got.assign(run.size(), -1);
    classes_(run, &got);
    for (size_t i = 0; i < run.size(); ++i) cls_[files_(run[i])] = got[i];
  }
}

// Within a moved directory: links, devices and empty files are in place when their name and
// kind are; a file with contents must have the same size, CRC and bytes.
bool MoveFinder::SameEntry(uint32_t a, uint32_t b) const {
  const Record& x = r_[a];
  const Record& y = r_[b];
  if (Kind(x) != Kind(y)) return false;
  if (NoContents(x) || (x.qwSize == 0 && y.qwSize == 0)) return true;
  return Pairs(a) && Pairs(b) && x.qwSize == y.qwSize && x.dwCRC == y.dwCRC && Cls(a) == Cls(b);
}

void MoveFinder::IndexChildren() {
  size_t fresh = 0;
  for (size_t j = 0; j < n_; ++j) fresh += Fresh(j);
  byName_.Reserve(fresh, false);
  dir_.Build(n_, [&](size_t k) { return r_[k].IsDir() && (Gone(k) || Fresh(k)); });
  size_t dirs = dir_.Count();
  first_.assign(dirs + 1, 0);
  for (size_t k = 0; k < n_; ++k) {
    uint32_t p = Parent(k);
    if (SameSide(k, p)) ++first_[dir_(p) + 1];
    if (!Fresh(k)) continue;
    const Record& c = r_[k];
    size_t s = byName_.Slot(NameHash(Mix(c.dwUpIdx, c.IsDir()), c.LongName()), [&](uint32_t o) {
      return r_[o].dwUpIdx == c.dwUpIdx && r_[o].IsDir() == c.IsDir() &&
             strcmp(r_[o].LongName(), c.LongName()) == 0;
    });
    if (byName_.Empty(s)) byName_.Claim(s, static_cast<uint32_t>(k));
  }
  for (size_t d = 0; d < dirs; ++d) first_[d + 1] += first_[d];
  list_.assign(first_[dirs], 0);
  std::vector<uint32_t> fill(first_.begin(), first_.end() - 1);
  for (size_t k = 0; k < n_; ++k) {
    uint32_t p = Parent(k);
    if (SameSide(k, p)) list_[fill[dir_(p)]++] = static_cast<uint32_t>(k);
  }
}

uint32_t MoveFinder::NewChild(uint32_t dir, bool isDir, const char* name) const {
  uint32_t up = dir + 1;
  size_t s = byName_.Slot(NameHash(Mix(up, isDir), name), [&](uint32_t o) {
    return r_[o].dwUpIdx == up && r_[o].IsDir() == isDir && strcmp(r_[o].LongName(), name) == 0;
  });
  return byName_.Empty(s) ? kNone : byName_.Rep(s);
}

// A signature of every missing and new directory's tree: the sum of one hash per entry (name,
// kind, and the contents of a file or the signature of a directory), so that two trees with the
// same entries in the same places sign alike, whatever their order.
void MoveFinder::Sign() {
  sign_.assign(dir_.Count(), 0);
  kind_.assign(dir_.Count(), 0);
  size_.assign(dir_.Count(), 0);
  for (size_t k = n_; k-- > 0;) {  // children follow their parents: back to front is bottom-up
    uint32_t p = Parent(k);
    if (!SameSide(k, p)) continue;
    const Record& r = r_[k];
    uint32_t dp = dir_(p);
    uint64_t h;
    if (r.IsDir()) {
      uint32_t dk = dir_(k);
      size_[dp] += size_[dk] + 1;
      h = Mix(Mix(sign_[dk], Kind(r)), 2);
      kind_[dp] |= kind_[dk];
    } else {
      size_[dp] += 1;
      h = Mix(Mix(Mix(Mix(r.qwSize, r.dwCRC), Kind(r)), static_cast<uint32_t>(Cls(k))), 4);
      if (Pairs(k)) {
        kind_[dp] |= kContents;
      } else if (r.qwSize != 0 && !NoContents(r)) {
        kind_[dp] |= kUnpaired;
      }
    }
    sign_[dp] += Mix(NameHash(h, r.LongName()), 5);
  }
}

// A directory that may move as a whole: a real directory, listed, with at least one file whose
// contents identify it (empty folders give no evidence) and no file never checksummed. Asked of
// missing and new records only.
bool MoveFinder::Candidate(size_t k) const {
  const Record& r = r_[k];
  return RealDir(r) && !(r.dwAttr & atNOMATCH) && kind_[dir_(k)] == kContents;
}

// Whether the trees of missing directory from and new directory to hold the same entries in
// the same places; pairs receives every (missing, new) pair below them.
bool MoveFinder::SameTree(uint32_t from, uint32_t to, std::vector<uint32_t>& pairs) const {
  pairs.clear();
  std::vector<uint32_t> stack = {from, to};
  while (!stack.empty()) {
    uint32_t b = stack.back();
    stack.pop_back();
    uint32_t a = stack.back();
    stack.pop_back();
    uint32_t da = dir_(a), db = dir_(b);
    if (first_[da + 1] - first_[da] != first_[db + 1] - first_[db]) return false;
    for (uint32_t i = first_[da]; i < first_[da + 1]; ++i) {
      uint32_t m = list_[i];
      const Record& r = r_[m];
      uint32_t c = NewChild(b, r.IsDir(), r.LongName());
      if (c == kNone || !Fresh(c) || !SameEntry(m, c)) return false;
      if (RealDir(r)) {
        stack.push_back(m);
        stack.push_back(c);
      }
      pairs.push_back(m);
      pairs.push_back(c);
    }
  }
  return true;
}

// The first record of a chain that is still new and that accept takes. Paired records leave
// the head of the chain for good. A file's key holds its class of bytes, so every file of a
// chain is accepted; a folder is refused only where two other trees sign alike.
template <class Next, class Accept>
uint32_t MoveFinder::FirstAccepted(uint32_t& head, Next next, Accept accept) const {
  while (head != kNone && !Fresh(head)) head = next(head);
  for (uint32_t j = head; j != kNone; j = next(j))
    if (Fresh(j) && accept(j)) return j;
  return kNone;
}

// Missing directories whose whole tree reappears under one new directory become moves: among
// equal trees the one with the same name, else the first in walk order.
bool MoveFinder::IndexNewDirectories(DirChains& c) const {
  size_t count = 0;
  for (size_t j = 0; j < n_; ++j) count += Fresh(j) && Candidate(j);
  if (count == 0) return false;
  c.bySign.Reserve(count, true);
  c.bySignName.Reserve(count, true);
  c.next.assign(dir_.Count(), kNone);
  c.nextSameName.assign(dir_.Count(), kNone);
  for (size_t j = n_; j-- > 0;) {  // back to front: each chain starts with the first walked
    if (!Fresh(j) || !Candidate(j)) continue;
    uint32_t idx = static_cast<uint32_t>(j);
    uint64_t sg = DirSign(idx);
    size_t s = c.bySign.Slot(Mix(sg, 6), SameSign(sg));
    c.bySign.Claim(s, idx);
    c.next[dir_(j)] = c.bySign.Head(s);
    c.bySign.Head(s) = idx;
    s = c.bySignName.Slot(NameHash(sg, r_[j].LongName()), SameSignName(sg, r_[j].LongName()));
    c.bySignName.Claim(s, idx);
    c.nextSameName[dir_(j)] = c.bySignName.Head(s);
    c.bySignName.Head(s) = idx;
  }
  return true;
}

// Larger trees first, so that a small folder never takes a part of a larger one that moved
// whole; a parent is larger than its children, so what lies inside a move is marked before it
// is reached. Equal sizes keep the table's order. A counting sort keeps this linear.
std::vector<uint32_t> MoveFinder::GoneDirectoriesBySize() const {
  uint32_t largest = 0;
  for (size_t k = 0; k < n_; ++k)
    if (Gone(k) && Candidate(k) && DirSize(k) > largest) largest = DirSize(k);
  std::vector<uint32_t> start(static_cast<size_t>(largest) + 2, 0);
  for (size_t k = 0; k < n_; ++k)
    if (Gone(k) && Candidate(k)) ++start[largest - DirSize(k) + 1];
  for (size_t i = 1; i < start.size(); ++i) start[i] += start[i - 1];
  std::vector<uint32_t> bySize(start.back());
  for (size_t k = 0; k < n_; ++k)
    if (Gone(k) && Candidate(k)) bySize[start[largest - DirSize(k)]++] = static_cast<uint32_t>(k);
  return bySize;
}

void MoveFinder::PairDirectory(uint32_t k, bool byName, DirChains& c, std::vector<Move>& moves) {
  if (!Gone(k)) return;  // inside a larger move
  std::vector<uint32_t>& pairs = c.pairs;
  auto accept = [&](uint32_t to) { return SameTree(k, to, pairs); };
  uint64_t sg = DirSign(k);
  uint32_t to = kNone;
  if (byName) {
    size_t s =
        c.bySignName.Slot(NameHash(sg, r_[k].LongName()), SameSignName(sg, r_[k].LongName()));
    if (c.bySignName.Empty(s)) return;
    to = FirstAccepted(
        c.bySignName.Head(s), [&](uint32_t o) { return c.nextSameName[dir_(o)]; }, accept);
  } else {
    size_t s = c.bySign.Slot(Mix(sg, 6), SameSign(sg));
    if (c.bySign.Empty(s)) return;
    to = FirstAccepted(
        c.bySign.Head(s), [&](uint32_t o) { return c.next[dir_(o)]; }, accept);
  }
  if (to == kNone) return;
  moves.push_back({k, to, true});
  r_[k].wStatus |= stMOVED;
  r_[to].wStatus |= stMOVED;
  for (uint32_t e : pairs) r_[e].wStatus |= stMOVED;
}

void MoveFinder::TakeDirectoryMoves(std::vector<Move>& moves) {
  DirChains chains;
  if (!IndexNewDirectories(chains)) return;
  std::vector<uint32_t> bySize = GoneDirectoriesBySize();
  // Within each size, folders that kept their names pair first, as files do: a folder is not
  // taken by an equal one of another name that happens to come first in the walk.
  for (size_t b = 0, e; b < bySize.size(); b = e) {
    for (e = b; e < bySize.size() && DirSize(bySize[e]) == DirSize(bySize[b]);) ++e;
    for (bool byName : {true, false})
      for (size_t i = b; i < e; ++i) PairDirectory(bySize[i], byName, chains, moves);
  }
}

// Every missing file left takes a new file of equal size and CRC (and, where both can be read,
// equal bytes): one with the same name first, then the first in walk order. Chains advance past
// used files, so each file is passed at most once per chain and a few times when refused.
void MoveFinder::PairFiles(std::vector<Move>& moves) {
  size_t count = 0;
  for (size_t j = 0; j < n_; ++j) count += Fresh(j) && Pairs(j);
  if (count == 0) return;
  KeyIndex byContents, bySameName;
  byContents.Reserve(count, true);
  bySameName.Reserve(count, true);
  // Links by the file's position among the new files that pair.
  Rank pairs;
  pairs.Build(n_, [&](size_t j) { return Fresh(j) && Pairs(j); });
  std::vector<uint32_t> next(count, kNone), nextSameName(count, kNone);
  // The key: size, CRC and class of bytes (and, for the second index, the name).
  auto contentsHash = [&](uint32_t k) {
    return Mix(Mix(Mix(r_[k].qwSize, r_[k].dwCRC), static_cast<uint32_t>(Cls(k))), 1);
  };
  auto sameContents = [&](uint32_t k) {
    return [&, k](uint32_t o) {
      return r_[o].qwSize == r_[k].qwSize && r_[o].dwCRC == r_[k].dwCRC && Cls(o) == Cls(k);
    };
  };
  auto sameName = [&](uint32_t k) {
    return [&, k](uint32_t o) {
      return sameContents(k)(o) && strcmp(r_[o].LongName(), r_[k].LongName()) == 0;
    };
  };
  for (size_t j = n_; j-- > 0;) {  // back to front: each chain starts with the first walked
    if (!Fresh(j) || !Pairs(j)) continue;
    uint32_t idx = static_cast<uint32_t>(j);
    size_t s = byContents.Slot(contentsHash(idx), sameContents(idx));
    byContents.Claim(s, idx);
    next[pairs(j)] = byContents.Head(s);
    byContents.Head(s) = idx;
    s = bySameName.Slot(NameHash(contentsHash(idx), r_[j].LongName()), sameName(idx));
    bySameName.Claim(s, idx);
    nextSameName[pairs(j)] = bySameName.Head(s);
    bySameName.Head(s) = idx;
  }
  auto any = [](uint32_t) { return true; };
  for (int pass = 0; pass < 2; ++pass) {
    for (size_t k = 0; k < n_; ++k) {
      if (!Gone(k) || !Pairs(k)) continue;
      uint32_t from = static_cast<uint32_t>(k);
      uint32_t j = kNone;
      if (pass == 0) {
        size_t s = bySameName.Slot(NameHash(contentsHash(from), r_[k].LongName()), sameName(from));
        if (!bySameName.Empty(s))
          j = FirstAccepted(
              bySameName.Head(s), [&](uint32_t o) { return nextSameName[pairs(o)]; }, any);
      } else {
        size_t s = byContents.Slot(contentsHash(from), sameContents(from));
        if (!byContents.Empty(s))
          j = FirstAccepted(
              byContents.Head(s), [&](uint32_t o) { return next[pairs(o)]; }, any);
      }
      if (j == kNone) continue;
      moves.push_back({from, j, false});
      r_[k].wStatus |= stMOVED;
      r_[j].wStatus |= stMOVED;
    }
  }
}

std::vector<Move> MoveFinder::Run() {
  std::vector<Move> found;
  bool gone = false, fresh = false;
  for (size_t k = 0; k < n_ && !(gone && fresh); ++k) {
    gone = gone || Gone(k);
    fresh = fresh || Fresh(k);
  }
  if (!gone || !fresh) return found;
  Classify();
  IndexChildren();
  Sign();
  TakeDirectoryMoves(found);
  dir_ = Rank();
  byName_ = KeyIndex();
  first_ = {};
  list_ = {};
  size_ = {};
  sign_ = {};
  kind_ = {};
  PairFiles(found);
  // Listed in walk order of the new places: the order of the new records (each is paired once).
  std::sort(found.begin(), found.end(), [](const Move& a, const Move& b) { return a.to < b.to; });
  return found;
}

}  // namespace

std::vector<Move> FindMoves(Table& t, const ContentClasses& classes) {
  return MoveFinder(t, classes).Run();
}

void PrintMove(const Table& t, const Move& m) {
  char from[2 * MAX_PATH], to[2 * MAX_PATH];
  ShownPath(t, static_cast<long>(m.from), from);
  ShownPath(t, static_cast<long>(m.to), to);
  printf(m.isDir ? "> Dir:  %s\n    to: %s\n" : "> File: %s\n    to: %s\n", from, to);
}
