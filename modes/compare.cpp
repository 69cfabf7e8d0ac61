// Compare: a first tree (live or catalogued) matched against a second live tree.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "core/entrypath.h"
#include "core/exclude.h"
#include "core/progress.h"
#include "core/reason.h"
#include "core/rules.h"
#include "core/table.h"
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

  void Section(bool& titled, const char* title) {
    if (!headerShown) Report().Heading(header);
    headerShown = true;
    if (!titled) Report().Heading(title);
    titled = true;
  }
};

bool BuildPathOne(Table& t, uint32_t sub, uint32_t noCrc) {
  if (int error = noCrc ? t.BuildTree(sub) : t.BuildAndChecksum(sub)) {
    StartPathError(t.cStartPath, error);
    return false;
  }
  return true;
}

// False when Path 1 cannot be had: a refused catalogue stands for nothing, and comparing with
// its empty table would list every entry of Path 2 as new. *live: Path 1 was walked on disk.
bool LoadPathOne(Table& t, uint32_t sub, uint32_t noCrc, bool* live) {
  *live = true;
  if (t.cDataFile[0] == '\0') return BuildPathOne(t, sub, noCrc);
  if (RefusedAsPlanted(t.cDataFile)) return false;
  bool damaged = false;
  TestFileResult code = TestFile(t, t.cDataFile, &damaged);
  switch (code) {
    case kDataFileFound:
      *live = false;
      if (LoadCatalogue(t) != 0) return false;
      WarnFirstLevelOnly(t, sub);
      DropCovered(t);  // what --exclude covers is not compared
      return true;
    case kCannotOpen: {
      int err = errno;
      fprintf(stderr, " *** Error: Can not open data file %s\n", t.cDataFile);
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
      fprintf(stderr, " *** Error: Version conflict %s\n", t.cDataFile);
      return false;
    case kNoSuchFile:
      return BuildPathOne(t, sub, noCrc);
    default:
      PrintUndefinedTestResult(code);
      return false;
  }
}

// --stored: a catalogue named as Path 2 stands for the tree it records, which need not be here.
bool LoadPathTwo(Table& t, uint32_t sub) {
  if (t.cDataFile[0] == '\0') {
    fprintf(stderr, " *** Error: --stored takes a data file as the second path: %s\n",
            t.argument.empty() ? t.cStartPath : t.argument.c_str());
    return false;
  }
  if (LoadCatalogue(t) != 0) return false;
  WarnFirstLevelOnly(t, sub);
  DropCovered(t);
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
  fprintf(stderr, " *** Warning: Path 2 is read live from %s, not from the data file %s\n",
          ShowPlain(t.cStartPath, tree, sizeof tree), ShowPlain(t.cDataFile, file, sizeof file));
  fprintf(stderr, " *** --stored compares with the records of the data file.\n");
}

// Both trees are on disk: a pair is a move only when its files hold the same bytes, read in
// Path 1 (kept in cDataFile by then) and in Path 2.
SameBytesCheck BytesOnDisk(const Table& t, BytesCompare& bytes) {
  return [&t, &bytes](uint32_t from, uint32_t to) {
    char a[2 * MAX_PATH], b[2 * MAX_PATH];
    snprintf(a, MAX_PATH, "%s", t.cDataFile);
    snprintf(b, MAX_PATH, "%s", t.cStartPath);
    return ComposeFilePath(t, from, a, strlen(a)) && ComposeFilePath(t, to, b, strlen(b)) &&
           bytes.Same(a, b, t.records[from].qwSize);
  };
}

}  // namespace

