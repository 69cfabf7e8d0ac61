// Scan: each task's catalogue checked against its tree, the changes reported, the catalogue saved.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "core/leftout.h"
#include "core/progress.h"
#include "core/reason.h"
#include "core/table.h"
#include "core/verdict.h"
#include "modes/asked.h"
#include "modes/catalogue.h"
#include "modes/modes.h"
#include "modes/moves.h"
#include "modes/reconcile.h"
#include "modes/report.h"
#include "modes/report_writer.h"
#include "store/datafile.h"
#include "store/format.h"

namespace {

struct ScanReport : ChangeTotals {
  char banner[128] = "";
  bool bannerShown = false;
  int missing = 0;  // files missing from an archive

  void ShowBanner() {
    if (bannerShown) return;
    Report().Heading(banner);
    bannerShown = true;
  }
};

// A task whose every stored file is missing is not saved, and its report is the summary and
// why: one line per stored entry would bury the two that matter.
void RefuseEmptied(const Table& t, const std::vector<Move>& moves, ScanReport& report) {
  report.ShowBanner();
  MarkedCounts added = CountMarked(t, stNEW), gone = CountMarked(t, stGONE);
  report.dirsNew += added.dirs;
  report.filesNew += added.files;
  report.dirsDeleted += gone.dirs;
  report.filesDeleted += gone.files;
  for (const Move& m : moves) ++(m.isDir ? report.dirsMoved : report.filesMoved);
  fprintf(stderr,
          " *** Error: Every stored entry is missing, data file not saved: %s\n"
          " *** Is the drive mounted? --accept-empty saves it.\n",
          t.cDataFile);
}

enum class Load { kReady, kSkipTask, kEndScan };

// Loads one task. kEndScan ends the whole scan before anything is compared or saved; kSkipTask
// leaves this task out (neither compared nor saved) while the others go on.
Load LoadTask(Table& t, uint32_t sub, uint32_t noPath, uint32_t noCrc, uint32_t readOnly) {
  if (t.cDataFile[0] == '\0') {
    fprintf(stderr, " *** Internal Error: Unspecified data file for %s\n", t.cStartPath);
    return Load::kReady;
  }
  char given[MAX_PATH];
  snprintf(given, sizeof given, "%s", t.cStartPath);
  // Another user's file or link where anyone may put one: whoever planted it could read what
  // this Scan saves there, or steer the save into another catalogue.
  if (RefusedAsPlanted(t.cDataFile)) return Load::kSkipTask;
  // Held until the process ends, so that a second Scan cannot save a stale catalogue.
  if (!readOnly && LockDataFile(t.cDataFile) != 0) {
    fprintf(stderr, " *** Error: Data file is in use: %s\n", t.cDataFile);
    return Load::kEndScan;
  }
  // A catalogue that cannot be written is refused before the tree is read, not hours after.
  if (!readOnly) {
    if (int err = CheckSaveRoom(t.cDataFile)) {
      PrintCannotSave(t.cDataFile, err);
      return Load::kSkipTask;
    }
  }
  bool damaged = false;
  TestFileResult code = TestFile(t, t.cDataFile, &damaged);
  switch (code) {
    case kDataFileFound:
      // Room for what the walk adds, taken while the table is empty: growing it later would
      // hold the stored records twice while they move.
      if (sub) t.ReserveForWalk();
      // A catalogue that cannot be read whole is never overwritten with a partial one.
      if (LoadCatalogue(t) != 0) return Load::kSkipTask;
      WarnFirstLevelOnly(t, sub);
      if (noPath) snprintf(t.cStartPath, sizeof t.cStartPath, "%s", given);
      return Load::kReady;
    case kCannotOpen: {
      int err = errno;
      fprintf(stderr, " *** Error: Can not open data file: %s\n", t.cDataFile);
      PrintReason(err);
      return Load::kEndScan;
    }
    case kNotDataFile:
      // A damaged catalogue is kept for inspection; the other tasks go on.
      if (damaged) {
        PrintDataFileDamaged(t.cDataFile);
        return Load::kSkipTask;
      }
      PrintNotDataFile(t.cDataFile);
      return Load::kEndScan;
    case kOtherVersion:
      fprintf(stderr, " *** Error: %s - Version conflict\n", t.cDataFile);
      return Load::kEndScan;
    case kNoSuchFile:
      // A tree that cannot be read makes no catalogue: an empty one would stand for it.
      if (int error = noCrc ? t.BuildTree(sub) : t.BuildAndChecksum(sub)) {
        StartPathError(t.cStartPath, error);
        return Load::kSkipTask;
      }
      // A mistyped path must not leave a catalogue that every later run would use.
      if (NothingMatches(t)) return Load::kSkipTask;
      t.bNew = 1;
      return Load::kReady;
    default:
      PrintUndefinedTestResult(code);
      return Load::kEndScan;
  }
}

void WarnMissing(const Table& t, const std::vector<size_t>& files) {
  char shown[2 * MAX_PATH];
  for (size_t k : files)
    fprintf(stderr, " *** Warning: Missing from the archive: %s\n",
            ShownPath(t, static_cast<long>(k), shown));
}

}  // namespace

