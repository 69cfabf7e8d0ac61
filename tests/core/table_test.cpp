// Tables in memory: copies, path composers, marking and compacting subtrees.
#include "core/table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

Record Entry(const char* name, uint32_t up, bool dir) {
  WIN32_FIND_DATAA fd;
  memset(&fd, 0, sizeof fd);
  snprintf(fd.cFileName, sizeof fd.cFileName, "%s", name);
  fd.dwFileAttributes = dir ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  return Record(fd, up);
}

std::string Sep(std::string s) {
  for (char& c : s)
    if (c == '/') c = kPathSep;
  return s;
}

// a/ b/ f1 | a: c/ f2 | b: f3 | c: f4
Table SampleTree() {
  Table t;
  t.records.push_back(Entry("a", 0, true));    // 0
  t.records.push_back(Entry("b", 0, true));    // 1
  t.records.push_back(Entry("f1", 0, false));  // 2
  t.records.push_back(Entry("c", 1, true));    // 3
  t.records.push_back(Entry("f2", 1, false));  // 4
  t.records.push_back(Entry("f3", 2, false));  // 5
  t.records.push_back(Entry("f4", 4, false));  // 6
  return t;
}

std::string LongPath(const Table& t, unsigned i) {
  char buf[2 * MAX_PATH];
  EXPECT_EQ(0, t.ComposeLongPath(i, buf, sizeof buf));
  return buf;
}

TEST(RecordTest, FindDataAndCopySemantics) {
  WIN32_FIND_DATAA fd;
  memset(&fd, 0, sizeof fd);
  strcpy(fd.cFileName, "twenty-characters.tx");
  fd.nFileSizeHigh = 1;
  Record r(fd, 7);
  EXPECT_EQ(uint64_t(1) << 32, r.qwSize);
  EXPECT_EQ(7u, r.dwUpIdx);
  EXPECT_EQ(0, memcmp(r.cShortName, "twenty-charact", 14));  // no terminator

  Record copy = r;
  EXPECT_NE(copy.pLongName, r.pLongName);
  EXPECT_STREQ("twenty-characters.tx", copy.LongName());

  Record bare;
  bare.SetLongName("from-long-name-x");
  Record filled(bare);
  EXPECT_EQ(0, memcmp(filled.cShortName, "from-long-name", 14));

  bare.SetLongName("");
  EXPECT_EQ(nullptr, bare.pLongName);
  EXPECT_STREQ("", bare.LongName());

  Record moved = std::move(copy);
  EXPECT_STREQ("twenty-characters.tx", moved.LongName());
  EXPECT_EQ(nullptr, copy.pLongName);
}

// Names share blocks: giving some back, across several blocks, must leave the others intact
// (ASan sees a block released under a living name).
TEST(RecordTest, NamesSurviveTheirNeighbours) {
  std::vector<Record> records;
  for (int i = 0; i < 200000; ++i) {
    records.emplace_back();
    records.back().SetLongName(("name-of-entry-" + std::to_string(i)).c_str());
  }
  for (size_t i = 0; i < records.size(); i += 2) records[i].SetLongName(nullptr);
  records.erase(records.begin(), records.begin() + 100000);
  records.resize(120000);
  for (size_t i = 0; i < 100000; ++i) {
    if ((i + 100000) % 2 == 0) continue;
    ASSERT_EQ("name-of-entry-" + std::to_string(i + 100000), records[i].LongName());
  }
  records.back().SetLongName("again");
  EXPECT_STREQ("again", records.back().LongName());
}

// A short name that is only the long name's first bytes is how a build without 8.3 aliases
// writes it: a catalogue carried between the builds is not renamed by that.
TEST(RecordTest, ShortNamesChangeOnlyAsAliases) {
  struct {
    const char* name;
    const char* stored;
    const char* now;
    bool changed;
  } cases[] = {
      {"averyveryverylongname.text", "averyveryveryl", "AVERYV~1.TEX", false},  // POSIX -> Win32
      {"averyveryverylongname.text", "AVERYV~1.TEX", "averyveryveryl", false},  // and back
      {"averyveryverylongname.text", "AVERYV~1.TEX", "AVERYV~2.TEX", true},
      {"a.txt", "a.txt", "a.txt", false},
      {"a.txt", "A~1.TXT", "A~2.TXT", true},
  };
  for (const auto& c : cases) {
    Record r = Entry(c.name, 0, false);
    char now[kShortNameLen + 1] = {};
    memset(r.cShortName, 0, kShortNameLen);
    memcpy(r.cShortName, c.stored, std::min<size_t>(strlen(c.stored), kShortNameLen));
    snprintf(now, sizeof now, "%s", c.now);
    EXPECT_EQ(c.changed, ShortNameChanged(r, now)) << c.stored << " -> " << c.now;
  }
}

