// Running a child program with its standard streams connected to pipes: the end-to-end tests
// start the built program this way on both builds.
#pragma once

#include <string>
#include <vector>

struct ProcessResult {
  int status = -1;  // exit code; 128 + signal number when a signal ended it
  std::string out;  // standard output, raw bytes
  std::string err;  // standard error, raw bytes
};

/// Whether the tests run under a user-mode emulator (qemu-user), which cannot start a program of
/// the emulated processor by itself: the built program is started through a script, and a test
/// that starts its own test program again cannot run.
constexpr bool kUnderEmulator = VANTEL32_EMULATED;

/// The status of a program that RunProcess killed at its time limit, as a shell reports SIGKILL.
constexpr int kKilledStatus = 137;

/// Runs argv[0] with the arguments argv[1..] in directory cwd (empty: the current one). The
/// environment is ours with each "NAME=value" of env added or replacing its namesake. input is
/// written to standard input, which is then closed. A program still running after `seconds`
/// is killed (status kKilledStatus), so that a hang fails a test instead of stalling it.
/// Returns 0 when the program ran to its end or was killed, 1 when it could not be started.
int RunProcess(const std::vector<std::string>& argv, const std::string& cwd,
               const std::vector<std::string>& env, const std::string& input, int seconds,
               ProcessResult* result);
