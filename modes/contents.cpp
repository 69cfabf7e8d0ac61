// Reading the members of a proposed group side by side, in large blocks, to split them by content.
#include "modes/contents.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <thread>
#include <tuple>
#include <utility>

#include "core/crc32shr.h"
#include "core/keyed_digest.h"
#include "core/reason.h"
#include "platform/fileread.h"
#include "platform/platform.h"

namespace {

// Files read side by side at most: each needs a buffer. Fewer when the system gives fewer
// descriptors: a splitter never waits for one while it holds others.
constexpr size_t kMaxOpen = 64;
// Buffers of one step together; a block is this divided among the files, within the bounds.
constexpr size_t kReadBudget = size_t{8} << 20;
constexpr size_t kMinBlock = size_t{64} << 10;
constexpr size_t kMaxBlock = size_t{1} << 20;

constexpr int kFailed = -1;  // Lockstep: reading this file failed
constexpr int kOther = -2;   // Lockstep, anchored: not the bytes of the first file

// Open, without waiting: no descriptor to be had now; the name is left as it was.
constexpr int kShort = -2;
// How long a splitter tries to hold two files at once before it gives the others up.
constexpr std::chrono::seconds kPairPatience{5};

// 0, or why the bytes could not all be read: an error, or the file has shrunk since it was opened.
int ReadFull(int fd, unsigned char* buf, size_t len) {
  while (len > 0) {
    errno = 0;
    int got = _read(fd, buf, static_cast<unsigned>(len));
    if (got < 0) return errno != 0 ? errno : EIO;
    if (got == 0) return kReasonShrank;
    buf += got;
    len -= static_cast<size_t>(got);
  }
  return 0;
}

// A candidate keeps its reason in 16 bits: system error numbers and the program's own fit.
static_assert(kReasonShrank <= 0xFFFF && kErrorNotRegular <= 0xFFFF && kErrorChanged <= 0xFFFF);

uint64_t IdHash(const Candidate& c) {
  uint64_t h = (c.volume * 0x9E3779B97F4A7C15ull) ^ c.indexLow ^ (uint64_t{c.indexHigh} << 32);
  return (h ^ (h >> 31)) * 0xFF51AFD7ED558CCDull;
}

// The first name of each file among a group's names: open addressing over the names' positions,
// a few bytes per name where a tree map would take a node each.
class FirstNames {
 public:
  explicit FirstNames(size_t names) {
    size_t cap = 16;
    while (cap < 2 * names) cap <<= 1;
    slots_.assign(cap, 0);
  }

  // The position of the first name with i's identity; i itself when it is the first.
  uint32_t Leader(const std::vector<Candidate>& files, uint32_t i) {
    size_t mask = slots_.size() - 1;
    size_t s = IdHash(files[i]) & mask;
    for (; slots_[s] != 0; s = (s + 1) & mask)
      if (files[slots_[s] - 1].SameFile(files[i])) return slots_[s] - 1;
    slots_[s] = i + 1;
    return i;
  }

 private:
  std::vector<uint32_t> slots_;  // position + 1, 0 = empty
};

void CloseAll(const std::vector<int>& fds) {
  for (int fd : fds)
    if (fd != -1) _close(fd);
}

// Names follow their file (classOf: of each leader); classes are numbered in the order of their
// first names, crcs given the checksum of each (crcOf: by the old numbers). The number of classes.
int NumberClasses(std::vector<Candidate>& files, const std::vector<int>& classOf,
                  const std::vector<uint32_t>& crcOf, std::vector<uint32_t>* crcs) {
  std::vector<int> renumber(crcOf.size(), -1);
  if (crcs != nullptr) crcs->clear();
  int used = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    Candidate& c = files[i];
    if (c.state != Candidate::kRead) continue;
    auto first = static_cast<uint32_t>(c.cls);
    int cls = classOf[first];
    if (files[first].state != Candidate::kRead || cls < 0) {
      c.Fail(Candidate::kChanged, files[first].Why());
      continue;
    }
    if (renumber[cls] < 0) {
      renumber[cls] = used++;
      if (crcs != nullptr) crcs->push_back(crcOf[cls]);
    }
    c.cls = renumber[cls];
    c.firstName = first == i;
  }
  return used;
}

}  // namespace

void Candidate::Fail(State s, int error) {
  state = s;
  why = static_cast<uint16_t>(error >= 0 && error <= 0xFFFF ? error : EIO);
}

int Candidate::Why() const {
  return why;
}

