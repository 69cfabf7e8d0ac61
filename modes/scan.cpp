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
#include "core/tell.h"
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

  void ShowBanner(ReportWriter& report) {
    if (bannerShown) return;
    report.Heading(banner);
    bannerShown = true;
  }
};

// A task whose every stored file is missing is not saved, and its report is the summary and
// why: one line per stored entry would bury the two that matter.
void RefuseEmptied(const Table& t, const std::vector<Move>& moves, ScanReport& report,
                   ReportWriter& writer) {
  report.ShowBanner(writer);
  MarkedCounts added = CountMarked(t, stNEW), gone = CountMarked(t, stGONE);
  report.dirsNew += added.dirs;
  report.filesNew += added.files;
  report.dirsDeleted += gone.dirs;
  report.filesDeleted += gone.files;
  for (const Move& m : moves) ++(m.isDir ? report.dirsMoved : report.filesMoved);
  Tell(
      " *** Error: Every stored entry is missing, data file not saved: %s\n"
      " *** Is the drive mounted? --accept-empty saves it.\n",
      t.cDataFile);
}

// /ns hides CRC changes from Scan's report but leaves the CRCs read, for damage: only /nc
// itself stops the reading.
bool ScanNoCrc(const RunSettings& s) {
  return s.noCrc && s.noCrcTyped;
}

// kept: their records stay in the catalogue, as the report says beside each warning.
void WarnMissing(const Table& t, const std::vector<size_t>& files, bool kept,
                 ReportWriter& report) {
  char shown[2 * MAX_PATH];
  for (size_t k : files) {
    Tell(" *** Warning: Missing from the archive: %s\n", ShownPath(t, static_cast<long>(k), shown));
    if (kept) report.Kept(t, static_cast<unsigned>(k), "missing");
  }
}

enum class Load { kReady, kSkipTask, kEndScan };

// Another user's catalogue where anyone may put one, one another Scan holds, or one whose folder
// takes no new file: kReady when this Scan may use the data file.
Load ClaimDataFile(const Table& t, bool readOnly) {
  // Whoever planted it could read what this Scan saves there, or steer the save elsewhere.
  if (RefusedAsPlanted(t.cDataFile)) return Load::kSkipTask;
  // Held until the process ends, so that a second Scan cannot save a stale catalogue.
  if (!readOnly && LockDataFile(t.cDataFile) != 0) {
    Tell(" *** Error: Data file is in use: %s\n", t.cDataFile);
    return Load::kEndScan;
  }
  // A catalogue that cannot be written is refused before the tree is read, not hours after.
  if (!readOnly) {
    if (int err = CheckSaveRoom(t.cDataFile)) {
      PrintCannotSave(t.cDataFile, err);
      return Load::kSkipTask;
    }
  }
  return Load::kReady;
}

// A catalogue found: its records, with the start path typed under /np.
Load LoadStored(Table& t, const RunSettings& s, const char* given) {
  // Room for what the walk adds, taken while the table is empty: growing it later would hold
  // the stored records twice while they move.
  if (s.sub) t.ReserveForWalk();
  // A catalogue that cannot be read whole is never overwritten with a partial one.
  if (LoadCatalogue(t, s.Shown()) != 0) return Load::kSkipTask;
  WarnFirstLevelOnly(t, s.sub);
  if (s.noPath) snprintf(t.cStartPath, sizeof t.cStartPath, "%s", given);
  return Load::kReady;
}

// No catalogue yet: the tree as it is becomes the new one.
Load BuildNew(Table& t, const RunSettings& s, const WalkRules& rules) {
  // A tree that cannot be read makes no catalogue: an empty one would stand for it.
  if (int error = ScanNoCrc(s) ? t.BuildTree(s.sub, rules) : t.BuildAndChecksum(s.sub, rules)) {
    StartPathError(t.cStartPath, error);
    return Load::kSkipTask;
  }
  // A mistyped path must not leave a catalogue that every later run would use.
  if (NothingMatches(t)) return Load::kSkipTask;
  t.bNew = 1;
  return Load::kReady;
}

