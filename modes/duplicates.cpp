// The duplicate file finder: files of equal size and CRC-32 across all tasks, confirmed by their
// bytes.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/crc32shr.h"
#include "core/progress.h"
#include "core/table.h"
#include "core/verdict.h"
#include "core/entrypath.h"
#include "core/exclude.h"
#include "modes/asked.h"
#include "modes/catalogue.h"
#include "modes/contents.h"
#include "modes/modes.h"
#include "modes/report.h"

namespace {

// One file that may have copies: its size, its CRC and where it is (task, record index).
struct Entry {
  uint64_t size;
  uint32_t crc;
  uint32_t task;
  uint32_t idx;
};

bool operator<(const Entry& a, const Entry& b) {
  return std::tie(a.size, a.crc, a.task, a.idx) < std::tie(b.size, b.crc, b.task, b.idx);
}

bool SameChecksum(const Entry& a, const Entry& b) {
  return a.size == b.size && a.crc == b.crc;
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
int LoadTasks(std::vector<Table>& tables, uint32_t sub) {
  int status = kExitClean;
  for (Table& t : tables) {
    if (FromDataFile(t)) {
      if (LoadCatalogue(t) != 0) status = kExitTrouble;
      DropCovered(t);
    } else {
      t.BuildTree(sub != 0);
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

// Tasks from data files keep their stored checksums; the others read what can be a copy, or
// every file when the tables are dumped afterwards.
void ChecksumTasks(std::vector<Table>& tables, bool all) {
  std::vector<uint64_t> shared = SharedSizes(tables);
  for (Table& t : tables) {
    if (FromDataFile(t)) continue;
    if (all) {
      t.ChecksumPass();
      continue;
    }
    std::vector<char> only(t.records.size(), 0);
    for (size_t i = 0; i < t.records.size(); ++i) {
      const Record& r = t.records[i];
      only[i] = HasContents(r) && std::binary_search(shared.begin(), shared.end(), r.qwSize);
    }
    t.ChecksumPass(&only);
  }
}

// Marks every record without contents done and lists the files, sorted so that equal
// contents lie together, each run in task order and record order.
std::vector<Entry> IndexFiles(std::vector<Table>& tables) {
  std::vector<Entry> files;
  for (size_t j = 0; j < tables.size(); ++j) {
    std::vector<Record>& records = tables[j].records;
    for (size_t k = 0; k < records.size(); ++k) {
      Record& r = records[k];
      if (!HasContents(r)) {
        r.wStatus |= stDONE;
        continue;
      }
      r.wStatus = 0;
      files.push_back({r.qwSize, r.dwCRC, static_cast<uint32_t>(j), static_cast<uint32_t>(k)});
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

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
};

// A member that cannot be read now is grouped by its size and CRC only when it is known from a
// data file, and never when it is a non-empty file stored without a checksum (CRC 0).
bool KeepsChecksumRule(const Table& t, const Entry& e) {
  return FromDataFile(t) && (e.size == 0 || e.crc != 0);
}

bool CrcNowIs(const Table& t, const Entry& e, const std::string& path) {
  uint32_t crc = 0;
  return CRCFileOfSize(path.c_str(), e.size, t.records[e.idx].dwAttr, &crc) == 0 && crc == e.crc;
}

// Splits a proposed group by the bytes of its members and keeps the parts that are copies.
class Confirmer {
 public:
  Confirmer(std::vector<Table>& tables, const std::vector<Entry>& files)
      : tables_(tables), files_(files) {}

  // The proposed group files_[first, last).
  void Confirm(uint32_t first, uint32_t last, std::vector<Group>* out) {
    const Entry* begin = &files_[first];
    size_t k = last - first;
    std::vector<Candidate> names(k);
    int classes = splitter_.Split(names, begin->size, [&](size_t i) { return OpenPath(begin[i]); });

    std::vector<uint32_t> sizes(static_cast<size_t>(classes), 0);
    for (const Candidate& c : names)
      if (c.state == Candidate::kRead) ++sizes[static_cast<size_t>(c.cls)];
    std::vector<std::vector<uint32_t>> parts(static_cast<size_t>(classes));
    for (size_t c = 0; c < parts.size(); ++c) parts[c].reserve(sizes[c]);
    std::vector<uint32_t> unread;
    for (uint32_t i = 0; i < k; ++i) {
      if (names[i].state == Candidate::kRead) {
        parts[static_cast<size_t>(names[i].cls)].push_back(i);
      } else if (names[i].state == Candidate::kMissing &&
                 KeepsChecksumRule(tables_[begin[i].task], begin[i])) {
        unread.push_back(i);
      }
    }
    // Members known only by their checksum join the bytes read now that have that checksum,
    // when exactly one class has it; otherwise they are a group of their own.
    if (!unread.empty()) {
      std::vector<uint32_t>* join = nullptr;
      int matching = 0;
      for (std::vector<uint32_t>& part : parts) {
        const Entry& e = begin[part[0]];
        if (CrcNowIs(tables_[e.task], e, OpenPath(e)) && ++matching == 1) join = &part;
      }
      if (matching == 1) {
        join->insert(join->end(), unread.begin(), unread.end());
        std::sort(join->begin(), join->end());
      } else {
        parts.push_back(std::move(unread));
      }
    }

    for (std::vector<uint32_t>& part : parts) {
      // Names of one file count once: each file has one first name among those read.
      uint32_t files = 0;
      for (uint32_t i : part) files += names[i].state != Candidate::kRead || names[i].firstName;
      if (files < 2) continue;  // one file, or all names of one file
      Group g;
      g.members = std::move(part);
      for (uint32_t& i : g.members) i += first;
      g.files = files;
      out->push_back(std::move(g));
    }
  }

 private:
  // The path that opens an entry; empty when the system cannot take it.
  std::string OpenPath(const Entry& e) const {
    const Table& t = tables_[e.task];
    char path[2 * MAX_PATH];
    snprintf(path, MAX_PATH, "%s", t.cStartPath);
    if (!ComposeFilePath(t, e.idx, path, strlen(path))) return std::string();
    return path;
  }

  std::vector<Table>& tables_;
  const std::vector<Entry>& files_;
  ContentSplitter splitter_;
};

// Confirmed groups, ordered by their first members: the order in which a scan of all tasks
// meets each group's first file.
std::vector<Group> FindGroups(std::vector<Table>& tables, const std::vector<Entry>& files) {
  std::vector<Group> groups;
  Confirmer confirmer(tables, files);
  for (const auto& run : ProposedGroups(files))
    confirmer.Confirm(static_cast<uint32_t>(run.first), static_cast<uint32_t>(run.second), &groups);
  std::sort(groups.begin(), groups.end(), [&](const Group& a, const Group& b) {
    const Entry& x = files[a.members[0]];
    const Entry& y = files[b.members[0]];
    return std::tie(x.task, x.idx) < std::tie(y.task, y.idx);
  });
  return groups;
}

std::string FullPath(const Table& t, uint32_t idx) {
  char path[2 * MAX_PATH];
  return ShownPath(t, static_cast<long>(idx), path);
}

struct Totals {
  uint32_t files = 0;
  int64_t lost = 0;
};

// Every name is listed; the lost bytes count each file other than the first once.
void PrintGroup(std::vector<Table>& tables, const std::vector<Entry>& files, const Group& group,
                Totals* totals) {
  const Entry& first = files[group.members[0]];
  Record& h = tables[first.task].records[first.idx];
  std::string name = h.LongName();
  CharToOemA(&name[0], &name[0]);
  printf("\nFile: %-30s    CRC32:%08X  Size:%" PRId64 " byte(s)\n", name.c_str(), h.dwCRC,
         static_cast<int64_t>(h.qwSize));
  printf("\n      %s\n", FullPath(tables[first.task], first.idx).c_str());
  for (size_t m = 1; m < group.members.size(); ++m) {
    const Entry& e = files[group.members[m]];
    printf("      %s\n", FullPath(tables[e.task], e.idx).c_str());
  }
  for (uint32_t m : group.members) tables[files[m].task].records[files[m].idx].wStatus |= stDONE;
  totals->files += static_cast<uint32_t>(group.members.size());
  totals->lost += static_cast<int64_t>(h.qwSize) * (group.files - 1);
}

}  // namespace

int FindDuplicates(std::vector<Table>& tables, uint32_t sub, uint32_t full) {
  StatusLine(" \376 Duplicate File Finder ...\n");
  int status = LoadTasks(tables, sub);
  ChecksumTasks(tables, full != 0);
  int reported = ReportDuplicates(tables);
  return WorstStatus(status, reported);
}

int ReportDuplicates(std::vector<Table>& tables) {
  ProgressLine("   Indexing table ...\r");
  std::vector<Entry> files = IndexFiles(tables);
  ProgressLine("                     \n");

  Totals totals;
  for (const Group& group : FindGroups(tables, files)) PrintGroup(tables, files, group, &totals);
  if (totals.files != 0) {
    printf("\nWas found %u diplicate file(s).\n", totals.files);
    printf("Loss %" PRId64 " byte(s) in duplicate file(s).\n", totals.lost);
  }
  return kExitClean;
}