// Opens a name for reading; -1 with the state set when it cannot be read as recorded. wait:
// short of descriptors, for another to be closed (the caller holds none); else kShort.
int ContentSplitter::Open(std::vector<Candidate>& files, size_t i, uint64_t size, bool wait) {
  Candidate& c = files[i];
  std::string path = (*pathOf_)(i);
  FileId id;
  uint64_t now = 0;
  errno = 0;
  int fd = path.empty() ? -1 : OpenFileId(path.c_str(), &id, &now, wait);
  if (fd == -1 && !wait && (errno == EMFILE || errno == ENFILE)) return kShort;
  if (fd == -1) {
    c.Fail(Candidate::kMissing, path.empty() ? ENAMETOOLONG : errno != 0 ? errno : EIO);
    return -1;
  }
  if (now != size) {
    _close(fd);
    c.Fail(Candidate::kChanged, 0);
    return -1;
  }
  auto volume = std::find(volumes_.begin(), volumes_.end(), id.volume);
  if (volume == volumes_.end()) volume = volumes_.insert(volume, id.volume);
  c.volume = static_cast<uint32_t>(volume - volumes_.begin());
  c.indexLow = static_cast<uint32_t>(id.index);
  c.indexHigh = static_cast<uint32_t>(id.index >> 32);
  c.state = Candidate::kRead;
  c.why = 0;
  return fd;
}

// Opens a name again: it must still be the file that was read before, at the same size.
int ContentSplitter::Reopen(std::vector<Candidate>& files, size_t i, uint64_t size, bool wait) {
  Candidate before = files[i];
  int fd = Open(files, i, size, wait);
  if (fd == kShort || (fd >= 0 && files[i].SameFile(before))) return fd;
  if (fd >= 0) {
    _close(fd);
    files[i].why = 0;
  }
  files[i].state = Candidate::kChanged;  // read before: not a file that is missing
  return -1;
}

// Reads an open file to its size and closes it: its CRC; a small file's bytes stay in arena_.
// 0, or why it could not be read.
int ContentSplitter::ReadWhole(int fd, uint64_t size, uint32_t* crc) {
  // No larger than the file: each of several splitters keeps its own.
  size_t block = static_cast<size_t>(std::min<uint64_t>(kMaxBlock, size));
  if (arena_.size() < block) arena_.resize(block);
  CRCInit(crc);
  int error = 0;
  for (uint64_t off = 0; off < size && error == 0;) {
    size_t len = static_cast<size_t>(std::min<uint64_t>(block, size - off));
    error = ReadFull(fd, arena_.data(), len);
    if (error == 0) CRCUpdate(arena_.data(), len, crc);
    off += len;
  }
  _close(fd);
  CRCFinal(crc);
  return error;
}

// The class of a small file just read whole (its bytes in arena_): that of the first file of
// its checksum that holds the same bytes, or a new one whose first file's bytes are kept.
// False when more classes or bytes would have to be kept than is worth it.
bool ContentSplitter::Match(uint32_t crc, size_t size, int* cls) {
  for (size_t c = 0; c < kept_.size(); ++c) {
    // Empty files hold no bytes at all (and memcmp may not be given the null of an empty array).
    if (kept_[c] == crc &&
        (size == 0 || memcmp(held_.data() + c * size, arena_.data(), size) == 0)) {
      *cls = static_cast<int>(c);
      return true;
    }
  }
  if (kept_.size() >= kMaxOpen || (kept_.size() + 1) * size > kReadBudget) return false;
  held_.insert(held_.end(), arena_.data(), arena_.data() + size);
  *cls = static_cast<int>(kept_.size());
  kept_.push_back(crc);
  return true;
}