int ScanMode(std::vector<Table>& tables, uint32_t sub, uint32_t noTime, uint32_t noAttr,
             uint32_t noCrc, uint32_t noSize, uint32_t noPath, uint32_t readOnly,
             uint32_t pairMoves, uint32_t acceptDamaged, uint32_t acceptEmpty, uint32_t archive,
             uint32_t acceptMissing) {
  StatusLine(" \376 CRC32 File Scanner ...\n");
  const bool withMoves = pairMoves != 0;
  ScanReport report;
  char line[96];
  snprintf(report.banner, sizeof report.banner, "%s\n", ReportBanner(line, sizeof line));

  for (Table& t : tables)
    if (t.cDataFile[0] != '\0') LeaveOutOfWalks(t.cDataFile);
  // A task left out keeps its data file exactly as it was.
  int status = kExitClean;
  std::vector<char> skip(tables.size(), 0);
  for (size_t n = 0; n < tables.size(); ++n) {
    Load load = LoadTask(tables[n], sub, noPath, noCrc, readOnly);
    if (load == Load::kEndScan) return kExitTrouble;
    if (load == Load::kSkipTask) {
      skip[n] = 1;
      status = kExitTrouble;
    }
  }

  CheckOptions options(sub, noTime, noAttr, noCrc, noSize);
  options.findDamage = true;
  options.acceptDamaged = acceptDamaged != 0;
  options.archive = archive != 0;
  options.hideCrc = noSize != 0;
  std::vector<Reconciler> reconcilers;
  reconcilers.reserve(tables.size());
  ProgressLine("   Indexing table ...\r");
  for (size_t n = 0; n < tables.size(); ++n) {
    reconcilers.emplace_back(tables[n], options);
    if (!tables[n].bNew && !skip[n]) reconcilers.back().Index();
  }

  auto onChange = [&report](const EntryChange& c) {
    report.ShowBanner();
    ++(c.isDir ? report.dirsChanged : report.filesChanged);
    Report().Changed(c);
    if (!c.damaged) return;
    ++report.damaged;
    if (c.edited)
      fprintf(stderr, " *** Warning: Contents changed in the archive: %s\n", c.path);
    else
      fprintf(stderr, " *** Warning: Contents changed, size and write time kept: %s\n", c.path);
  };
  for (size_t n = 0; n < tables.size(); ++n) {
    Table& t = tables[n];
    ProgressLine("   Processing table [%d] ...         \r", static_cast<int>(n));
    if (t.bNew || skip[n]) continue;
    // A start directory that is gone (an unmounted drive) would list every entry as deleted.
    if (int error = reconcilers[n].Walk(static_cast<int>(n), onChange)) {
      StartPathError(t.cStartPath, error);
      skip[n] = 1;
      status = kExitTrouble;
      continue;
    }
    std::vector<Move> moves;
    if (withMoves) moves = FindMoves(t);
    reconcilers[n].MarkCovered();
    // An empty mount point, another drive mounted there, exclusions that cover the tree or
    // another tree chosen with /np: not the deletion of everything.
    if (!acceptEmpty && reconcilers[n].EveryStoredFileMissing()) {
      RefuseEmptied(t, moves, report);
      skip[n] = 1;
      status = kExitTrouble;
      continue;
    }
    auto banner = [&report] { report.ShowBanner(); };
    MarkedCounts added = ListMarked(t, stNEW, banner);
    Separator(report.bannerShown);
    MarkedCounts gone = ListMarked(t, stGONE, banner);
    Separator(report.bannerShown);
    report.dirsNew += added.dirs;
    report.filesNew += added.files;
    report.dirsDeleted += gone.dirs;
    report.filesDeleted += gone.files;
    if (withMoves) {
      for (const Move& m : moves) {
        report.ShowBanner();
        Report().Moved(t, m);
        ++(m.isDir ? report.dirsMoved : report.filesMoved);
      }
      Separator(report.bannerShown);
    }
    // An archive only grows: what went missing stays in the catalogue, to be reported again.
    if (archive) {
      std::vector<size_t> missing = reconcilers[n].MissingFiles();
      WarnMissing(t, missing);
      report.missing += static_cast<int>(missing.size());
      if (!acceptMissing) reconcilers[n].Keep(missing);
    }
    if (!readOnly) {
      ProgressLine("%79s\r   Compacting table ...\r", " ");
      t.Compact();
    }
  }

  // The whole report, summary included, is out before any catalogue is replaced.
  if (report.bannerShown) Report().ScanSummary(report, withMoves);
  ProgressLine("   Writing table ... \r");
  for (size_t n = 0; n < tables.size(); ++n) {
    Table& t = tables[n];
    if (t.cDataFile[0] == '\0' || skip[n]) continue;
    // A report nobody saw must not be followed by a catalogue that no longer shows the change.
    if (int error = ReportWriteError()) {
      fprintf(stderr, " *** Error: Report not written, data file not saved: %s\n *** %s\n",
              t.cDataFile, strerror(error));
      NoteReportFailureTold();
      status = kExitTrouble;
      continue;
    }
    if (SaveDataFile(t, readOnly != 0) != 0) status = kExitTrouble;
  }

  bool finding = report.damaged != 0 || report.missing != 0;
  return WorstStatus(status, finding ? kExitFinding : kExitClean);
}
