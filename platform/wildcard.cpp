// The program's own wildcard rule: the POSIX find functions match masks with it, and --exclude
// matches its patterns with it on both builds.
#include "platform/wildcard.h"

bool MatchWildcard(const char* mask, const char* name) {
  const char* star = nullptr;  // position after the last '*' seen, for backtracking
  const char* resume = nullptr;
  while (*name) {
    if (*mask == '*') {
      star = ++mask;
      resume = name;
    } else if (*mask == '?' || (*mask && FoldAscii(*mask) == FoldAscii(*name))) {
      ++mask;
      ++name;
    } else if (star) {
      mask = star;
      name = ++resume;
    } else {
      return false;
    }
  }
  while (*mask == '*') ++mask;
  if (mask[0] == '.' && mask[1] == '*') {
    mask += 2;
    while (*mask == '*') ++mask;
  }
  return *mask == 0;
}
