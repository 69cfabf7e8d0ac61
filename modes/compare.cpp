// Compare: a first tree (live or catalogued) matched against a second live tree.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "core/entrypath.h"
#include "core/exclude.h"
#include "core/progress.h"
#include "core/reason.h"
#include "core/rules.h"
#include "core/table.h"
#include "core/tell.h"
#include "modes/asked.h"
#include "modes/catalogue.h"
#include "modes/contents.h"
#include "modes/modes.h"
#include "modes/moves.h"
#include "modes/reconcile.h"
#include "modes/report.h"
#include "modes/report_writer.h"
#include "modes/stored_walk.h"
#include "store/datafile.h"
#include "store/format.h"

namespace {

struct CompareReport {
  char header[3 * MAX_PATH + 256] = "";
  bool headerShown = false;

  ChangeTotals totals;

  void Section(ReportWriter& report, bool& titled, const char* title) {
    if (!headerShown) report.Heading(header);
    headerShown = true;
    if (!titled) report.Heading(title);
    titled = true;
  }
};

bool BuildPathOne(Table& t, const RunSettings& s) {
  WalkRules rules = s.Walk();
  if (int error = s.noCrc ? t.BuildTree(s.sub, rules) : t.BuildAndChecksum(s.sub, rules)) {
    StartPathError(t.cStartPath, error);
    return false;
  }
  return true;
}

// False when Path 1 cannot be had: a refused catalogue stands for nothing, and comparing with
// its empty table would list every entry of Path 2 as new. *live: Path 1 was walked on disk.
bool LoadPathOne(Table& t, const RunSettings& s, bool* live) {
  *live = true;
  if (t.cDataFile[0] == '\0') return BuildPathOne(t, s);
  if (RefusedAsPlanted(t.cDataFile)) return false;
  bool damaged = false;
  TestFileResult code = TestFile(t, t.cDataFile, &damaged);
  switch (code) {
    case kDataFileFound:
      *live = false;
      if (LoadCatalogue(t, s.Shown()) != 0) return false;
      WarnFirstLevelOnly(t, s.sub);
      DropCovered(t, s.exclude);  // what --exclude covers is not compared
      return true;
    case kCannotOpen: {
      int err = errno;
      Tell(" *** Error: Can not open data file %s\n", t.cDataFile);
      PrintReason(err);
      return false;
    }
    case kNotDataFile:
      if (damaged) {
        PrintDataFileDamaged(t.cDataFile);
      } else {
        PrintNotDataFile(t.cDataFile);
      }
      return false;
    case kOtherVersion:
      Tell(" *** Error: Version conflict %s\n", t.cDataFile);
      return false;
    case kNoSuchFile:
      return BuildPathOne(t, s);
    default:
      PrintUndefinedTestResult(code);
      return false;
  }
}

// --stored: a catalogue named as Path 2 stands for the tree it records, which need not be here.
bool LoadPathTwo(Table& t, const RunSettings& s) {
  if (t.cDataFile[0] == '\0') {
    Tell(" *** Error: --stored takes a data file as the second path: %s\n",
         t.argument.empty() ? t.cStartPath : t.argument.c_str());
    return false;
  }
  if (LoadCatalogue(t, s.Shown()) != 0) return false;
  WarnFirstLevelOnly(t, s.sub);
  DropCovered(t, s.exclude);
  return true;
}

// A catalogue named as a live Path 2 gives the tree by its header: one refused names none.
bool PathTwoNamed(const Table& t) {
  if (t.cDataFile[0] == '\0') return true;
  if (RefusedAsPlanted(t.cDataFile)) return false;
  Table header;
  bool damaged = false;
  if (TestFile(header, t.cDataFile, &damaged) == kDataFileFound) return true;
  if (damaged) {
    PrintDataFileDamaged(t.cDataFile);
  } else {
    PrintNotDataFile(t.cDataFile);
  }
  return false;
}

// A catalogue named as Path 2 stands for the tree it records, read as it is now; the user may
// have meant its records.
void SayPathTwoIsLive(const Table& t) {
  char tree[MAX_PATH], file[MAX_PATH];
  Tell(" *** Warning: Path 2 is read live from %s, not from the data file %s\n",
       ShowPlain(t.cStartPath, tree, sizeof tree), ShowPlain(t.cDataFile, file, sizeof file));
  Tell(" *** --stored compares with the records of the data file.\n");
}

// Both trees are on disk: a pair is a move only when its files hold the same bytes, read in
// Path 1 (under pathOne) for a missing file and in Path 2 (the table's start path by then) for a
// new one.
ContentClasses BytesOnDisk(const Table& t, const char* pathOne, ContentSplitter& splitter) {
  return [&t, pathOne, &splitter](const std::vector<uint32_t>& records,
                                  std::vector<int32_t>* classes) {
    std::vector<Candidate> files(records.size());
    splitter.Split(files, t.records[records[0]].qwSize, [&](size_t i) {
      uint32_t k = records[i];
      char path[2 * MAX_PATH];
      snprintf(path, MAX_PATH, "%s", (t.records[k].wStatus & stGONE) ? pathOne : t.cStartPath);
      return ComposeFilePath(t, k, path, strlen(path)) ? std::string(path) : std::string();
    });
    for (size_t i = 0; i < files.size(); ++i)
      (*classes)[i] = files[i].state == Candidate::kRead ? files[i].cls : -1;
  };
}

}  // namespace

