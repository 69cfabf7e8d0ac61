// Run-wide rules of the long options that change which entries a walk takes and when two
// entries count as equal. The command-line parser fills them before any tree is built; the
// defaults leave every report as it is without them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct RunRules {
  std::vector<std::string> exclude;  // --exclude=PATTERN: entries neither walked nor stored
  bool oneFileSystem = false;        // --one-file-system: mount points recorded, not entered
  uint32_t timeWindow = 0;           // --time-window=SECONDS: write times this close are equal
  bool compareStored = false;        // --stored: Compare reads a data file's records, not its tree
};

inline RunRules runRules;
