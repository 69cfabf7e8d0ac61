// The wildcard rule of the POSIX find functions, exposed for the fuzzer that checks it against
// a plain recursive matcher. On Windows the system matches; nothing else calls this directly.
#pragma once

/// Win32 mask rules: '*' any run, '?' exactly one byte, ASCII letters without case, and a
/// trailing ".*" that also matches where the name has no further dot ("name.*" finds "name").
bool MatchWildcard(const char* mask, const char* name);