// Reads the open files block by block in step and splits each class whose members disagree in
// a block. Returns for each file the position of the first file of its class, or kFailed.
// Anchored: only the class of file 0 is followed; files that leave it
// get kOther. crcs, when given: for the first file of each class of two or more, their CRC.
std::vector<int> ContentSplitter::Lockstep(const std::vector<int>& fds, uint64_t size,
                                           bool anchored, std::vector<uint32_t>* crcs) {
  size_t n = fds.size();
  size_t block = std::max(kMinBlock, std::min(kMaxBlock, kReadBudget / std::max<size_t>(n, 1)));
  block = static_cast<size_t>(std::min<uint64_t>(block, size));
  if (arena_.size() < n * block) arena_.resize(n * block);
  auto buffer = [this, block](int at) { return arena_.data() + static_cast<size_t>(at) * block; };

  std::vector<int> label(n, 0);
  why_.assign(n, 0);
  std::vector<uint32_t> running(crcs != nullptr ? n : 0, 0xFFFFFFFFu);
  std::vector<std::vector<int>> live(1);
  for (size_t at = 0; at < n; ++at) live[0].push_back(static_cast<int>(at));
  for (uint64_t off = 0; off < size && !live.empty(); off += block) {
    size_t len = static_cast<size_t>(std::min<uint64_t>(block, size - off));
    std::vector<std::vector<int>> next;
    for (const std::vector<int>& cls : live) {
      std::vector<std::vector<int>> parts;
      for (int m : cls) {
        if (int error = ReadFull(fds[m], buffer(m), len)) {
          label[m] = kFailed;
          why_[m] = error;
          continue;
        }
        auto same = std::find_if(parts.begin(), parts.end(), [&](const std::vector<int>& p) {
          return memcmp(buffer(p[0]), buffer(m), len) == 0;
        });
        if (same == parts.end()) {
          parts.push_back({m});
        } else {
          same->push_back(m);
        }
      }
      uint32_t before = running.empty() ? 0 : running[cls[0]];
      for (std::vector<int>& p : parts) {
        for (int m : p) label[m] = p[0];
        if (p.size() < 2 || (anchored && p[0] != 0)) continue;
        if (!running.empty()) {
          running[p[0]] = before;
          CRCUpdate(buffer(p[0]), len, &running[p[0]]);
        }
        next.push_back(std::move(p));
      }
    }
    live.swap(next);
  }
  if (anchored) {
    for (size_t at = 1; at < n; ++at)
      if (label[at] != kFailed && (label[0] == kFailed || label[at] != label[0]))
        label[at] = kOther;
  }
  if (crcs != nullptr) {
    for (uint32_t& crc : running) CRCFinal(&crc);
    crcs->swap(running);
  }
  return label;
}

