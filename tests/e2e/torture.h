// Shared pieces of the torture tests: runs with a time limit of their own.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/support/catalogue.h"
#include "tests/support/e2e.h"

namespace e2e {

class TortureTest : public E2eTest {
 protected:
  /// Run without input and with a limit of its own.
  RunResult RunBounded(const std::vector<std::string>& args, int seconds = kRunSeconds,
                       const std::string& cwd = "") {
    return Run(args, "", cwd, {}, seconds);
  }
};

}  // namespace e2e
