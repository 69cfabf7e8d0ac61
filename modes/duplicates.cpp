// The duplicate file finder: files of equal size and CRC-32 across all tasks, confirmed by their
// bytes.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <functional>
#include <iterator>
#include <string>
#include <system_error>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "core/consolefit.h"
#include "core/crc32shr.h"
#include "core/crc_readers.h"
#include "core/entrypath.h"
#include "core/exclude.h"
#include "core/pathtext.h"
#include "core/progress.h"
#include "core/table.h"
#include "core/verdict.h"
#include "modes/asked.h"
#include "modes/catalogue.h"
#include "modes/contents.h"
#include "modes/modes.h"
#include "modes/report.h"
#include "modes/report_writer.h"
#include "platform/fileread.h"

namespace {

// One file that may have copies: its size, its CRC and where it is (task, record index).
// The size in 32-bit halves: 20 bytes an entry where a 64-bit field would pad it to 24.
struct Entry {
  uint32_t sizeLow;
  uint32_t sizeHigh;
  uint32_t crc;
  uint32_t task;
  uint32_t idx;

  Entry(uint64_t size, uint32_t crc, uint32_t task, uint32_t idx)
      : sizeLow(static_cast<uint32_t>(size)),
        sizeHigh(static_cast<uint32_t>(size >> 32)),
        crc(crc),
        task(task),
        idx(idx) {}
  uint64_t size() const { return uint64_t{sizeHigh} << 32 | sizeLow; }
};

bool operator<(const Entry& a, const Entry& b) {
  return std::tie(a.sizeHigh, a.sizeLow, a.crc, a.task, a.idx) <
         std::tie(b.sizeHigh, b.sizeLow, b.crc, b.task, b.idx);
}

bool SameChecksum(const Entry& a, const Entry& b) {
  return a.sizeLow == b.sizeLow && a.sizeHigh == b.sizeHigh && a.crc == b.crc;
}

// Links, devices, FIFOs and sockets have size 0 and CRC 0 but no contents: never a copy.
bool HasContents(const Record& r) {
  return ::HasContents(r.dwAttr);
}

bool FromDataFile(const Table& t) {
  return t.cDataFile[0] != '\0';
}

// kExitTrouble when a data file was refused (its task stays empty, the others are searched)
// or a mask found nothing.
int LoadTasks(std::vector<Table>& tables, uint32_t sub, const WalkRules& rules) {
  int status = kExitClean;
  for (Table& t : tables) {
    if (FromDataFile(t)) {
      if (LoadCatalogue(t, Progress(rules.quiet)) != 0) status = kExitTrouble;
      DropCovered(t, *rules.exclude);
      // Its files are reached from the start path it records, as a walk's are: no link below
      // it is followed.
      if (rules.roots != nullptr) rules.roots->Trust(t.cStartPath);
    } else {
      t.BuildTree(sub != 0, rules);
      if (NothingMatches(t)) status = kExitTrouble;
    }
  }
  return status;
}

// Sizes that at least two files of all tasks have, ascending. Only such files can be in a
// group, so only they need to be read.
std::vector<uint64_t> SharedSizes(const std::vector<Table>& tables) {
  std::vector<uint64_t> sizes;
  for (const Table& t : tables)
    for (const Record& r : t.records)
      if (HasContents(r)) sizes.push_back(r.qwSize);
  std::sort(sizes.begin(), sizes.end());
  std::vector<uint64_t> shared;
  for (size_t i = 1; i < sizes.size(); ++i)
    if (sizes[i] == sizes[i - 1] && (shared.empty() || shared.back() != sizes[i]))
      shared.push_back(sizes[i]);
  return shared;
}

// A file a data file holds without its checksum (stored under /nc): its bytes tell.
bool StoredWithoutChecksum(const Record& r) {
  return HasContents(r) && r.qwSize != 0 && r.dwCRC == 0;
}

// Tasks from data files keep their stored checksums, except for files stored without one,
// which are read where they are now; the others read what can be a copy, or every file when
// the tables are dumped afterwards.
void ChecksumTasks(std::vector<Table>& tables, bool all, const WalkRules& rules) {
  std::vector<uint64_t> shared = SharedSizes(tables);
  for (Table& t : tables) {
    bool stored = FromDataFile(t);
    if (all && !stored) {
      t.ChecksumPass(rules);
      continue;
    }
    std::vector<char> only(t.records.size(), 0);
    bool any = false;
    for (size_t i = 0; i < t.records.size(); ++i) {
      const Record& r = t.records[i];
      only[i] = HasContents(r) && (!stored || StoredWithoutChecksum(r)) &&
                std::binary_search(shared.begin(), shared.end(), r.qwSize);
      any = any || only[i];
    }
    if (!stored || any) t.ChecksumPass(rules, &only, stored);
  }
}

// Marks every record without contents (or unread) done and lists the files in task and record
// order.
std::vector<Entry> ListFiles(std::vector<Table>& tables) {
  std::vector<Entry> files;
  for (size_t j = 0; j < tables.size(); ++j) {
    std::vector<Record>& records = tables[j].records;
    for (size_t k = 0; k < records.size(); ++k) {
      Record& r = records[k];
      // A file that could not be read has been warned about; its CRC tells nothing.
      if (!HasContents(r) || (r.wStatus & stUNREAD)) {
        r.wStatus |= stDONE;
        continue;
      }
      r.wStatus = 0;
      files.emplace_back(r.qwSize, r.dwCRC, static_cast<uint32_t>(j), static_cast<uint32_t>(k));
    }
  }
  return files;
}

// Sorted so that equal contents lie together, each run in task order and record order.
std::vector<Entry> IndexFiles(std::vector<Table>& tables) {
  std::vector<Entry> files = ListFiles(tables);
  std::sort(files.begin(), files.end());
  return files;
}

// Files of one size are first told apart by the checksum of their first bytes (all of them
// when small): a kibibyte tells most files of other contents apart, and little is copied.
constexpr uint64_t kFirstBytes = 1024;
// The readers for some shares of work, at most one each: as many as the command line says
// (jobs), else `fit`.
unsigned Readers(unsigned jobs, size_t shares, unsigned fit) {
  unsigned readers = jobs;
  if (readers == kFitReaders) readers = fit;
  return static_cast<unsigned>(std::max<size_t>(1, std::min<size_t>(readers, shares)));
}

// Runs read(0) here and read(1) .. read(readers - 1) on threads of their own; each takes its
// work from a shared counter, so a thread the system cannot start leaves its part to the others.
void RunReaders(unsigned readers, const std::function<void(unsigned)>& read) {
  std::vector<std::thread> others;
  for (unsigned n = 1; n < readers; ++n) {
    try {
      others.emplace_back([&read, n] { read(n); });
    } catch (const std::system_error&) {
      break;
    }
  }
  read(0);
  for (std::thread& t : others) t.join();
}

// The path that opens record idx of t; empty when the system cannot take it.
std::string EntryOpenPath(const Table& t, uint32_t idx) {
  char path[2 * MAX_PATH];
  snprintf(path, MAX_PATH, "%s", t.cStartPath);
  if (!ComposeFilePath(t, idx, path, strlen(path))) return std::string();
  return path;
}

// The checksum pass of a search without stored checksums: the files of a shared size get the
// checksum of their first bytes, read by the reader pool. Then, for each task as its own pass
// would say it, the files that could not be read and the summary line.
class FirstBytesPass : public CrcSink {
 public:
  FirstBytesPass(const std::vector<Table>& tables, std::vector<Entry>& files, unsigned jobs,
                 bool quiet)
      : tables_(tables),
        files_(files),
        read_(files.size()),
        jobs_(jobs),
        shown_(quiet),
        progress_(quiet) {
    std::vector<uint64_t> shared = SharedSizes(tables);
    for (size_t i = 0; i < files_.size(); ++i) {
      read_[i] = std::binary_search(shared.begin(), shared.end(), files_[i].size());
      total_ += read_[i];
    }
  }

