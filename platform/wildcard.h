// The wildcard rule of the POSIX find functions (on Windows the system matches masks), and of
// --exclude on both builds; the fuzzer checks it against a plain recursive matcher.
#pragma once

/// Win32 mask rules: '*' any run, '?' exactly one byte, ASCII letters without case, and a
/// trailing ".*" that also matches where the name has no further dot ("name.*" finds "name").
bool MatchWildcard(const char* mask, const char* name);

/// The case rule of masks: ASCII letters folded to upper case, every other byte as it is.
inline char FoldAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