namespace {

// One Compare, phase by phase: load both paths, walk Path 2 against Path 1, list what is new,
// missing and moved, sum up.
class Comparison {
 public:
  Comparison(std::vector<Table>& tables, const RunSettings& s)
      : t_(tables[0]),
        two_(tables[1]),
        s_(s),
        options_(s.sub, s.noTime, s.noAttr, s.noCrc, s.noSize) {
    options_.checkCreate = false;    // Compare never checks the creation time
    options_.dirWriteTime = false;   // nor the write time of a directory
    options_.crcZeroUnknown = true;  // a file stored without a CRC has nothing to compare
    options_.walk = s.Walk();
    options_.timeWindow = s.timeWindow;
  }

  bool Load();
  bool Walk();
  void List();
  int Summary();

 private:
  void Heading(bool& titled, const char* title) { report_.Section(*s_.report, titled, title); }

  Table& t_;  // Path 1's records, matched against Path 2 and then standing for it
  Table& two_;
  const RunSettings& s_;
  CheckOptions options_;
  bool livePathOne_ = true;
  char pathOne_[MAX_PATH] = "";
  CompareReport report_;
};

bool Comparison::Load() {
  if (!LoadPathOne(t_, s_, &livePathOne_)) return false;
  if (s_.stored ? !LoadPathTwo(two_, s_) : !PathTwoNamed(two_)) return false;
  if (!s_.stored && two_.cDataFile[0] != '\0') SayPathTwoIsLive(two_);
  return true;
}

bool Comparison::Walk() {
  char banner[128];
  ReportBanner(banner, sizeof banner);
  Reconciler reconciler(t_, options_);
  // --stored: the second catalogue's records are listed as the live walk would list its tree.
  StoredTree storedTwo(two_, t_.cFileMask);
  if (s_.stored) reconciler.ListFrom(&storedTwo);
  s_.Shown().Line("   Indexing table ...\r");
  reconciler.Index();

  // From here on the first table describes Path 2.
  char pathTwo[MAX_PATH];
  snprintf(pathOne_, sizeof pathOne_, "%s", t_.cStartPath);
  snprintf(pathTwo, sizeof pathTwo, "%s", two_.cStartPath);
  snprintf(t_.cStartPath, sizeof t_.cStartPath, "%s", pathTwo);
  char shownOne[MAX_PATH];
  CharToOemA(pathOne_, shownOne);
  CharToOemA(pathTwo, pathTwo);
  snprintf(report_.header, sizeof report_.header,
           "%s\n *** Compare two file trees.\n *** [ Path 1 ]  -> [ Path 2]\n\n *** Path 1: %s\n"
           " *** Path 2: %s\n\n",
           banner, shownOne, pathTwo);

  s_.Shown().Line("   Processing table [%d] ...       \r", 0);
  bool changedTitled = false;
  ChangeSink onChange = [&](const EntryChange& c) {
    Heading(changedTitled, " *** Path 2 contains changed files or directories:\n\n");
    ++(c.isDir ? report_.totals.dirsChanged : report_.totals.filesChanged);
    s_.report->Changed(c);
  };
  if (int error = reconciler.Walk(0, onChange)) {
    StartPathError(t_.cStartPath, error);
    return false;
  }
  Separator(s_, report_.headerShown);
  return true;
}

void Comparison::List() {
  std::vector<Move> moves;
  ContentSplitter splitter;
  if (s_.moves)
    moves =
        FindMoves(t_, livePathOne_ && !s_.stored ? BytesOnDisk(t_, pathOne_, splitter) : nullptr);
  bool newTitled = false, goneTitled = false;
  MarkedCounts added = ListMarked(*s_.report, t_, stNEW, [&] {
    Heading(newTitled, " *** Path 2 contains new files or directories:\n\n");
  });
  Separator(s_, report_.headerShown);
  MarkedCounts gone = ListMarked(*s_.report, t_, stGONE, [&] {
    Heading(goneTitled, " *** Path 2 NOT contains files or directories:\n\n");
  });
  report_.totals.filesNew = added.files;
  report_.totals.dirsNew = added.dirs;
  report_.totals.filesDeleted = gone.files;
  report_.totals.dirsDeleted = gone.dirs;
  if (!s_.moves) return;
  Separator(s_, report_.headerShown);
  bool movedTitled = false;
  for (const Move& m : moves) {
    Heading(movedTitled, " *** Path 2 contains moved files or directories:\n\n");
    s_.report->Moved(t_, m);
    ++(m.isDir ? report_.totals.dirsMoved : report_.totals.filesMoved);
  }
  if (movedTitled) s_.report->Heading("\n");
}

int Comparison::Summary() {
  s_.report->CompareSummary(report_.totals, s_.moves);
  // Every section opens with the header: a difference of any kind is a finding.
  return report_.headerShown ? kExitFinding : kExitClean;
}

}  // namespace

int compare(std::vector<Table>& tables, const RunSettings& s) {
  s.Shown().Status(" \376 File Compare ...\n");
  if (tables.size() != 2) {
    Tell(" *** Internal Error: compare() requires 2 tasks.\n");
    return kExitTrouble;
  }
  Comparison comparison(tables, s);
  if (!comparison.Load() || !comparison.Walk()) return kExitTrouble;
  comparison.List();
  return comparison.Summary();
}