// Opens rep and the names of remaining from *at on beside it, as many as descriptors can be had
// (up to kMaxOpen), and moves *at past them. False when rep cannot be read. With rep alone open
// and names left, no other descriptor could be had: rep is closed and a descriptor waited for
// with none held, so that splitters beside each other never wait on one another. A limit that
// lets no two files be open at once for seconds fails the names left, as the waiting open fails
// a file for which no descriptor comes.
bool ContentSplitter::OpenChunk(std::vector<Candidate>& files,
                                const std::vector<uint32_t>& remaining, uint32_t rep, uint64_t size,
                                size_t* at, std::vector<uint32_t>* chunk, std::vector<int>* fds) {
  auto since = std::chrono::steady_clock::now();
  for (;;) {
    int first = Reopen(files, rep, size, true);
    if (first < 0) return false;
    *chunk = {rep};
    *fds = {first};
    for (; *at < remaining.size() && fds->size() < kMaxOpen; ++*at) {
      uint32_t m = remaining[*at];
      if (files[m].state != Candidate::kRead) continue;  // failed while waiting below
      int fd = Reopen(files, m, size, false);
      if (fd == kShort) break;
      if (fd < 0) continue;
      chunk->push_back(m);
      fds->push_back(fd);
    }
    if (fds->size() > 1 || *at >= remaining.size()) return true;
    if (std::chrono::steady_clock::now() - since > kPairPatience) {
      for (; *at < remaining.size(); ++*at) files[remaining[*at]].Fail(Candidate::kChanged, EMFILE);
      return true;
    }
    _close(first);
    int next = Reopen(files, remaining[*at], size, true);
    if (next >= 0) _close(next);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

// Classes of a group too large to read side by side: each pass reads the first remaining file
// with the others, a chunk at a time, and takes out those that hold its bytes. A group whose
// checksums are equal holds one class as a rule, so this reads each file about once. With
// digest, files of other bytes are split by their digests once met: checksums made equal on
// purpose would otherwise cost a pass per class.
void ContentSplitter::SplitAnchored(std::vector<Candidate>& files,
                                    const std::vector<uint32_t>& group, uint64_t size,
                                    std::vector<int>* classOf, int* classes, bool digest) {
  std::vector<uint32_t> remaining = group;
  while (!remaining.empty()) {
    uint32_t rep = remaining[0];
    std::vector<uint32_t> matched{rep};
    std::vector<uint32_t> unmatched;
    int repFailed = -1;  // why the first file could not be read, once it could not
    for (size_t at = 1; at < remaining.size() && repFailed < 0;) {
      std::vector<uint32_t> chunk;
      std::vector<int> fds;
      if (!OpenChunk(files, remaining, rep, size, &at, &chunk, &fds)) {
        repFailed = files[rep].Why();
        break;
      }
      std::vector<int> label = Lockstep(fds, size, true, nullptr);
      CloseAll(fds);
      if (label[0] == kFailed) {
        repFailed = why_[0];
        break;
      }
      for (size_t k = 1; k < chunk.size(); ++k) {
        if (label[k] == kFailed) {
          files[chunk[k]].Fail(Candidate::kChanged, why_[k]);
        } else if (label[k] == label[0]) {
          matched.push_back(chunk[k]);
        } else {
          unmatched.push_back(chunk[k]);
        }
      }
      if (digest && !unmatched.empty() && at < remaining.size()) {
        // Other bytes under one checksum, more files to come: as a rule a checksum made equal
        // on purpose. All are split by their digests at once instead of pass after pass.
        std::vector<uint32_t> all;
        for (uint32_t m : remaining)
          if (files[m].state == Candidate::kRead) all.push_back(m);
        SplitByDigest(files, all, size, classOf, classes);
        return;
      }
    }
    if (repFailed >= 0) {
      files[rep].Fail(Candidate::kChanged, repFailed);
      std::vector<uint32_t> rest;
      for (size_t k = 1; k < remaining.size(); ++k)
        if (files[remaining[k]].state == Candidate::kRead) rest.push_back(remaining[k]);
      remaining.swap(rest);
      continue;
    }
    for (uint32_t m : matched) (*classOf)[m] = *classes;
    ++*classes;
    if (digest && unmatched.size() >= 2) {
      SplitByDigest(files, unmatched, size, classOf, classes);
      return;
    }
    remaining.swap(unmatched);
  }
}

// Each file read once more for its digest; files of one digest hold the same bytes, which one
// anchored pass over them confirms.
void ContentSplitter::SplitByDigest(std::vector<Candidate>& files,
                                    const std::vector<uint32_t>& group, uint64_t size,
                                    std::vector<int>* classOf, int* classes) {
  size_t block = static_cast<size_t>(std::min<uint64_t>(kMaxBlock, size));
  if (arena_.size() < block) arena_.resize(block);
  std::vector<std::pair<KeyedDigest::Value, uint32_t>> digests;
  digests.reserve(group.size());
  for (uint32_t m : group) {
    int fd = Reopen(files, m, size, true);
    if (fd == -1) continue;
    KeyedDigest digest;
    int error = 0;
    for (uint64_t off = 0; off < size && error == 0; off += block) {
      size_t len = static_cast<size_t>(std::min<uint64_t>(block, size - off));
      error = ReadFull(fd, arena_.data(), len);
      if (error == 0) digest.Update(arena_.data(), len);
    }
    _close(fd);
    if (error != 0) {
      files[m].Fail(Candidate::kChanged, error);
      continue;
    }
    digests.emplace_back(digest.Final(), m);
  }
  std::sort(digests.begin(), digests.end());
  for (size_t b = 0, e; b < digests.size(); b = e) {
    std::vector<uint32_t> same;
    for (e = b; e < digests.size() && digests[e].first == digests[b].first; ++e)
      same.push_back(digests[e].second);
    if (same.size() == 1) {
      (*classOf)[same[0]] = (*classes)++;
      continue;
    }
    std::sort(same.begin(), same.end());
    SplitAnchored(files, same, size, classOf, classes, false);
  }
}

// Leaders checksummed whole at their opening: each run of equal checksums is split by its
// bytes, read again side by side.
void ContentSplitter::SplitHashed(std::vector<Candidate>& files, const std::vector<Leader>& leaders,
                                  uint64_t size, std::vector<int>* classOf,
                                  std::vector<uint32_t>* crcOf) {
  std::vector<std::pair<uint32_t, uint32_t>> hashed;
  for (const Leader& l : leaders)
    if (files[l.name].state == Candidate::kRead) hashed.emplace_back(l.crc, l.name);
  std::sort(hashed.begin(), hashed.end());
  for (size_t b = 0, e; b < hashed.size(); b = e) {
    std::vector<uint32_t> bucket;
    for (e = b; e < hashed.size() && hashed[e].first == hashed[b].first; ++e)
      bucket.push_back(hashed[e].second);
    if (bucket.size() == 1) {
      (*classOf)[bucket[0]] = static_cast<int>(crcOf->size());
      crcOf->push_back(hashed[b].first);
      continue;
    }
    int classes = static_cast<int>(crcOf->size());
    SplitAnchored(files, bucket, size, classOf, &classes, true);
    crcOf->resize(static_cast<size_t>(classes), hashed[b].first);
  }
}

// The leaders held open to be read side by side, each read whole for its checksum instead.
void ContentSplitter::HashHeld(std::vector<Candidate>& files, std::vector<Leader>& leaders,
                               std::vector<int>& fds, uint64_t size) {
  for (size_t p = 0; p < fds.size(); ++p)
    if (int error = ReadWhole(fds[p], size, &leaders[p].crc))
      files[leaders[p].name].Fail(Candidate::kChanged, error);
  fds.clear();
}

// Opens every name; a name of a file already open follows that file's first name, whose
// position it holds in cls until the classes are known. Small files are read whole as they are
// opened and compared in memory with the first file of each class so far; a few large ones stay
// open to be read side by side; many large ones (or small ones of too many classes) are
// checksummed whole as they are opened.
ContentSplitter::Opened ContentSplitter::OpenNames(std::vector<Candidate>& files, uint64_t size) {
  Opened o;
  bool small = size <= kMaxBlock;
  o.sideBySide = !small && files.size() <= kMaxOpen;
  o.matching = small;
  o.leaders.reserve(files.size());
  o.classOf.assign(files.size(), -1);
  FirstNames firstNames(files.size());
  for (uint32_t i = 0; i < files.size(); ++i) {
    int fd = Open(files, i, size, o.fds.empty());
    if (fd == kShort) {
      // Too few descriptors to hold them all: each is checksummed whole instead.
      HashHeld(files, o.leaders, o.fds, size);
      o.sideBySide = false;
      fd = Open(files, i, size, true);
    }
    if (fd < 0) continue;
    uint32_t first = firstNames.Leader(files, i);
    files[i].cls = static_cast<int32_t>(first);
    if (first != i) {
      _close(fd);
      continue;
    }
    Leader l{i, 0};
    if (o.sideBySide) {
      o.fds.push_back(fd);
    } else if (int error = ReadWhole(fd, size, &l.crc)) {
      files[i].Fail(Candidate::kChanged, error);
    } else if (o.matching) {
      o.matching = Match(l.crc, static_cast<size_t>(size), &o.classOf[i]);
    }
    o.leaders.push_back(l);
  }
  return o;
}

// The leaders held open, read side by side and closed: the class of each and the checksum of
// each class in crcOf.
void ContentSplitter::SplitSideBySide(std::vector<Candidate>& files, Opened& o, uint64_t size,
                                      std::vector<uint32_t>* crcOf) {
  std::vector<uint32_t> crcAt;
  // Nothing to compare: one file, or none to read (its class's checksum is then not needed).
  bool alone = o.fds.size() <= 1;
  std::vector<int> label =
      alone ? std::vector<int>(o.fds.size(), 0) : Lockstep(o.fds, size, false, &crcAt);
  CloseAll(o.fds);
  for (size_t p = 0; p < o.leaders.size(); ++p) {
    uint32_t name = o.leaders[p].name;
    if (label[p] == kFailed) {
      files[name].Fail(Candidate::kChanged, why_[p]);
    } else if (label[p] == static_cast<int>(p)) {
      o.classOf[name] = static_cast<int>(crcOf->size());
      crcOf->push_back(alone ? 0 : crcAt[p]);
    } else {
      o.classOf[name] = o.classOf[o.leaders[label[p]].name];
    }
  }
}

int ContentSplitter::Split(std::vector<Candidate>& files, uint64_t size,
                           const CandidatePath& pathOf, std::vector<uint32_t>* crcs) {
  pathOf_ = &pathOf;
  kept_.clear();
  held_.clear();
  Opened opened = OpenNames(files, size);
  std::vector<uint32_t> crcOf;  // of each class
  if (opened.sideBySide) {
    SplitSideBySide(files, opened, size, &crcOf);
  } else if (opened.matching) {
    crcOf = kept_;
  } else {
    std::fill(opened.classOf.begin(), opened.classOf.end(), -1);
    SplitHashed(files, opened.leaders, size, &opened.classOf, &crcOf);
  }
  pathOf_ = nullptr;
  return NumberClasses(files, opened.classOf, crcOf, crcs);
}