TEST(TableTest, CopyTakesNamesOnly) {
  Table t = SampleTree();
  strcpy(t.cFileMask, "*.txt");
  t.bNew = 1;
  Table c(t);
  EXPECT_TRUE(c.records.empty());
  EXPECT_EQ(0, c.bNew);
  EXPECT_STREQ("*.txt", c.cFileMask);
  EXPECT_STREQ(".", Table().cStartPath);
}

TEST(TableTest, ComposersFollowTheParentChain) {
  Table t = SampleTree();
  EXPECT_EQ("f1", LongPath(t, 2));
  EXPECT_EQ(Sep("a/c/f4"), LongPath(t, 6));
  char buf[32];
  EXPECT_EQ(0, t.ComposeShortPath(6, buf, sizeof buf));
  EXPECT_EQ(Sep("a/c/f4"), std::string(buf));
  // A buffer one byte short gets nothing rather than a cut path.
  EXPECT_EQ(kPathTooLong, t.ComposeShortPath(6, buf, 6));
  EXPECT_STREQ("", buf);
  EXPECT_EQ(kPathTooLong, t.ComposeLongPath(6, buf, 6));
  EXPECT_STREQ("", buf);
}

TEST(TableTest, LongPathFallsBackToShortPastTheLimit) {
  Table t;
  // Directories of names the find data can hold, 11 characters short of the walk's limit.
  std::string shortForm;
  for (size_t left = kWalkPathLimit - 11; left > 0;) {
    size_t len = left <= 200 ? left : 150;
    left -= left <= 200 ? len : len + 1;
    uint32_t up = static_cast<uint32_t>(t.records.size());
    t.records.push_back(Entry(std::string(len, 'd').c_str(), up, true));
    shortForm += std::string(std::min<size_t>(len, 14), 'd') + kPathSep;
  }
  uint32_t dir = static_cast<uint32_t>(t.records.size());
  t.records.push_back(Entry("12345678", dir, false));  // exactly the limit less 2 in all
  t.records.push_back(Entry("123456789", dir, false));
  char buf[2 * MAX_PATH];
  EXPECT_EQ(0, t.ComposeLongPath(dir, buf, sizeof buf));
  EXPECT_EQ(kWalkPathLimit - 2, strlen(buf));
  EXPECT_EQ(1, t.ComposeLongPath(dir + 1, buf, sizeof buf));
  EXPECT_EQ(shortForm + "123456789", buf);
}

TEST(TableTest, DamagedChainIsRefusedNotFollowed) {
  Table t;
  t.records.push_back(Entry("a", 0, true));
  t.records.push_back(Entry("b", 2, false));  // points at itself
  char buf[64];
  EXPECT_EQ(kPathTooLong, t.ComposeLongPath(1, buf, sizeof buf));
  EXPECT_EQ(kPathTooLong, t.ComposeLongPath(9, buf, sizeof buf));
}

TEST(TableTest, CompactRemovesSubtreesAndKeepsLinks) {
  Table t = SampleTree();
  t.Compact();  // nothing marked: nothing changes
  ASSERT_EQ(7u, t.records.size());

  t.records[0].wStatus = stGONE;  // "a" with c, f2 and f4 beneath
  t.records[5].wStatus = stNEW;
  t.Compact();
  ASSERT_EQ(3u, t.records.size());
  EXPECT_EQ("b", LongPath(t, 0));
  EXPECT_EQ("f1", LongPath(t, 1));
  EXPECT_EQ(Sep("b/f3"), LongPath(t, 2));
  EXPECT_EQ(stNEW, t.records[2].wStatus);
}

TEST(TableTest, CompactKeepsLinksOnLargeTables) {
  // 200 directories of 1,000 files each, every tenth directory gone.
  Table t;
  for (uint32_t d = 0; d < 200; ++d) t.records.push_back(Entry("d", 0, true));
  for (uint32_t d = 0; d < 200; ++d)
    for (int f = 0; f < 1000; ++f) t.records.push_back(Entry("f", d + 1, false));
  for (uint32_t d = 0; d < 200; d += 10) t.records[d].wStatus = stGONE;
  t.Compact();
  ASSERT_EQ(180u + 180u * 1000u, t.records.size());
  for (size_t i = 180; i < t.records.size(); ++i) {
    uint32_t up = t.records[i].dwUpIdx;
    ASSERT_TRUE(up >= 1 && up <= 180 && t.records[up - 1].IsDir());
  }
}

}  // namespace
