// Running a piece of code in a child process whose files may not grow past a size: the tests
// use it to make a write fail half way for real.
#pragma once

/// Runs fn(arg) in a child process in which no file may grow beyond bytes (a write past the
/// limit fails instead of ending the process). Returns fn's result as the child's exit status
/// (0 to 255), 128 + the signal number when a signal ended it, or -1 when this platform cannot
/// do it.
int RunWithFileSizeLimit(long bytes, int (*fn)(void*), void* arg);
