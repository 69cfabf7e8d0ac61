// libFuzzer target for the wildcard matcher of the POSIX find functions. The input is a mask
// and a name separated by the first NUL byte; the matcher must agree with a plain recursive
// matcher of the same rules, and "*" and "*.*" must match every name, as the enumeration
// assumes when it skips the matcher for them.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/wildcard.h"

namespace {

constexpr size_t kMaxLen = 256;

char Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// What is left of the mask may match the empty rest of a name: stars, then optionally ".*"
// and more stars.
bool MatchesEmpty(const std::string& m, size_t i) {
  while (i < m.size() && m[i] == '*') ++i;
  if (i + 1 < m.size() && m[i] == '.' && m[i + 1] == '*') {
    i += 2;
    while (i < m.size() && m[i] == '*') ++i;
  }
  return i == m.size();
}

// The rules written out case by case; memo keeps a mask full of stars from taking forever.
struct Reference {
  const std::string& mask;
  const std::string& name;
  std::vector<signed char> memo;  // -1 unknown, else the answer

  Reference(const std::string& m, const std::string& n)
      : mask(m), name(n), memo((m.size() + 1) * (n.size() + 1), -1) {}

  bool Match(size_t i, size_t j) {
    signed char& known = memo[i * (name.size() + 1) + j];
    if (known >= 0) return known != 0;
    bool result;
    if (j == name.size()) {
      result = MatchesEmpty(mask, i);
    } else if (i == mask.size()) {
      result = false;
    } else if (mask[i] == '*') {
      result = Match(i + 1, j) || Match(i, j + 1);
    } else if (mask[i] == '?' || Upper(mask[i]) == Upper(name[j])) {
      result = Match(i + 1, j + 1);
    } else {
      result = false;
    }
    known = result ? 1 : 0;
    return result;
  }
};

void Check(bool ok, const char* what, const std::string& mask, const std::string& name) {
  if (ok) return;
  fprintf(stderr, "wildcard_fuzz: %s: mask \"%s\" name \"%s\"\n", what, mask.c_str(), name.c_str());
  abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  const char* nul = static_cast<const char*>(memchr(text, 0, size));
  if (nul == nullptr) return 0;
  std::string mask(text, nul);
  std::string name(nul + 1, text + size);
  name = name.substr(0, strnlen(name.c_str(), name.size()));  // a name holds no NUL
  if (mask.size() > kMaxLen || name.size() > kMaxLen) return 0;

  Reference reference(mask, name);
  bool expected = reference.Match(0, 0);
  Check(MatchWildcard(mask.c_str(), name.c_str()) == expected, "matcher and reference differ", mask,
        name);
  Check(MatchWildcard("*", name.c_str()), "\"*\" misses a name", "*", name);
  Check(MatchWildcard("*.*", name.c_str()), "\"*.*\" misses a name", "*.*", name);
  return 0;
}
