// Shared pieces of the torture tests: runs with a time limit (a hang fails the test instead of
// stalling it) and the contents of a stored catalogue.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "core/table.h"
#include "platform/platform.h"
#include "platform/process.h"
#include "tests/support/e2e.h"

namespace e2e {

class TortureTest : public E2eTest {
 protected:
  // Like Run, but the program is killed after `seconds` (status 137 then) where the system
  // has timeout(1); Windows runs it plainly.
  RunResult RunBounded(const std::vector<std::string>& args, int seconds = 120,
                       const std::string& cwd = "") {
    if (kIsWin32) return Run(args, "", cwd);
    std::vector<std::string> argv = {"/usr/bin/timeout", "-s", "KILL", std::to_string(seconds),
                                     ProgramPath()};
    argv.insert(argv.end(), args.begin(), args.end());
    ProcessResult done;
    RunResult result;
    if (RunProcess(argv, cwd.empty() ? Root() : Path(cwd), {"TZ=UTC"}, "", &done) != 0) {
      ADD_FAILURE() << "cannot start " << argv[0];
      return result;
    }
    result.status = done.status;
    result.out = done.out;
    result.err = done.err;
    return result;
  }

  // Reads a catalogue; its result code goes to *code.
  Table LoadCatalogue(const std::string& rel, int* code) {
    Table t;
    snprintf(t.cDataFile, sizeof t.cDataFile, "%s", Path(rel).c_str());
    *code = t.ReadDataFile();
    return t;
  }

  // Every stored path, start path included, one per record.
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
