// Which names and paths an --exclude pattern covers: the quick checks of a pattern's fixed
// start and end must never turn away what the wildcard rule matches.
#include "core/exclude.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/rules.h"
#include "core/table.h"
#include "platform/platform.h"
#include "tests/support/scratch.h"

namespace {

TEST(Exclusions, APatternCoversNamesOrPathsAsTheWildcardRuleSays) {
  struct Case {
    const char* pattern;
    const char* name;
    const char* path;  // below the start path, written with '/'
    bool dir;
    bool covered;
  };
  const Case cases[] = {
      {"*.bak", "a.BAK", "x/a.BAK", false, true},  // letters in either case
      {"*.bak", "a.bak~", "a.bak~", false, false},
      {"core.*", "core", "core", false, true},  // "name.*" also finds "name"
      {"core.*", "cor", "cor", false, false},
      {"a?c", "abc", "abc", false, true},
      {"a?c", "ac", "ac", false, false},
      {"ab*b", "ab", "ab", false, false},  // start and end may not overlap
      {"ab*b", "abb", "abb", false, true},
      {"build/", "build", "build", false, false},  // folders only
      {"build/", "build", "build", true, true},
      {"docs/*.txt", "a.txt", "docs/sub/a.txt", false, true},  // '*' crosses separators
      {"docs/*.txt", "a.txt", "a.txt", false, false},
      {"/a.*", "a.txt", "a.txt", false, true},  // the first level
      {"/a.*", "a.txt", "docs/a.txt", false, false},
      {"?", "é", "é", false, false},  // one byte, not one character
  };
  for (const Case& c : cases) {
    std::string path = c.path;
    for (char& ch : path)
      if (ch == '/') ch = kPathSep;
    Exclusions x({c.pattern});
    EXPECT_EQ(c.covered, x.Covers(c.name, path.c_str(), c.dir))
        << c.pattern << " / " << c.name << " / " << c.path;
  }
  EXPECT_TRUE(Exclusions({"/", "//"}).Empty());
  EXPECT_FALSE(IsExcludePattern("//"));
}

// Each walk leaves out what its own rules say, whatever another walk of the run was handed.
TEST(Exclusions, EachWalkTakesTheRulesItIsHanded) {
  ScratchDir dir;
  dir.Dir("cache");
  dir.File("cache/c.txt");
  dir.File("a.tmp");
  dir.File("b.txt");
  Exclusions x({"*.tmp", "cache/"});
  WalkRules some;
  some.exclude = &x;
  struct Case {
    const WalkRules* rules;
    std::vector<std::string> names;  // in table order
  };
  const WalkRules none;
  const Case cases[] = {
      {&some, {"b.txt"}},
      {&none, {"cache", "a.tmp", "b.txt", "c.txt"}},
      {&some, {"b.txt"}},
  };
  for (const Case& c : cases) {
    Table t;
    snprintf(t.cStartPath, sizeof t.cStartPath, "%s", dir.Path().c_str());
    snprintf(t.cFileMask, sizeof t.cFileMask, "*.*");
    ::testing::internal::CaptureStderr();
    t.BuildTree(1, *c.rules);
    ::testing::internal::GetCapturedStderr();
    std::vector<std::string> names;
    for (const Record& r : t.records) names.push_back(r.LongName());
    EXPECT_EQ(c.names, names);
    // A catalogue of the whole tree loses what the rules cover, and nothing else.
    Table all = t;
    all.BuildTree(1, none);
    DropCovered(all, *c.rules->exclude);
    EXPECT_EQ(t.records.size(), all.records.size());
  }
}

}  // namespace