  // The positions of the files that could not be read, ascending.
  std::vector<size_t> Run() {
    time_t start = time(nullptr);
    CrcReaders readers(jobs_);
    char path[2 * MAX_PATH];
    const Table* task = nullptr;
    size_t base = 0;
    for (size_t i = 0; i < files_.size(); ++i) {
      if (!read_[i]) continue;
      Entry& e = files_[i];
      const Table& t = tables_[e.task];
      if (task != &t) {
        snprintf(path, MAX_PATH, "%s", t.cStartPath);
        base = strlen(path);
        task = &t;
      }
      if (!ComposeFilePath(t, e.idx, path, base)) {
        readers.Drain();  // the warnings stay in the order of the files
        Checksummed(i, path, 0, ENAMETOOLONG);
        continue;
      }
      // The checksum of as many bytes as the first look takes: a file that is shorter now
      // fails as a shrunk file does.
      readers.Submit(path, std::min(e.size(), kFirstBytes), t.records[e.idx].dwAttr, false, this,
                     i);
    }
    readers.Drain();
    Say(time(nullptr) - start);
    std::vector<size_t> positions;
    for (const auto& f : failed_) positions.push_back(f.first);
    return positions;
  }

  void Checksummed(uint64_t tag, const char*, uint32_t crc, int error) override {
    size_t i = static_cast<size_t>(tag);
    files_[i].crc = crc;
    if (error != 0) failed_.emplace_back(i, error);
    ++done_;
    if (progress_.Due()) ShowProgress(files_[i], done_);
  }

