// Reading the members of a proposed group side by side, in large blocks, to split them by content.
#include "modes/contents.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string_view>
#include <utility>

#include "platform/platform.h"

namespace {

// Files read side by side: far below any descriptor limit, and each needs a buffer.
constexpr size_t kMaxOpen = 64;
// Buffers of one step together; a block is this divided among the files, within the bounds.
constexpr size_t kReadBudget = size_t{8} << 20;
constexpr size_t kMinBlock = size_t{64} << 10;
constexpr size_t kMaxBlock = size_t{1} << 20;

constexpr int kFailed = -1;  // Lockstep: reading this file failed
constexpr int kOther = -2;   // Lockstep, anchored: not the bytes of the first file

bool ReadFull(int fd, unsigned char* buf, size_t len) {
  while (len > 0) {
    int got = _read(fd, buf, static_cast<unsigned>(len));
    if (got <= 0) return false;  // an error, or the file has shrunk since it was opened
    buf += got;
    len -= static_cast<size_t>(got);
  }
  return true;
}

// Opens a name for reading; -1 with the state set when it cannot be read as recorded.
int OpenCandidate(const std::string& path, Candidate& c, uint64_t size) {
  FileId id;
  uint64_t now = 0;
  int fd = path.empty() ? -1 : OpenFileId(path.c_str(), &id, &now);
  if (fd == -1) {
    c.state = Candidate::kMissing;
    return -1;
  }
  if (now != size) {
    _close(fd);
    c.state = Candidate::kChanged;
    return -1;
  }
  c.id = id;
  c.state = Candidate::kRead;
  return fd;
}

uint64_t IdHash(const FileId& id) {
  uint64_t h = (id.volume * 0x9E3779B97F4A7C15ull) ^ id.index;
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
    size_t s = IdHash(files[i].id) & mask;
    for (; slots_[s] != 0; s = (s + 1) & mask)
      if (files[slots_[s] - 1].id == files[i].id) return slots_[s] - 1;
    slots_[s] = i + 1;
    return i;
  }

 private:
  std::vector<uint32_t> slots_;  // position + 1, 0 = empty
};

// A hash of a whole file's contents, to sort many files into likely classes: never trusted,
// only the bytes are. False when the file cannot be read to its size.
bool HashFile(int fd, uint64_t size, std::vector<unsigned char>* buf, uint64_t* hash) {
  if (buf->size() < kMaxBlock) buf->resize(kMaxBlock);
  uint64_t h = size;
  for (uint64_t off = 0; off < size;) {
    size_t len = static_cast<size_t>(std::min<uint64_t>(kMaxBlock, size - off));
    if (!ReadFull(fd, buf->data(), len)) return false;
    size_t part =
        std::hash<std::string_view>()(std::string_view(reinterpret_cast<char*>(buf->data()), len));
    h ^= part + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
    off += len;
  }
  *hash = h;
  return true;
}

void CloseAll(const std::vector<int>& fds) {
  for (int fd : fds)
    if (fd != -1) _close(fd);
}

}  // namespace

int ContentSplitter::Open(std::vector<Candidate>& files, size_t i, uint64_t size) const {
  return OpenCandidate((*pathOf_)(i), files[i], size);
}

// Opens a name again: it must still be the file that was read before, at the same size.
int ContentSplitter::Reopen(std::vector<Candidate>& files, size_t i, uint64_t size) const {
  FileId before = files[i].id;
  int fd = Open(files, i, size);
  if (fd != -1 && files[i].id == before) return fd;
  if (fd != -1) _close(fd);
  files[i].state = Candidate::kChanged;
  return -1;
}