// Loads one task. kEndScan ends the whole scan before anything is compared or saved; kSkipTask
// leaves this task out (neither compared nor saved) while the others go on.
Load LoadTask(Table& t, const RunSettings& s, const WalkRules& rules) {
  if (t.cDataFile[0] == '\0') {
    Tell(" *** Internal Error: Unspecified data file for %s\n", t.cStartPath);
    return Load::kReady;
  }
  char given[MAX_PATH];
  snprintf(given, sizeof given, "%s", t.cStartPath);
  Load claim = ClaimDataFile(t, s.readOnly);
  if (claim != Load::kReady) return claim;
  bool damaged = false;
  TestFileResult code = TestFile(t, t.cDataFile, &damaged);
  switch (code) {
    case kDataFileFound:
      return LoadStored(t, s, given);
    case kCannotOpen: {
      int err = errno;
      Tell(" *** Error: Can not open data file: %s\n", t.cDataFile);
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
      Tell(" *** Error: %s - Version conflict\n", t.cDataFile);
      return Load::kEndScan;
    case kNoSuchFile:
      return BuildNew(t, s, rules);
    default:
      PrintUndefinedTestResult(code);
      return Load::kEndScan;
  }
}

// One Scan over all its tasks, phase by phase: load, reconcile and report, summary, save.
class Scan {
 public:
  Scan(std::vector<Table>& tables, const RunSettings& s)
      : tables_(tables), s_(s), walk_(s.Walk()), skip_(tables.size(), 0) {
    walk_.leftOut = &leftOut_;
    char line[96];
    snprintf(report_.banner, sizeof report_.banner, "%s\n", ReportBanner(line, sizeof line));
  }

  // False when the whole scan ends before anything is compared or saved.
  bool LoadTasks();
  void Reconcile();
  // The whole report, summary included, is out before any catalogue is replaced.
  void Summary();
  int Save();

 private:
  void ReconcileTask(size_t n, Reconciler& reconciler);
  // A changed entry of task n: reported, and told about when its contents are evidence.
  void Changed(size_t n, const EntryChange& c);
  void ListTask(Table& t, const std::vector<Move>& moves);
  void Skip(size_t n) {
    skip_[n] = 1;
    status_ = kExitTrouble;
  }

  std::vector<Table>& tables_;
  const RunSettings& s_;
  LeftOut leftOut_;  // the tasks' data files, which the saves change
  WalkRules walk_;   // the run's rules, with the data files left out
  ScanReport report_;
  std::vector<char> skip_;  // a task left out keeps its data file exactly as it was
  int status_ = kExitClean;
};

bool Scan::LoadTasks() {
  for (Table& t : tables_)
    if (t.cDataFile[0] != '\0') leftOut_.Add(t.cDataFile);
  for (size_t n = 0; n < tables_.size(); ++n) {
    Load load = LoadTask(tables_[n], s_, walk_);
    if (load == Load::kEndScan) return false;
    if (load == Load::kSkipTask) Skip(n);
  }
  return true;
}

void Scan::Reconcile() {
  CheckOptions options(s_.sub, s_.noTime, s_.noAttr, ScanNoCrc(s_), s_.noSize);
  options.findDamage = true;
  options.acceptDamaged = s_.acceptDamaged;
  options.archive = s_.archive;
  options.hideCrc = s_.noSize;
  options.walk = walk_;
  options.timeWindow = s_.timeWindow;
  std::vector<Reconciler> reconcilers;
  reconcilers.reserve(tables_.size());
  s_.Shown().Line("   Indexing table ...\r");
  for (size_t n = 0; n < tables_.size(); ++n) {
    reconcilers.emplace_back(tables_[n], options);
    if (!tables_[n].bNew && !skip_[n]) reconcilers.back().Index();
  }
  for (size_t n = 0; n < tables_.size(); ++n) {
    s_.Shown().Line("   Processing table [%d] ...         \r", static_cast<int>(n));
    if (tables_[n].bNew || skip_[n]) continue;
    ReconcileTask(n, reconcilers[n]);
  }
}

void Scan::Changed(size_t n, const EntryChange& c) {
  report_.ShowBanner(*s_.report);
  ++(c.isDir ? report_.dirsChanged : report_.filesChanged);
  s_.report->Changed(c);
  if (!c.damaged) return;
  ++report_.damaged;
  if (c.edited)
    Tell(" *** Warning: Contents changed in the archive: %s\n", c.path);
  else
    Tell(" *** Warning: Contents changed, size and write time kept: %s\n", c.path);
  if (!s_.acceptDamaged) s_.report->Kept(tables_[n], c.record, "changed");
}

void Scan::ReconcileTask(size_t n, Reconciler& reconciler) {
  Table& t = tables_[n];
  ChangeSink onChange = [this, n](const EntryChange& c) { Changed(n, c); };
  KeptSink onKept = [this, n](uint32_t k, const char* reason) {
    s_.report->Kept(tables_[n], k, reason);
  };
  // A start directory that is gone (an unmounted drive) would list every entry as deleted.
  if (int error = reconciler.Walk(static_cast<int>(n), onChange, onKept)) {
    StartPathError(t.cStartPath, error);
    Skip(n);
    return;
  }
  std::vector<Move> moves;
  if (s_.moves) moves = FindMoves(t);
  reconciler.MarkCovered();
  // An empty mount point, another drive mounted there, exclusions that cover the tree or
  // another tree chosen with /np: not the deletion of everything.
  if (!s_.acceptEmpty && reconciler.EveryStoredFileMissing()) {
    RefuseEmptied(t, moves, report_, *s_.report);
    Skip(n);
    return;
  }
  ListTask(t, moves);
  // An archive only grows: what went missing stays in the catalogue, to be reported again.
  if (s_.archive) {
    std::vector<size_t> missing = reconciler.MissingFiles();
    WarnMissing(t, missing, !s_.acceptMissing, *s_.report);
    report_.archiveMissing += static_cast<int>(missing.size());
    if (!s_.acceptMissing) reconciler.Keep(missing);
  }
  if (!s_.readOnly) {
    s_.Shown().Line("%79s\r   Compacting table ...\r", " ");
    t.Compact();
  }
}

void Scan::ListTask(Table& t, const std::vector<Move>& moves) {
  auto banner = [this] { report_.ShowBanner(*s_.report); };
  MarkedCounts added = ListMarked(*s_.report, t, stNEW, banner);
  Separator(s_, report_.bannerShown);
  MarkedCounts gone = ListMarked(*s_.report, t, stGONE, banner);
  Separator(s_, report_.bannerShown);
  report_.dirsNew += added.dirs;
  report_.filesNew += added.files;
  report_.dirsDeleted += gone.dirs;
  report_.filesDeleted += gone.files;
  if (!s_.moves) return;
  for (const Move& m : moves) {
    report_.ShowBanner(*s_.report);
    s_.report->Moved(t, m);
    ++(m.isDir ? report_.dirsMoved : report_.filesMoved);
  }
  Separator(s_, report_.bannerShown);
}

void Scan::Summary() {
  if (report_.bannerShown) s_.report->ScanSummary(report_, s_.moves, s_.archive);
}

int Scan::Save() {
  s_.Shown().Line("   Writing table ... \r");
  for (size_t n = 0; n < tables_.size(); ++n) {
    Table& t = tables_[n];
    if (t.cDataFile[0] == '\0' || skip_[n]) continue;
    // A report nobody saw must not be followed by a catalogue that no longer shows the change.
    if (int error = ReportWriteError()) {
      Tell(" *** Error: Report not written, data file not saved: %s\n *** %s\n", t.cDataFile,
           strerror(error));
      NoteReportFailureTold();
      status_ = kExitTrouble;
      continue;
    }
    if (SaveDataFile(t, s_.readOnly, s_.Shown()) != 0) status_ = kExitTrouble;
  }
  bool finding = report_.damaged != 0 || report_.archiveMissing != 0;
  return WorstStatus(status_, finding ? kExitFinding : kExitClean);
}

}  // namespace

int ScanMode(std::vector<Table>& tables, const RunSettings& s) {
  s.Shown().Status(" \376 CRC32 File Scanner ...\n");
  Scan scan(tables, s);
  if (!scan.LoadTasks()) return kExitTrouble;
  scan.Reconcile();
  scan.Summary();
  return scan.Save();
}
