// The listing: a table as columns, one list per directory or one long list, with totals;
// and the two modes that print it, Info (from the disk) and Test (from data files).
#include "modes/listing.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/checksum_run.h"
#include "core/crc_readers.h"
#include "core/exclude.h"
#include "core/verdict.h"
#include "modes/asked.h"
#include "modes/catalogue.h"
#include "modes/columns.h"
#include "modes/modes.h"
#include "modes/report.h"
#include "modes/report_writer.h"
#include "store/format.h"

namespace {

// The header line and the underline hold at most this many characters.
constexpr size_t kLineLimit = 254;

std::vector<const Column*> ParseColumns(const char* format) {
  std::vector<const Column*> columns;
  std::vector<char> copy(format, format + strlen(format) + 1);
  for (char* piece = strtok(copy.data(), " "); piece; piece = strtok(nullptr, " "))
    if (const Column* c = FindColumn(piece)) columns.push_back(c);
  return columns;
}

// Appends one formatted field, cut where the line reaches its limit.
void AppendField(std::string* line, const char* format, const char* text) {
  char field[64];
  snprintf(field, sizeof field, format, text);
  line->append(field, std::min(strlen(field), kLineLimit - line->size()));
}

struct Counts {
  unsigned files = 0;
  unsigned dirs = 0;
  int64_t size = 0;
};

class Listing {
 public:
  Listing(const Table& t, const char* format, bool emptyFolders, bool withNoMatch)
      : t_(t), columns_(ParseColumns(format)), ef_(emptyFolders), all_(withNoMatch) {
    for (const Column* c : columns_) {
      AppendField(&header_, c->headFormat, c->header);
      AppendField(&underline_, c->headFormat, c->underline);
    }
  }

  // One list: the records at members, under the path of directory dir (-1: the start path).
  void PrintList(const unsigned* members, size_t count, long dir);
  void PrintReportTotal() const {
    printf("Report total:   Files: %-6u Directories: %-6u Size: %" PRId64 "\n", total_.files,
           total_.dirs, total_.size);
  }

 private:
  void PrintHead(long dir);
  void PrintRow(unsigned idx, unsigned number);

  const Table& t_;
  std::vector<const Column*> columns_;
  bool ef_;
  bool all_;
  std::string header_;
  std::string underline_;
  Counts total_;
};

void Listing::PrintHead(long dir) {
  char path[2 * MAX_PATH];
  printf("%s\n\n", ShownPath(t_, dir, path));
  printf("%s\n", header_.c_str());
  printf("%s\n", underline_.c_str());
}

void Listing::PrintList(const unsigned* members, size_t count, long dir) {
  bool head = ef_;
  if (head) PrintHead(dir);
  if (t_.records.empty()) {
    if (ef_) printf("%s\n", underline_.c_str());
    return;
  }
  Counts list;
  for (size_t k = 0; k < count; ++k) {
    const Record& r = t_.records[members[k]];
    if (!all_ && (r.dwAttr & atNOMATCH)) continue;
    if (!head) PrintHead(dir);
    head = true;
    PrintRow(members[k], list.files + list.dirs + 1);
    if (r.IsDir()) {
      ++list.dirs;
    } else {
      ++list.files;
      list.size += static_cast<int64_t>(r.qwSize);
    }
  }
  total_.files += list.files;
  total_.dirs += list.dirs;
  total_.size += list.size;
  if (!head) return;
  printf("%s\n", underline_.c_str());
  printf("Total:          Files: %-6u Directories: %-6u Size: %" PRId64 "\n\n", list.files,
         list.dirs, list.size);
}

void Listing::PrintRow(unsigned idx, unsigned number) {
  for (const Column* c : columns_) c->print(t_, idx, number);
  EndRow();
}

// Record indices grouped by parent: the children of parent p (0: the start path) are
// order[first[p]] .. order[first[p + 1] - 1], in table order. One pass, so that a tree of many
// directories is not rescanned once per directory.
struct ChildIndex {
  std::vector<unsigned> first;
  std::vector<unsigned> order;

