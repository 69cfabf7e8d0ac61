#include "modes/moves.h"

#include <cstdio>
#include <cstring>

#include "modes/reconcile.h"

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

// A file whose contents are known: links, devices, empty files and files never checksummed
// (CRC 0) pair with nothing on their own.
bool Pairable(const Record& r) {
  return !NoContents(r) && r.qwSize != 0 && r.dwCRC != 0;
}

bool SameContents(const Record& a, const Record& b) {
  if (NoContents(a) || NoContents(b)) return false;
  if (a.qwSize == 0 && b.qwSize == 0) return true;  // two empty files, within a moved directory
  return Pairable(a) && Pairable(b) && a.qwSize == b.qwSize && a.dwCRC == b.dwCRC;
}

bool RealDir(const Record& r) {
  return r.IsDir() && !(r.dwAttr & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Open addressing over record indices. Each slot holds one key, represented by the first
// record inserted with it, and a chain of the records that share the key, in insertion order.
class KeyIndex {
 public:
  void Reserve(size_t keys) {
    size_t cap = 16;
    while (cap < 2 * keys) cap <<= 1;
    rep_.assign(cap, 0);
    head_.assign(cap, kNone);
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

class MoveFinder {
 public:
  explicit MoveFinder(Table& t) : t_(t), r_(t.records), n_(r_.size()) {}

  std::vector<Move> Run();

 private:
  bool Gone(size_t k) const { return (r_[k].wStatus & stGONE) && !(r_[k].wStatus & stMOVED); }
  bool Fresh(size_t k) const { return (r_[k].wStatus & stNEW) && !(r_[k].wStatus & stMOVED); }
  uint32_t Parent(size_t k) const { return r_[k].dwUpIdx == 0 ? kNone : r_[k].dwUpIdx - 1; }
  bool GoneDir(uint32_t k) const { return k != kNone && r_[k].IsDir() && Gone(k); }

  void IndexNewChildren();
  uint32_t NewChild(uint32_t dir, bool isDir, const char* name) const;
  void PairFiles();
  void ChooseCandidates();
  uint32_t CandidateByContents(size_t k) const;
  void CheckPlaces();
  void DropContested();
  void TakeDirectoryMoves(std::vector<Move>& moves);

  Table& t_;
  std::vector<Record>& r_;
  size_t n_;
  KeyIndex children_;            // new records by parent, kind and name
  std::vector<uint32_t> peer_;   // missing file: its pair; missing directory: its candidate
  std::vector<uint32_t> probe_;  // missing directory: a paired file below it, and how deep
  std::vector<uint16_t> depth_;
  std::vector<char> ok_;  // missing directory: every entry found in the same place
};

void MoveFinder::IndexNewChildren() {
  size_t fresh = 0;
  for (size_t j = 0; j < n_; ++j) fresh += Fresh(j);
  children_.Reserve(fresh);
  for (size_t j = 0; j < n_; ++j) {
    if (!Fresh(j)) continue;
    const Record& c = r_[j];
    size_t s = children_.Slot(NameHash(Mix(c.dwUpIdx, c.IsDir()), c.LongName()), [&](uint32_t o) {
      return r_[o].dwUpIdx == c.dwUpIdx && r_[o].IsDir() == c.IsDir() &&
             strcmp(r_[o].LongName(), c.LongName()) == 0;
    });
    if (children_.Empty(s)) children_.Claim(s, static_cast<uint32_t>(j));
  }
}

uint32_t MoveFinder::NewChild(uint32_t dir, bool isDir, const char* name) const {
  uint32_t up = dir + 1;
  size_t s = children_.Slot(NameHash(Mix(up, isDir), name), [&](uint32_t o) {
    return r_[o].dwUpIdx == up && r_[o].IsDir() == isDir && strcmp(r_[o].LongName(), name) == 0;
  });
  return children_.Empty(s) ? kNone : children_.Rep(s);
}

// Every missing file that is still unpaired takes a new file of equal size and CRC: one with
// the same name first, then the first in walk order. Chains advance past used files, so each
// file is passed at most once per chain.
void MoveFinder::PairFiles() {
  size_t count = 0;
  for (size_t j = 0; j < n_; ++j) count += Fresh(j) && Pairable(r_[j]);
  KeyIndex byContents, byName;
  byContents.Reserve(count);
  byName.Reserve(count);
  std::vector<uint32_t> next(n_, kNone);
  std::vector<uint32_t> nextSameName(n_, kNone);
  std::vector<char> used(n_, 0);
  auto contentsHash = [&](const Record& r) { return Mix(Mix(r.qwSize, r.dwCRC), 1); };
  auto sameContents = [&](const Record& r) {
    return [&](uint32_t o) { return r_[o].qwSize == r.qwSize && r_[o].dwCRC == r.dwCRC; };
  };
  auto sameName = [&](const Record& r) {
    return [&](uint32_t o) {
      return r_[o].qwSize == r.qwSize && r_[o].dwCRC == r.dwCRC &&
             strcmp(r_[o].LongName(), r.LongName()) == 0;
    };
  };
  // Chains built back to front, so that each starts with the first file in walk order.
  for (size_t j = n_; j-- > 0;) {
    const Record& c = r_[j];
    if (!Fresh(j) || !Pairable(c)) continue;
    uint32_t idx = static_cast<uint32_t>(j);
    size_t s = byContents.Slot(contentsHash(c), sameContents(c));
    byContents.Claim(s, idx);
    next[j] = byContents.Head(s);
    byContents.Head(s) = idx;
    s = byName.Slot(NameHash(contentsHash(c), c.LongName()), sameName(c));
    byName.Claim(s, idx);
    nextSameName[j] = byName.Head(s);
    byName.Head(s) = idx;
  }
  auto take = [&](uint32_t& head, const std::vector<uint32_t>& link) {
    while (head != kNone && used[head]) head = link[head];
    if (head == kNone) return kNone;
    used[head] = 1;
    return head;
  };
  for (int pass = 0; pass < 2; ++pass) {
    for (size_t k = 0; k < n_; ++k) {
      const Record& m = r_[k];
      if (!Gone(k) || !Pairable(m) || peer_[k] != kNone) continue;
      uint32_t j;
      if (pass == 0) {
        size_t s = byName.Slot(NameHash(contentsHash(m), m.LongName()), sameName(m));
        j = byName.Empty(s) ? kNone : take(byName.Head(s), nextSameName);
      } else {
        size_t s = byContents.Slot(contentsHash(m), sameContents(m));
        j = byContents.Empty(s) ? kNone : take(byContents.Head(s), next);
      }
      peer_[k] = j;
    }
  }
}

// The new directory that a missing one would have become: the counterpart of its parent's
// candidate with its own name, else the place a paired file below it now has.
void MoveFinder::ChooseCandidates() {
  probe_.assign(n_, kNone);
  depth_.assign(n_, 0);
  for (size_t k = n_; k-- > 0;) {  // children follow their parents: back to front is bottom-up
    uint32_t p = Parent(k);
    if (!Gone(k) || !GoneDir(p)) continue;
    if (!r_[k].IsDir() && peer_[k] != kNone) {
      probe_[p] = static_cast<uint32_t>(k);
      depth_[p] = 1;
    } else if (r_[k].IsDir() && probe_[k] != kNone && depth_[k] < 0xFFFF) {
      probe_[p] = probe_[k];
      depth_[p] = static_cast<uint16_t>(depth_[k] + 1);
    }
  }
  for (size_t k = 0; k < n_; ++k) {
    if (!GoneDir(static_cast<uint32_t>(k))) continue;
    uint32_t p = Parent(k);
    uint32_t c = kNone;
    if (GoneDir(p) && peer_[p] != kNone) c = NewChild(peer_[p], true, r_[k].LongName());
    if (c == kNone) c = CandidateByContents(k);
    peer_[k] = c;
  }
}

uint32_t MoveFinder::CandidateByContents(size_t k) const {
  uint32_t f = probe_[k];
  if (f == kNone) return kNone;
  uint32_t g = peer_[f];
  // Climb from both files to the level of k, the names on the way being the same.
  for (int level = 0; level < depth_[k]; ++level) {
    if (level > 0 && strcmp(r_[f].LongName(), r_[g].LongName()) != 0) return kNone;
    f = Parent(f);
    g = Parent(g);
    if (g == kNone || !Fresh(g) || !r_[g].IsDir()) return kNone;
  }
  return g;
}

// A missing directory keeps ok_ when each of its entries is found under its candidate in the
// same place: a file with the same contents, a directory that is itself ok.
void MoveFinder::CheckPlaces() {
  ok_.assign(n_, 0);
  for (size_t k = 0; k < n_; ++k)
    ok_[k] = GoneDir(static_cast<uint32_t>(k)) && peer_[k] != kNone && RealDir(r_[k]) &&
             RealDir(r_[peer_[k]]);
  for (size_t k = n_; k-- > 0;) {
    uint32_t p = Parent(k);
    if (!Gone(k) || p == kNone || !ok_[p]) continue;
    const Record& m = r_[k];
    uint32_t c = NewChild(peer_[p], m.IsDir(), m.LongName());
    if (m.IsDir()) {
      if (!ok_[k] || peer_[k] != c) ok_[p] = 0;
    } else if (c == kNone || !SameContents(m, r_[c])) {
      ok_[p] = 0;
    } else {
      peer_[k] = c;
    }
  }
}

// Two directories that would claim the same new entry (folders merged into one) both give up
// their directory move; their entries are paired one by one afterwards.
void MoveFinder::DropContested() {
  std::vector<uint8_t> claims(n_, 0);
  auto inMove = [&](size_t k) {
    uint32_t p = Parent(k);
    return Gone(k) && (r_[k].IsDir() ? ok_[k] != 0 : (p != kNone && ok_[p]));
  };
  for (size_t k = 0; k < n_; ++k)
    if (inMove(k) && claims[peer_[k]] < 2) ++claims[peer_[k]];
  for (size_t k = 0; k < n_; ++k)
    if (r_[k].IsDir() && ok_[k] && claims[peer_[k]] > 1) ok_[k] = 0;
  for (size_t k = n_; k-- > 0;) {
    uint32_t p = Parent(k);
    if (!Gone(k) || p == kNone || !ok_[p]) continue;
    if (r_[k].IsDir() ? !ok_[k] : claims[peer_[k]] > 1) ok_[p] = 0;
  }
}

// The highest directories whose whole tree reappears become moves; everything inside them is
// marked as moved with its counterpart.
void MoveFinder::TakeDirectoryMoves(std::vector<Move>& moves) {
  std::vector<char> inside(n_, 0);
  for (size_t k = 0; k < n_; ++k) {
    if (!Gone(k)) continue;
    uint32_t p = Parent(k);
    bool listed =
        !(r_[k].dwAttr & atNOMATCH) && peer_[k] != kNone && !(r_[peer_[k]].dwAttr & atNOMATCH);
    if (p != kNone && inside[p]) {
      inside[k] = 1;
    } else if (r_[k].IsDir() && ok_[k] && listed) {
      inside[k] = 1;
      moves.push_back({static_cast<uint32_t>(k), peer_[k], true});
    }
  }
  for (size_t k = 0; k < n_; ++k) {
    if (!inside[k]) continue;
    r_[k].wStatus |= stMOVED;
    r_[peer_[k]].wStatus |= stMOVED;
  }
}

std::vector<Move> MoveFinder::Run() {
  std::vector<Move> dirMoves;
  IndexNewChildren();
  // A first pairing of the files only points each missing directory to its candidate; once the
  // directory moves are known, the files outside them are paired again.
  peer_.assign(n_, kNone);
  PairFiles();
  ChooseCandidates();
  CheckPlaces();
  DropContested();
  TakeDirectoryMoves(dirMoves);
  probe_ = {};
  depth_ = {};
  ok_ = {};

  peer_.assign(n_, kNone);
  PairFiles();
  // Listed in walk order of the new places: the order of the new records.
  std::vector<uint32_t> at(n_, kNone);
  for (size_t i = 0; i < dirMoves.size(); ++i) at[dirMoves[i].to] = static_cast<uint32_t>(i);
  for (size_t k = 0; k < n_; ++k) {
    if (!Gone(k) || peer_[k] == kNone) continue;
    at[peer_[k]] = static_cast<uint32_t>(dirMoves.size());
    dirMoves.push_back({static_cast<uint32_t>(k), peer_[k], false});
    r_[k].wStatus |= stMOVED;
    r_[peer_[k]].wStatus |= stMOVED;
  }
  std::vector<Move> moves;
  moves.reserve(dirMoves.size());
  for (size_t j = 0; j < n_; ++j)
    if (at[j] != kNone) moves.push_back(dirMoves[at[j]]);
  return moves;
}

}  // namespace

std::vector<Move> FindMoves(Table& t) {
  return MoveFinder(t).Run();
}

void PrintMove(const Table& t, const Move& m) {
  char from[2 * MAX_PATH], to[2 * MAX_PATH];
  ComposeShownPath(t, m.from, from);
  ComposeShownPath(t, m.to, to);
  printf(m.isDir ? "> Dir:  %s\n    to: %s\n" : "> File: %s\n    to: %s\n", from, to);
}
