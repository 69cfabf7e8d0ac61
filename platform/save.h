// What replacing a data file needs beyond the Win32 names: the file a link stands for, and
// the permission bits of the file being replaced.
#pragma once

#include <cstddef>

/// The path that a save of `name` should replace: the final target when `name` is a symbolic
/// link (so the link stays a link), else `name` itself. False when it does not fit `cap`.
bool ResolveSaveTarget(const char* name, char* out, size_t cap);

/// Gives the open file `fd` the permission bits of `existing`, when that exists.
void KeepFileMode(const char* existing, int fd);