// Reads the open files block by block in step and splits each class whose members disagree in
// a block. Returns for each file the position of the first file of its class, or kFailed.
// Anchored: only the class of file 0 is followed; files that leave it get kOther.
std::vector<int> ContentSplitter::Lockstep(const std::vector<int>& fds, uint64_t size,
                                           bool anchored) {
  size_t n = fds.size();
  size_t block = std::max(kMinBlock, std::min(kMaxBlock, kReadBudget / std::max<size_t>(n, 1)));
  block = static_cast<size_t>(std::min<uint64_t>(block, size));
  if (arena_.size() < n * block) arena_.resize(n * block);
  auto buffer = [this, block](int at) { return arena_.data() + static_cast<size_t>(at) * block; };

  std::vector<int> label(n, 0);
  std::vector<std::vector<int>> live(1);
  for (size_t at = 0; at < n; ++at) live[0].push_back(static_cast<int>(at));
  for (uint64_t off = 0; off < size && !live.empty(); off += block) {
    size_t len = static_cast<size_t>(std::min<uint64_t>(block, size - off));
    std::vector<std::vector<int>> next;
    for (const std::vector<int>& cls : live) {
      std::vector<std::vector<int>> parts;
      for (int m : cls) {
        if (!ReadFull(fds[m], buffer(m), len)) {
          label[m] = kFailed;
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
      for (std::vector<int>& p : parts) {
        for (int m : p) label[m] = p[0];
        if (p.size() >= 2 && (!anchored || p[0] == 0)) next.push_back(std::move(p));
      }
    }
    live.swap(next);
  }
  if (anchored) {
    for (size_t at = 1; at < n; ++at)
      if (label[at] != kFailed && (label[0] == kFailed || label[at] != label[0]))
        label[at] = kOther;
  }
  return label;
}

// Classes of a group too large to read side by side: each pass reads the first remaining file
// with the others, a chunk at a time, and takes out those that hold its bytes. A group that
// the hash has sorted holds one class as a rule, so this reads each file about once.
void ContentSplitter::SplitAnchored(std::vector<Candidate>& files,
                                    const std::vector<uint32_t>& group, uint64_t size,
                                    std::vector<int>* classOf, int* classes) {
  std::vector<uint32_t> remaining = group;
  while (!remaining.empty()) {
    uint32_t rep = remaining[0];
    std::vector<uint32_t> matched{rep};
    std::vector<uint32_t> unmatched;
    bool repFailed = false;
    for (size_t at = 1; at < remaining.size() && !repFailed; at += kMaxOpen - 1) {
      std::vector<uint32_t> chunk{rep};
      std::vector<int> fds{Reopen(files, rep, size)};
      if (fds[0] == -1) {
        repFailed = true;
        break;
      }
      for (size_t k = at; k < remaining.size() && k < at + kMaxOpen - 1; ++k) {
        int fd = Reopen(files, remaining[k], size);
        if (fd == -1) continue;
        chunk.push_back(remaining[k]);
        fds.push_back(fd);
      }
      std::vector<int> label = Lockstep(fds, size, true);
      CloseAll(fds);
      if (label[0] == kFailed) {
        repFailed = true;
        break;
      }
      for (size_t k = 1; k < chunk.size(); ++k) {
        if (label[k] == kFailed) {
          files[chunk[k]].state = Candidate::kChanged;
        } else if (label[k] == label[0]) {
          matched.push_back(chunk[k]);
        } else {
          unmatched.push_back(chunk[k]);
        }
      }
    }
    if (repFailed) {
      files[rep].state = Candidate::kChanged;
      std::vector<uint32_t> rest;
      for (size_t k = 1; k < remaining.size(); ++k)
        if (files[remaining[k]].state == Candidate::kRead) rest.push_back(remaining[k]);
      remaining.swap(rest);
      continue;
    }
    for (uint32_t m : matched) (*classOf)[m] = *classes;
    ++*classes;
    remaining.swap(unmatched);
  }
}

int ContentSplitter::Split(std::vector<Candidate>& files, uint64_t size,
                           const CandidatePath& pathOf) {
  pathOf_ = &pathOf;
  // Open every name; a name of a file already open follows that file's first name.
  std::vector<uint32_t> leaderOf(files.size());
  std::vector<uint32_t> leaders;
  std::vector<int> fds;  // of the leaders, while there are few enough to read side by side
  bool sideBySide = true;
  FirstNames firstNames(files.size());
  for (uint32_t i = 0; i < files.size(); ++i) {
    int fd = Open(files, i, size);
    if (fd == -1) continue;
    leaderOf[i] = firstNames.Leader(files, i);
    if (leaderOf[i] != i) {
      _close(fd);
      continue;
    }
    leaders.push_back(i);
    if (sideBySide && leaders.size() > kMaxOpen) {  // too many: each is opened again later
      CloseAll(fds);
      fds.clear();
      sideBySide = false;
    }
    if (sideBySide) {
      fds.push_back(fd);
    } else {
      _close(fd);
    }
  }

  std::vector<int> classOf(files.size(), -1);
  int classes = 0;
  if (size == 0 || leaders.size() <= 1) {
    for (uint32_t l : leaders) classOf[l] = 0;
    classes = leaders.empty() ? 0 : 1;
    CloseAll(fds);
  } else if (leaders.size() <= kMaxOpen) {
    std::vector<int> label = Lockstep(fds, size, false);
    CloseAll(fds);
    for (size_t p = 0; p < leaders.size(); ++p) {
      if (label[p] == kFailed) {
        files[leaders[p]].state = Candidate::kChanged;
      } else if (label[p] == static_cast<int>(p)) {
        classOf[leaders[p]] = classes++;
      } else {
        classOf[leaders[p]] = classOf[leaders[label[p]]];
      }
    }
  } else {
    // A hash of each file sorts them into buckets that almost surely hold one class each;
    // each bucket is then split by its bytes like a small group.
    std::vector<std::pair<uint64_t, uint32_t>> hashed;
    for (uint32_t l : leaders) {
      int fd = Reopen(files, l, size);
      if (fd == -1) continue;
      uint64_t hash = 0;
      bool ok = HashFile(fd, size, &arena_, &hash);
      _close(fd);
      if (ok) {
        hashed.emplace_back(hash, l);
      } else {
        files[l].state = Candidate::kChanged;
      }
    }
    std::sort(hashed.begin(), hashed.end());
    for (size_t b = 0, e; b < hashed.size(); b = e) {
      std::vector<uint32_t> bucket;
      for (e = b; e < hashed.size() && hashed[e].first == hashed[b].first; ++e)
        bucket.push_back(hashed[e].second);
      SplitAnchored(files, bucket, size, &classOf, &classes);
    }
  }

  // Names follow their file; classes are numbered in the order of their first names.
  std::vector<int> renumber(static_cast<size_t>(classes), -1);
  int used = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    Candidate& c = files[i];
    if (c.state != Candidate::kRead) continue;
    const Candidate& leader = files[leaderOf[i]];
    int cls = classOf[leaderOf[i]];
    if (leader.state != Candidate::kRead || cls < 0) {
      c.state = Candidate::kChanged;
      continue;
    }
    if (renumber[cls] < 0) renumber[cls] = used++;
    c.cls = renumber[cls];
    c.firstName = leaderOf[i] == i;
  }
  pathOf_ = nullptr;
  return used;
}

bool BytesCompare::Same(const std::string& a, const std::string& b, uint64_t size) {
  std::vector<Candidate> files(2);
  splitter_.Split(files, size, [&](size_t i) { return i == 0 ? a : b; });
  return files[0].state == Candidate::kRead && files[1].state == Candidate::kRead &&
         files[0].cls == files[1].cls;
}
