// End-to-end test support: a fresh temporary directory per test, helpers that build a tree in
// it, and Run(), which starts the built program there and captures what it prints.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/verdict.h"  // the exit statuses the tests expect, by name
#include "tests/support/scratch.h"

namespace e2e {

struct RunResult {
  int status = -1;  // exit status
  std::string out;  // standard output
  std::string err;  // standard error
};

/// Stands for any text up to the end of its line in an expected text (clock lines, credits).
constexpr const char* kAny = "{*}";

/// The banner's fixed part and the closing time line, as patterns for MatchText.
constexpr const char* kBanner = "VANTEL32  Win32  Ver. 2.01  Apr 30 2001{*}\n\n";
constexpr const char* kTimePass = "\nTime pass:      {*}\n";

/// How long one run of the program may take before it counts as hung.
constexpr int kRunSeconds = 120;

/// Whether text holds piece, and how many times (overlapping ones included).
bool Has(const std::string& text, const std::string& piece);
size_t Count(const std::string& text, const std::string& piece);

/// '/' replaced by the platform's path separator.
std::string Sep(const std::string& path);

/// Compares line by line; in expected, kAny matches any run of bytes other than a line feed.
/// The failure message names the first line that differs.
::testing::AssertionResult MatchText(const std::string& expected, const std::string& actual);

/// The built program as a path this platform can start (under Wine a Unix path becomes Z:\...).
std::string ProgramPath();

class E2eTest : public ::testing::Test {
 protected:
  void SetUp() override;

  /// Absolute path of the temporary directory as the program prints it, without a trailing
  /// separator; Path() appends a relative path written with '/'.
  const std::string& Root() const { return root_; }
  std::string Path(const std::string& rel) const;

  /// rel is relative to Root() and written with '/'; missing parent directories are created.
  void MakeDir(const std::string& rel);
  void MakeFile(const std::string& rel, const std::string& bytes = "");
  /// The entry's own last-write time (a link's, not its target's), in seconds since 1970 UTC.
  void SetMtime(const std::string& rel, int64_t unix_seconds, uint32_t nanoseconds = 0);
  std::string ReadFile(const std::string& rel) const;
  bool Exists(const std::string& rel) const;

  /// Runs the program with args in cwd (empty: Root(); relative: below Root()), TZ=UTC,
  /// LC_ALL=C, each "NAME=value" of env added or replacing those, and stdin_text as its whole
  /// standard input. Line ends "\r\n" of the Win32 build's text-mode output come back as "\n",
  /// so one expectation serves both builds. A run still going after `seconds` is killed (status
  /// 137): a hang fails the test instead of stalling it.
  RunResult Run(const std::vector<std::string>& args, const std::string& stdin_text = "",
                const std::string& cwd = "", const std::vector<std::string>& env = {},
                int seconds = kRunSeconds);
  /// Run without input, the program started by the command `before` (a wrapper that changes
  /// its surroundings, such as its standard output) with the program and args as arguments.
  RunResult RunUnder(const std::vector<std::string>& before, const std::vector<std::string>& args,
                     int seconds = kRunSeconds);

 private:
  RunResult RunCommand(const std::vector<std::string>& before, const std::vector<std::string>& args,
                       const std::string& stdin_text, const std::string& cwd,
                       const std::vector<std::string>& env, int seconds);

  ScratchDir scratch_;
  std::string root_;
};

}  // namespace e2e
