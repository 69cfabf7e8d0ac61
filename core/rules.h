// What the command line asks of every walk and checksum pass: the entries left out, the mount
// points not entered, the files read at once and whether progress is shown; and what the run
// holds for its walks alone: its start paths and its data files. Made from the run's settings
// and handed to each walk; the defaults leave every report as it is.
#pragma once

#include "core/crc_readers.h"
#include "core/exclude.h"
#include "core/leftout.h"
#include "platform/fileread.h"

struct WalkRules {
  const Exclusions* exclude = &Exclusions::None();  // --exclude: entries neither walked nor stored
  bool oneFileSystem = false;      // --one-file-system: mount points recorded, not entered
  unsigned readers = kFitReaders;  // --jobs: files read at once
  bool quiet = false;              // --quiet: no progress or status line
  // The run's start paths, below which no link is followed (none: every path as given).
  WalkRoots* roots = nullptr;
  const LeftOut* leftOut = nullptr;  // Scan's own data files: neither walked nor stored
};