 private:
  void ShowProgress(const Entry& e, unsigned done) const {
    char path[2 * MAX_PATH];
    DrawProgress(ChecksumProgressText(ShownPath(tables_[e.task], static_cast<long>(e.idx), path),
                                      done, total_, StderrConsoleColumns(), ConsoleShowsUtf8()) +
                 "\r");
  }

  void Say(time_t elapsed) const {
    const std::vector<std::pair<size_t, int>>& failed = failed_;
    std::vector<unsigned> count(tables_.size(), 0);
    std::vector<uint64_t> bytes(tables_.size(), 0);
    for (size_t i = 0; i < files_.size(); ++i) {
      const Entry& e = files_[i];
      if (!read_[i]) continue;
      ++count[e.task];
      bytes[e.task] += e.size();
    }
    auto f = failed.begin();
    for (size_t j = 0; j < tables_.size(); ++j) {
      for (; f != failed.end() && files_[f->first].task == j; ++f) {
        const Table& t = tables_[j];
        uint32_t idx = files_[f->first].idx;
        std::string path = EntryOpenPath(t, idx);
        if (!path.empty()) {
          WarnSkipped(f->second, path.c_str());
        } else {
          WarnSkipped(f->second, t.cStartPath, t.records[idx].LongName());
        }
      }
      double speed = elapsed != 0 ? bytes[j] / 1024.0 / static_cast<double>(elapsed) : 0;
      shown_.Final(" \376 CRC32  %6u  Size: %12" PRId64 " bytes   Speed: %7g Kb/s\n", count[j],
                   static_cast<int64_t>(bytes[j]), speed);
    }
  }

  const std::vector<Table>& tables_;
  std::vector<Entry>& files_;
  std::vector<bool> read_;  // for each file: its size is shared, so it is read
  unsigned jobs_;
  unsigned total_ = 0;
  unsigned done_ = 0;
  std::vector<std::pair<size_t, int>> failed_;  // in the order of the files
  Progress shown_;
  ProgressTimer progress_;
};

// Runs of at least two entries with equal size and CRC: the groups the checksums propose.
std::vector<std::pair<size_t, size_t>> ProposedGroups(const std::vector<Entry>& files) {
  std::vector<std::pair<size_t, size_t>> runs;
  for (size_t begin = 0, end; begin < files.size(); begin = end) {
    for (end = begin + 1; end < files.size() && SameChecksum(files[begin], files[end]);) ++end;
    if (end - begin >= 2) runs.emplace_back(begin, end);
  }
  return runs;
}

// A reported group: its members in task and record order, as positions in the sorted list of
// files (four bytes each: a group may hold a million empty files), and how many files they name.
struct Group {
  std::vector<uint32_t> members;
  uint32_t files = 0;
  uint32_t crc = 0;
};

// A member that cannot be read now is grouped by its size and CRC only when it is known from a
// data file, and never when it is a non-empty file stored without a checksum (CRC 0).
bool KeepsChecksumRule(const Table& t, const Entry& e) {
  return FromDataFile(t) && (e.size() == 0 || e.crc != 0);
}

// Through the caller's own buffer: confirmers beside each other never share one.
bool CrcNowIs(const Table& t, const Entry& e, const std::string& path,
              std::vector<unsigned char>& buffer) {
  uint32_t crc = 0;
  buffer.resize(kCrcBufferSize);
  return CRCFileOfSizeBuffered(path.c_str(), e.size(), t.records[e.idx].dwAttr, buffer.data(),
                               kCrcBufferSize, &crc) == 0 &&
         crc == e.crc;
}

// A member that could not be read: its position among the files and why.
using Unread = std::pair<uint32_t, int>;

// Splits a proposed group by the bytes of its members and keeps the parts that are copies.
class Confirmer {
 public:
  Confirmer(std::vector<Table>& tables, const std::vector<Entry>& files)
      : tables_(tables), files_(files) {}