  explicit ChildIndex(const std::vector<Record>& records) : first(records.size() + 2, 0) {
    size_t n = records.size();
    for (const Record& r : records)
      if (r.dwUpIdx <= n) ++first[r.dwUpIdx + 1];
    for (size_t p = 1; p < first.size(); ++p) first[p] += first[p - 1];
    order.resize(first.back());
    std::vector<unsigned> next(first.begin(), first.end() - 1);
    for (unsigned i = 0; i < n; ++i)
      if (records[i].dwUpIdx <= n) order[next[records[i].dwUpIdx]++] = i;
  }
  const unsigned* Members(size_t parent) const { return order.data() + first[parent]; }
  size_t Count(size_t parent) const { return first[parent + 1] - first[parent]; }
};

void TakeClock(char* date, char* clock) {
  _strdate(date);
  _strtime(clock);
}

void ShowClock(ReportWriter& report, const char* date, const char* clock) {
  char line[64];
  snprintf(line, sizeof line, "\nSystem clock:   %s %s\n", date, clock);
  report.Heading(line);
}

ListingShape Shape(const RunSettings& s, bool withNoMatch) {
  ListingShape shape;
  shape.format = s.format.c_str();
  shape.lists = s.lists;
  shape.emptyFolders = s.emptyFolders;
  shape.withNoMatch = withNoMatch;
  shape.debug = s.debug;
  return shape;
}

}  // namespace

void PrintTable(const Table& t, const char* format, int lists, int emptyFolders, int withNoMatch,
                int debug) {
  Listing listing(t, format, emptyFolders != 0, withNoMatch != 0);
  char shown[MAX_PATH];
  if (debug)
    printf("\n --- FILE TABLE --- Records:%u --- Start path: %s\n\n",
           static_cast<unsigned>(t.records.size()), ShowPlain(t.cStartPath, shown, sizeof shown));
  printf("File mask   :   %s\n\n", ShowPlain(t.cFileMask, shown, sizeof shown));
  if (lists) {
    ChildIndex children(t.records);
    listing.PrintList(children.Members(0), children.Count(0), -1);
    for (size_t d = 0; d < t.records.size(); ++d)
      if (t.records[d].IsDir())
        listing.PrintList(children.Members(d + 1), children.Count(d + 1), static_cast<long>(d));
  } else {
    std::vector<unsigned> all(t.records.size());
    for (unsigned i = 0; i < all.size(); ++i) all[i] = i;
    listing.PrintList(all.data(), all.size(), -1);
  }
  listing.PrintReportTotal();
}

namespace {

// Every tree is walked before any summary line, as ever; the files are read meanwhile.
int LoadTrees(std::vector<Table>& tables, const RunSettings& s) {
  int status = kExitClean;
  WalkRules rules = s.Walk();
  CrcReaders readers(rules.readers);
  std::vector<std::unique_ptr<ChecksumRun>> runs;
  for (Table& t : tables) {
    bool stored = t.cDataFile[0] != '\0';
    runs.push_back(std::make_unique<ChecksumRun>(t, readers, stored, rules.quiet));
    if (stored) {
      if (LoadCatalogue(t, s.Shown()) != 0) status = kExitTrouble;
      DropCovered(t, s.exclude);
    } else {
      ChecksumRun* run = runs.back().get();
      t.BuildTree(
          s.sub, rules, [run](size_t found) { run->QueueWhileWalking(found); }, run->DefersFiles());
    }
  }
  for (auto& run : runs) run->Finish();
  for (Table& t : tables)
    if (t.cDataFile[0] == '\0' && NothingMatches(t)) status = kExitTrouble;
  return status;
}

// The data files of the tasks. A refused catalogue stands for nothing: its task ends with the
// reason, not an empty list; and so does a task that names no data file at all (*refused).
int LoadDataFiles(std::vector<Table>& tables, const RunSettings& s, std::vector<char>* refused) {
  int status = kExitClean;
  refused->assign(tables.size(), 0);
  for (size_t n = 0; n < tables.size(); ++n) {
    Table& t = tables[n];
    if (NoDataFileToList(t) || LoadCatalogue(t, s.Shown()) != 0) {
      (*refused)[n] = 1;
      status = kExitTrouble;
    }
    DropCovered(t, s.exclude);
  }
  return status;
}

}  // namespace

int InfoMode(std::vector<Table>& tables, const RunSettings& s) {
  char date[16], clock[16];
  TakeClock(date, clock);
  int status = LoadTrees(tables, s);
  ShowClock(*s.report, date, clock);
  for (Table& t : tables) s.report->Listing(t, Shape(s, false));
  return status;
}

int TestMode(std::vector<Table>& tables, const RunSettings& s) {
  char date[16], clock[16];
  TakeClock(date, clock);
  std::vector<char> refused;
  int status = LoadDataFiles(tables, s, &refused);
  if (std::find(refused.begin(), refused.end(), 0) != refused.end())
    ShowClock(*s.report, date, clock);
  for (size_t n = 0; n < tables.size(); ++n)
    if (!refused[n]) s.report->Listing(tables[n], Shape(s, true));
  return status;
}
