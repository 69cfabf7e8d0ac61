// What one run was asked to do, as one value: the front end builds it from the command line and
// hands it to the mode, which reads no other setting.
#pragma once

#include <cstdint>
#include <string>

#include "core/exclude.h"
#include "core/progress.h"
#include "core/rules.h"

class ReportWriter;

struct RunSettings {
  // Where to look.
  bool sub = false;            // /s: subfolders too
  Exclusions exclude;          // --exclude, compiled once
  bool oneFileSystem = false;  // --one-file-system
  // What Scan and Compare check.
  bool noTime = false;         // /nt
  bool noAttr = false;         // /na
  bool noCrc = false;          // /nc
  bool noSize = false;         // /ns
  bool noPath = false;         // /np: Scan keeps the start path of the command line
  bool readOnly = false;       // /r: Scan reports but saves nothing
  bool moves = false;          // --moves
  bool acceptDamaged = false;  // --accept-damaged
  bool acceptEmpty = false;    // --accept-empty
  bool archive = false;        // --archive: missing and changed files are findings
  bool acceptMissing = false;  // --accept-missing
  bool noCrcTyped = false;     // /nc itself, not only through /ns: Scan reads no CRC at all
  bool stored = false;         // --stored: Compare reads Path 2's records
  uint32_t timeWindow = 0;     // --time-window: seconds within which two times are equal
  // How Info and Test lay out their listings.
  std::string format;         // /of: column codes
  bool lists = false;         // /os (one list per folder) rather than /ol
  bool emptyFolders = false;  // /e
  bool debug = false;         // /d
  // How the run goes.
  unsigned jobs = kFitReaders;     // --jobs: files read at once
  bool quiet = false;              // --quiet: no progress or status line
  ReportWriter* report = nullptr;  // text or JSON Lines
  WalkRoots* roots = nullptr;      // the run's own start paths, below which no link is followed

  /// What every walk and checksum pass of the run is handed.
  WalkRules Walk() const { return WalkRules{&exclude, oneFileSystem, jobs, quiet, roots}; }
  Progress Shown() const { return Progress(quiet); }
};
