// --exclude: patterns sorted once into those matched by name and those matched by path.
#include "core/exclude.h"

#include <cstring>

#include "core/table.h"
#include "platform/wildcard.h"

namespace {

bool IsSeparator(char c) {
  return c == '/' || c == kPathSep;
}

}  // namespace

Exclusions::Exclusions(const std::vector<std::string>& patterns) {
  for (std::string text : patterns) {
    bool dirOnly = false;
    while (!text.empty() && IsSeparator(text.back())) {
      text.pop_back();
      dirOnly = true;
    }
    bool byPath = false;
    for (char& c : text) {
      if (!IsSeparator(c)) continue;
      c = kPathSep;  // the separator of the paths it is matched against
      byPath = true;
    }
    if (text[0] == kPathSep) text.erase(0, 1);
    if (!text.empty()) (byPath ? paths_ : names_).push_back(Compile(text, dirOnly));
  }
}

Exclusions::Pattern Exclusions::Compile(std::string text, bool dirOnly) {
  Pattern p{text, std::string(), std::string(), dirOnly};
  for (char& c : text) c = FoldAscii(c);
  size_t wild = text.find_first_of("*?");
  p.head = text.substr(0, wild);
  // "name.*" also matches "name": the dot before a star is not required.
  if (wild != std::string::npos && text[wild] == '*' && !p.head.empty() && p.head.back() == '.')
    p.head.pop_back();
  size_t star = text.rfind('*');
  p.tail = star == std::string::npos ? text : text.substr(star + 1);
  return p;
}

bool Exclusions::Matches(const Pattern& p, const char* s) {
  size_t len = strlen(s);
  if (len < p.head.size() || len < p.tail.size()) return false;
  for (size_t i = 0; i < p.head.size(); ++i)
    if (FoldAscii(s[i]) != p.head[i]) return false;
  const char* end = s + len - p.tail.size();
  for (size_t i = 0; i < p.tail.size(); ++i)
    if (p.tail[i] != '?' && FoldAscii(end[i]) != p.tail[i]) return false;
  return MatchWildcard(p.text.c_str(), s);
}

bool Exclusions::Covers(const char* name, const char* relPath, bool dir) const {
  for (const Pattern& p : names_)
    if ((dir || !p.dirOnly) && Matches(p, name)) return true;
  for (const Pattern& p : paths_)
    if ((dir || !p.dirOnly) && Matches(p, relPath)) return true;
  return false;
}

bool IsExcludePattern(const char* value) {
  for (const char* p = value; *p; ++p)
    if (!IsSeparator(*p)) return true;
  return false;
}

const Exclusions& Exclusions::None() {
  static const Exclusions none;
  return none;
}

std::vector<char> CoveredRecords(const Table& t, size_t end, const Exclusions& x) {
  if (x.Empty()) return {};
  std::vector<char> covered(end, 0);
  char rel[2 * MAX_PATH] = "";
  for (size_t k = 0; k < end; ++k) {
    const Record& r = t.records[k];
    uint32_t up = r.dwUpIdx;
    // Parents precede their children: a covered directory has been seen already.
    if (up != 0 && up - 1 < k && covered[up - 1]) {
      covered[k] = 1;
      continue;
    }
    if (x.ByPath() && t.ComposeLongPath(static_cast<unsigned>(k), rel, sizeof rel) == kPathTooLong)
      rel[0] = '\0';
    covered[k] = x.Covers(r.LongName(), rel, r.IsDir());
  }
  return covered;
}

void DropCovered(Table& t, const Exclusions& x) {
  std::vector<char> covered = CoveredRecords(t, t.records.size(), x);
  if (covered.empty()) return;
  for (size_t k = 0; k < covered.size(); ++k)
    if (covered[k]) t.records[k].wStatus |= stGONE;
  t.Compact();
}
