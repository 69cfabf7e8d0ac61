// Shared pieces of the torture tests: runs with a time limit of their own and the contents of a
// stored catalogue.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "core/table.h"
#include "platform/platform.h"
#include "store/datafile.h"
#include "tests/support/e2e.h"

namespace e2e {

class TortureTest : public E2eTest {
 protected:
  /// Run without input and with a limit of its own.
  RunResult RunBounded(const std::vector<std::string>& args, int seconds = kRunSeconds,
                       const std::string& cwd = "") {
    return Run(args, "", cwd, {}, seconds);
  }

  /// Reads a catalogue; its result code goes to *code.
  Table LoadCatalogue(const std::string& rel, int* code) {
    Table t;
    snprintf(t.cDataFile, sizeof t.cDataFile, "%s", Path(rel).c_str());
    *code = ReadDataFile(t);
    return t;
  }

  /// Every stored path, start path included, one per record.
  static std::vector<std::string> StoredPaths(const Table& t) {
    std::vector<std::string> paths;
    char rel[2 * MAX_PATH];
    for (unsigned i = 0; i < t.records.size(); ++i) {
      rel[0] = '\0';
      t.ComposeLongPath(i, rel, sizeof rel);
      paths.push_back(std::string(t.cStartPath) + rel);
    }
    return paths;
  }
};

}  // namespace e2e