int compare(std::vector<Table>& tables, uint32_t sub, uint32_t noTime, uint32_t noAttr,
            uint32_t noCrc, uint32_t noSize, uint32_t pairMoves) {
  StatusLine(" \376 File Compare ...\n");
  const bool withMoves = pairMoves != 0;
  char banner[128];
  ReportBanner(banner, sizeof banner);
  if (tables.size() != 2) {
    fprintf(stderr, " *** Internal Error: compare() requires 2 tasks.\n");
    return kExitTrouble;
  }
  Table& t = tables[0];
  bool livePathOne = true;
  if (!LoadPathOne(t, sub, noCrc, &livePathOne)) return kExitTrouble;
  const bool offline = runRules.compareStored;
  if (offline ? !LoadPathTwo(tables[1], sub) : !PathTwoNamed(tables[1])) return kExitTrouble;
  if (!offline && tables[1].cDataFile[0] != '\0') SayPathTwoIsLive(tables[1]);

  CheckOptions options(sub, noTime, noAttr, noCrc, noSize);
  options.checkCreate = false;
  options.dirWriteTime = false;
  Reconciler reconciler(t, options);
  ProgressLine("   Indexing table ...\r");
  if (!offline) reconciler.Index();

  // From here on the first table describes Path 2; its data file field remembers Path 1.
  char pathOne[MAX_PATH], pathTwo[MAX_PATH];
  snprintf(pathOne, sizeof pathOne, "%s", t.cStartPath);
  snprintf(pathTwo, sizeof pathTwo, "%s", tables[1].cStartPath);
  snprintf(t.cStartPath, sizeof t.cStartPath, "%s", pathTwo);
  snprintf(t.cDataFile, sizeof t.cDataFile, "%s", pathOne);

  CompareReport report;
  CharToOemA(pathOne, pathOne);
  CharToOemA(pathTwo, pathTwo);
  snprintf(report.header, sizeof report.header,
           "%s\n *** Compare two file trees.\n *** [ Path 1 ]  -> [ Path 2]\n\n *** Path 1: %s\n"
           " *** Path 2: %s\n\n",
           banner, pathOne, pathTwo);

  ProgressLine("   Processing table [%d] ...       \r", 0);
  bool changedTitled = false;
  ChangeSink onChange = [&](const EntryChange& c) {
    report.Section(changedTitled, " *** Path 2 contains changed files or directories:\n\n");
    ++(c.isDir ? report.totals.dirsChanged : report.totals.filesChanged);
    Report().Changed(c);
  };
  int error = 0;
  if (offline) {
    WalkStored(t, tables[1], options, onChange);
  } else {
    error = reconciler.Walk(0, onChange);
  }
  if (error != 0) {
    StartPathError(t.cStartPath, error);
    return kExitTrouble;
  }
  Separator(report.headerShown);
  std::vector<Move> moves;
  BytesCompare bytes;
  if (withMoves) moves = FindMoves(t, livePathOne && !offline ? BytesOnDisk(t, bytes) : nullptr);
  bool newTitled = false, goneTitled = false;
  MarkedCounts added = ListMarked(t, stNEW, [&] {
    report.Section(newTitled, " *** Path 2 contains new files or directories:\n\n");
  });
  Separator(report.headerShown);
  MarkedCounts gone = ListMarked(t, stGONE, [&] {
    report.Section(goneTitled, " *** Path 2 NOT contains files or directories:\n\n");
  });
  if (withMoves) {
    Separator(report.headerShown);
    bool movedTitled = false;
    for (const Move& m : moves) {
      report.Section(movedTitled, " *** Path 2 contains moved files or directories:\n\n");
      Report().Moved(t, m);
      ++(m.isDir ? report.totals.dirsMoved : report.totals.filesMoved);
    }
    if (movedTitled) Report().Heading("\n");
  }
  report.totals.filesNew = added.files;
  report.totals.dirsNew = added.dirs;
  report.totals.filesDeleted = gone.files;
  report.totals.dirsDeleted = gone.dirs;
  Report().CompareSummary(report.totals, withMoves);
  // Every section opens with the header: a difference of any kind is a finding.
  return report.headerShown ? kExitFinding : kExitClean;
}
