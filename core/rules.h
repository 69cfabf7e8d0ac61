// What the command line asks of every walk and checksum pass: the entries left out, the mount
// points not entered, the files read at once and whether progress is shown. Made from the
// run's settings and handed to each walk; the defaults leave every report as it is.
#pragma once

#include "core/crc_readers.h"
#include "core/exclude.h"

struct WalkRules {
  const Exclusions* exclude = &Exclusions::None();  // --exclude: entries neither walked nor stored
  bool oneFileSystem = false;      // --one-file-system: mount points recorded, not entered
  unsigned readers = kFitReaders;  // --jobs: files read at once
  bool quiet = false;              // --quiet: no progress or status line
};
