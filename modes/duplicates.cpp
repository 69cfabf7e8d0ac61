// The duplicate file finder: groups of files with equal size and equal CRC-32 across all tasks.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "core/progress.h"
#include "core/table.h"
#include "modes/catalogue.h"
#include "modes/modes.h"

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

bool SameContents(const Entry& a, const Entry& b) {
  return a.size == b.size && a.crc == b.crc;
}

// Links, devices, FIFOs and sockets have size 0 and CRC 0 but no contents: never a copy.
bool HasContents(const Record& r) {
  return !(r.dwAttr &
           (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE));
}

bool FromDataFile(const Table& t) {
  return t.cDataFile[0] != '\0';
}

// 1 when a data file was refused: its task stays empty and the others are still searched.
int LoadTasks(std::vector<Table>& tables, uint32_t sub) {
  int status = 0;
  for (Table& t : tables) {
    if (FromDataFile(t)) {
      if (LoadCatalogue(t) != 0) status = 1;
    } else {
      t.BuildTree(sub != 0);
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

// Tasks from data files keep their stored checksums; the others read what can be a copy.
void ChecksumTasks(std::vector<Table>& tables) {
  std::vector<uint64_t> shared = SharedSizes(tables);
  for (Table& t : tables) {
    if (FromDataFile(t)) continue;
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

// Runs of at least two entries with equal size and CRC, as [begin, end) positions, ordered
// by their first member: the order in which a scan of all tasks meets each group's first file.
std::vector<std::pair<size_t, size_t>> FindGroups(const std::vector<Entry>& files) {
  std::vector<std::pair<size_t, size_t>> groups;
  for (size_t begin = 0, end; begin < files.size(); begin = end) {
    for (end = begin + 1; end < files.size() && SameContents(files[begin], files[end]);) ++end;
    if (end - begin >= 2) groups.emplace_back(begin, end);
  }
  std::sort(groups.begin(), groups.end(), [&files](const auto& a, const auto& b) {
    const Entry& x = files[a.first];
    const Entry& y = files[b.first];
    return std::tie(x.task, x.idx) < std::tie(y.task, y.idx);
  });
  return groups;
}

// Start path and long relative path, in the console's code page.
std::string FullPath(const Table& t, uint32_t idx) {
  char path[2 * MAX_PATH];
  snprintf(path, MAX_PATH, "%s", t.cStartPath);
  size_t base = strlen(path);
  // A path too long for any buffer comes back empty; the line then shows the start path.
  t.ComposeLongPath(idx, path + base, sizeof path - base);
  CharToOemA(path, path);
  return path;
}

struct Totals {
  uint32_t files = 0;
  int64_t lost = 0;
};

void PrintGroup(std::vector<Table>& tables, const Entry* first, const Entry* end, Totals* totals) {
  Record& h = tables[first->task].records[first->idx];
  std::string name = h.LongName();
  CharToOemA(&name[0], &name[0]);
  printf("\nFile: %-30s    CRC32:%08X  Size:%" PRId64 " byte(s)\n", name.c_str(), h.dwCRC,
         static_cast<int64_t>(h.qwSize));
  printf("\n      %s\n", FullPath(tables[first->task], first->idx).c_str());
  h.wStatus |= stDONE;
  ++totals->files;
  for (const Entry* d = first + 1; d != end; ++d) {
    Record& r = tables[d->task].records[d->idx];
    printf("      %s\n", FullPath(tables[d->task], d->idx).c_str());
    r.wStatus |= stDONE;
    totals->lost += static_cast<int64_t>(r.qwSize);
    ++totals->files;
  }
}

}  // namespace

int FindDuplicates(std::vector<Table>& tables, uint32_t sub) {
  StatusLine(" \376 Duplicate File Finder ...\n");
  int status = LoadTasks(tables, sub);
  ChecksumTasks(tables);
  ProgressLine("   Indexing table ...\r");
  std::vector<Entry> files = IndexFiles(tables);
  ProgressLine("                     \n");

  Totals totals;
  for (const auto& group : FindGroups(files))
    PrintGroup(tables, &files[group.first], files.data() + group.second, &totals);
  if (totals.files != 0) {
    printf("\nWas found %u diplicate file(s).\n", totals.files);
    printf("Loss %" PRId64 " byte(s) in duplicate file(s).\n", totals.lost);
  }
  return status;
}
