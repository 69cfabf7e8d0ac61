// Setting an entry's last-write time and attributes, so that tests can build trees with known
// stamps.
#pragma once

#include <cstdint>

/// Sets the last-write time of path itself (a link's own time, not its target's) to
/// unix_seconds + nanoseconds after 1970-01-01 UTC; Win32 keeps 100-nanosecond steps. Works for
/// files and directories alike. Returns 0 on success, 1 on failure.
int SetWriteTime(const char* path, int64_t unix_seconds, uint32_t nanoseconds);

/// Gives path the hidden attribute. Returns 0 on success, 1 on failure, -1 where hidden is not
/// an attribute of its own (POSIX: a name that starts with a dot).
int SetHidden(const char* path);

/// Drops a file's pages from the page cache, so that its next read must come from the device.
/// Returns 0 on success, -1 where the system offers no way.
int EvictFromCache(const char* path);