  // The proposed group files_[first, last): its groups go to out, each with the checksum of the
  // bytes that confirmed it, and the members that could not be read to unread.
  void Confirm(uint32_t first, uint32_t last, std::vector<Group>* out,
               std::vector<Unread>* unreadOut) {
    const Entry* begin = &files_[first];
    std::vector<Candidate> names(last - first);
    std::vector<uint32_t> crcs;
    int classes = splitter_.Split(
        names, begin->size(), [&](size_t i) { return OpenPath(begin[i]); }, &crcs);
    std::vector<uint32_t> known;
    std::vector<std::vector<uint32_t>> parts = Parts(names, classes, first, &known, unreadOut);
    size_t joined = known.empty() ? parts.size() : Join(parts, std::move(known), begin);
    for (size_t c = 0; c < parts.size(); ++c) {
      // Bytes read now that have the stored checksum, or none at all: the stored one.
      uint32_t crc = c < crcs.size() && c != joined ? crcs[c] : begin->crc;
      Emit(names, std::move(parts[c]), crc, first, out);
    }
  }

 private:
  // The members of each class, by their position in the group; known receives those that keep
  // the checksum rule (unread now, known from a data file), unreadOut those to warn about.
  std::vector<std::vector<uint32_t>> Parts(const std::vector<Candidate>& names, int classes,
                                           uint32_t first, std::vector<uint32_t>* known,
                                           std::vector<Unread>* unreadOut) const {
    std::vector<uint32_t> sizes(static_cast<size_t>(classes), 0);
    for (const Candidate& c : names)
      if (c.state == Candidate::kRead) ++sizes[static_cast<size_t>(c.cls)];
    std::vector<std::vector<uint32_t>> parts(static_cast<size_t>(classes));
    for (size_t c = 0; c < parts.size(); ++c) parts[c].reserve(sizes[c]);
    for (uint32_t i = 0; i < names.size(); ++i) {
      const Candidate& n = names[i];
      if (n.state == Candidate::kRead) {
        parts[static_cast<size_t>(n.cls)].push_back(i);
        continue;
      }
      const Entry& e = files_[first + i];
      if (n.why != 0) unreadOut->emplace_back(first + i, n.Why());
      if (n.state == Candidate::kMissing && KeepsChecksumRule(tables_[e.task], e))
        known->push_back(i);
    }
    return parts;
  }

  // Members known only by their checksum join the bytes read now that have that checksum, when
  // exactly one class has it; otherwise they are a class of their own. The class they joined.
  size_t Join(std::vector<std::vector<uint32_t>>& parts, std::vector<uint32_t> known,
              const Entry* begin) {
    size_t joined = parts.size();
    int matching = 0;
    for (size_t c = 0; c < parts.size(); ++c) {
      const Entry& e = begin[parts[c][0]];
      if (CrcNowIs(tables_[e.task], e, OpenPath(e), buffer_) && ++matching == 1) joined = c;
    }
    if (matching != 1) {
      parts.push_back(std::move(known));
      return parts.size() - 1;
    }
    std::vector<uint32_t>& join = parts[joined];
    join.insert(join.end(), known.begin(), known.end());
    std::sort(join.begin(), join.end());
    return joined;
  }

  // A class that holds two files or more is a group (names of one file count once: each file
  // has one first name among those read).
  static void Emit(const std::vector<Candidate>& names, std::vector<uint32_t> members, uint32_t crc,
                   uint32_t first, std::vector<Group>* out) {
    uint32_t files = 0;
    for (uint32_t i : members) files += names[i].state != Candidate::kRead || names[i].firstName;
    if (files < 2) return;  // one file, or all names of one file
    Group g;
    g.members = std::move(members);
    for (uint32_t& i : g.members) i += first;
    g.files = files;
    g.crc = crc;
    out->push_back(std::move(g));
  }

  std::string OpenPath(const Entry& e) const { return EntryOpenPath(tables_[e.task], e.idx); }

