// The report as items: what each mode found, handed to the writer of the run's choice. The text
// writer prints the classic report byte for byte; the JSON writer prints one object per item.
// The modes decide what to report and in what order, never how it looks.
#pragma once

#include <cstdint>
#include <vector>

#include "core/table.h"
#include "modes/moves.h"
#include "modes/reconcile.h"

/// How the text report lays a listing out; the JSON report lists every entry alike.
struct ListingShape {
  const char* format = "";  // the column codes
  bool lists = false;       // one list per directory
  bool emptyFolders = false;
  bool withNoMatch = false;  // directories kept only to reach deeper ones are listed too
  bool debug = false;
};

/// What Scan and Compare count for their summaries.
struct ChangeTotals {
  int filesChanged = 0, filesDeleted = 0, filesNew = 0;
  int dirsChanged = 0, dirsDeleted = 0, dirsNew = 0;
  int filesMoved = 0, dirsMoved = 0;
  int damaged = 0;
  int archiveMissing = 0;  // files missing from an archive (Scan with --archive)
};

/// One group of duplicates: members by table and record, the first one named in the heading.
struct DuplicateMember {
  const Table* table;
  uint32_t idx;
};
struct DuplicateGroup {
  uint32_t crc = 0;
  uint64_t size = 0;
  std::vector<DuplicateMember> members;
};

class ReportWriter {
 public:
  virtual ~ReportWriter() = default;
  /// Text the text report alone shows: banners, clock lines, section titles and blank lines.
  virtual void Heading(const char* text) = 0;
  /// The entries of one table (Info, Test).
  virtual void Listing(const Table& t, const ListingShape& shape) = 0;
  /// One matched entry that differs (Scan, Compare).
  virtual void Changed(const EntryChange& c) = 0;
  /// One entry that is new (added) or missing, not part of a move.
  virtual void Marked(const Table& t, unsigned idx, bool added) = 0;
  virtual void Moved(const Table& t, const Move& m) = 0;
  /// A stored record Scan keeps as it was, as evidence (reason "missing" or "changed") or
  /// because it could not be read now ("unreadable": a file, or a directory with its whole
  /// stored subtree): the warning on standard error says so; the JSON report adds the values
  /// kept.
  virtual void Kept(const Table& t, unsigned idx, const char* reason) = 0;
  virtual void Group(const DuplicateGroup& g) = 0;
  /// The closing lines of each mode's report.
  virtual void DuplicateSummary(uint32_t files, int64_t lost) = 0;
  /// archive: the totals count what went missing from an archive.
  virtual void ScanSummary(const ChangeTotals& totals, bool moves, bool archive) = 0;
  virtual void CompareSummary(const ChangeTotals& totals, bool moves) = 0;
  /// The run's last item: the mode's name and the exit status (the JSON report's summary).
  virtual void End(const char* mode, int status) = 0;
};

/// The run's writer: the text report unless UseJsonReport was called.
ReportWriter& Report();
/// --json: the report as JSON Lines from here on; warnings and errors that standard error shows
/// are reported as items too, where the system lets standard error be watched. quiet: a run
/// that reported nothing and ends with status 0 writes no summary either.
void UseJsonReport(bool quiet);
bool JsonReport();