  std::vector<Table>& tables_;
  const std::vector<Entry>& files_;
  ContentSplitter splitter_;
  std::vector<unsigned char> buffer_;
};

// Confirmed groups, ordered by their first members: the order in which a scan of all tasks
// meets each group's first file. Members that could not be read are warned about, in task and
// record order. Several readers confirm groups, so that a group read from the device does not
// hold up the others, and the comparison of many groups takes each processor.
std::vector<Group> FindGroups(std::vector<Table>& tables, const std::vector<Entry>& files,
                              unsigned jobs) {
  std::vector<std::pair<size_t, size_t>> runs = ProposedGroups(files);
  // One per processor: the first look has asked the device for the files' first pages, and each
  // reader keeps buffers of up to 16 MiB.
  unsigned readers = Readers(jobs, runs.size(), std::thread::hardware_concurrency());
  std::vector<std::vector<Group>> found(readers);
  std::vector<std::vector<Unread>> unread(readers);
  std::atomic<size_t> next{0};
  RunReaders(readers, [&](unsigned n) {
    Confirmer confirmer(tables, files);
    for (size_t r; (r = next++) < runs.size();)
      confirmer.Confirm(static_cast<uint32_t>(runs[r].first), static_cast<uint32_t>(runs[r].second),
                        &found[n], &unread[n]);
    ReleaseThreadState();
  });
  auto order = [&](uint32_t a, uint32_t b) {
    return std::tie(files[a].task, files[a].idx) < std::tie(files[b].task, files[b].idx);
  };
  std::vector<Unread> failed;
  for (std::vector<Unread>& part : unread) failed.insert(failed.end(), part.begin(), part.end());
  std::sort(failed.begin(), failed.end(),
            [&](const Unread& a, const Unread& b) { return order(a.first, b.first); });
  for (const Unread& u : failed) {
    const Entry& e = files[u.first];
    std::string path = EntryOpenPath(tables[e.task], e.idx);
    if (path.empty())
      path = std::string(tables[e.task].cStartPath) + tables[e.task].records[e.idx].LongName();
    WarnSkipped(u.second, path.c_str());
  }
  std::vector<Group> groups;
  for (std::vector<Group>& part : found)
    std::move(part.begin(), part.end(), std::back_inserter(groups));
  std::sort(groups.begin(), groups.end(),
            [&](const Group& a, const Group& b) { return order(a.members[0], b.members[0]); });
  return groups;
}

struct Totals {
  uint32_t files = 0;
  int64_t lost = 0;
};

// Every name is listed; the lost bytes count each file other than the first once.
void ReportGroup(ReportWriter& report, std::vector<Table>& tables, const std::vector<Entry>& files,
                 const Group& group, Totals* totals) {
  const Entry& first = files[group.members[0]];
  Record& h = tables[first.task].records[first.idx];
  DuplicateGroup shown;
  shown.crc = group.crc;
  shown.size = h.qwSize;
  for (uint32_t m : group.members) shown.members.push_back({&tables[files[m].task], files[m].idx});
  report.Group(shown);
  for (uint32_t m : group.members) tables[files[m].task].records[files[m].idx].wStatus |= stDONE;
  totals->files += static_cast<uint32_t>(group.members.size());
  totals->lost += static_cast<int64_t>(h.qwSize) * (group.files - 1);
}

// The files grouped as their bytes confirm, handed to the report with the totals.
void ReportGroups(std::vector<Table>& tables, const std::vector<Entry>& files,
                  const RunSettings& s) {
  std::vector<Group> groups = FindGroups(tables, files, s.jobs);
  Totals totals;
  for (const Group& group : groups) ReportGroup(*s.report, tables, files, group, &totals);
  s.report->DuplicateSummary(totals.files, totals.lost);
}

// Only live trees: a file needs no checksum of its whole before its bytes are compared. The
// first bytes split most files of one size; the groups' checksums come with the comparison.
void SearchLiveTrees(std::vector<Table>& tables, const RunSettings& s) {
  std::vector<Entry> files = ListFiles(tables);
  std::vector<size_t> unread = FirstBytesPass(tables, files, s.jobs, s.quiet).Run();
  // Those have been warned about; their bytes are no evidence.
  std::vector<char> drop(files.size(), 0);
  for (size_t at : unread) drop[at] = 1;
  size_t kept = 0;
  for (size_t i = 0; i < files.size(); ++i)
    if (!drop[i]) files[kept++] = files[i];
  files.erase(files.begin() + static_cast<long>(kept), files.end());
  std::sort(files.begin(), files.end());
  Progress shown = s.Shown();
  shown.Line("   Indexing table ...\r");
  shown.Line("                     \n");
  ReportGroups(tables, files, s);
}

}  // namespace

int FindDuplicates(std::vector<Table>& tables, const RunSettings& s) {
  s.Shown().Status(" \376 Duplicate File Finder ...\n");
  int status = LoadTasks(tables, s.sub, s.Walk());
  if (s.debug || std::any_of(tables.begin(), tables.end(), FromDataFile)) {
    // Stored checksums are compared with those of the live files, so those are computed; the
    // dump shows every file's.
    ChecksumTasks(tables, s.debug, s.Walk());
    return WorstStatus(status, ReportDuplicates(tables, s));
  }
  SearchLiveTrees(tables, s);
  return status;
}

int ReportDuplicates(std::vector<Table>& tables, const RunSettings& s) {
  Progress shown = s.Shown();
  shown.Line("   Indexing table ...\r");
  std::vector<Entry> files = IndexFiles(tables);
  shown.Line("                     \n");
  ReportGroups(tables, files, s);
  return kExitClean;
}
