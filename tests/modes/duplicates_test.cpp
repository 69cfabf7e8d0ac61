// The duplicate finder called directly on tasks: its report against a literal reading of the
// search, what it reads, what it leaves out, and its cost.
#include <gtest/gtest.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/crc32shr.h"
#include "core/rules.h"
#include "core/table.h"
#include "core/verdict.h"
#include "modes/modes.h"
#include "modes/report_writer.h"
#include "platform/console.h"
#include "tests/support/bytes.h"
#include "tests/support/datafile_image.h"
#include "tests/support/e2e.h"
#include "tests/support/touch.h"

namespace {

struct Captured {
  int status = -1;
  std::string out;
  std::string err;
};

template <typename Fn>
Captured Capture(Fn fn) {
  Captured c;
  fflush(stdout);
  fflush(stderr);
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  c.status = fn();
  fflush(stdout);
  fflush(stderr);
  c.err = ::testing::internal::GetCapturedStderr();
  c.out = ::testing::internal::GetCapturedStdout();
  return c;
}

std::string FullPath(const Table& t, size_t idx) {
  char rel[2 * MAX_PATH];
  t.ComposeLongPath(static_cast<unsigned>(idx), rel, sizeof rel);
  return std::string(t.cStartPath) + rel;
}

bool HasContents(const Record& r) {
  return !(r.dwAttr & (0x10 | 0x40 | 0x400));
}

// The search word for word: a size multimap per task and, for each file not yet reported, a
// scan of its own task and of every later one. Quadratic, but an independent reading.
std::string LiteralSearch(std::vector<Table>& tables) {
  std::vector<std::multimap<int64_t, size_t>> index(tables.size());
  for (size_t j = 0; j < tables.size(); ++j) {
    for (size_t k = 0; k < tables[j].records.size(); ++k) {
      Record& r = tables[j].records[k];
      if (!HasContents(r)) {
        r.wStatus |= stDONE;
      } else {
        r.wStatus = 0;
        index[j].emplace(static_cast<int64_t>(r.qwSize), k);
      }
    }
  }
  std::string out;
  char line[3 * MAX_PATH];
  unsigned count = 0;
  int64_t lost = 0;
  for (size_t j = 0; j < tables.size(); ++j) {
    for (size_t k = 0; k < tables[j].records.size(); ++k) {
      Record& h = tables[j].records[k];
      if (h.wStatus & stDONE) continue;
      std::vector<std::string> members{FullPath(tables[j], k)};
      for (size_t i = j; i < tables.size(); ++i) {
        auto range = index[i].equal_range(static_cast<int64_t>(h.qwSize));
        for (auto it = range.first; it != range.second; ++it) {
          Record& d = tables[i].records[it->second];
          if ((i == j && it->second == k) || d.dwCRC != h.dwCRC) continue;
          h.wStatus |= stDONE;
          d.wStatus |= stDONE;
          members.push_back(FullPath(tables[i], it->second));
        }
      }
      // A path that two overlapping tasks both list is one file: not its own copy.
      std::set<std::string> files(members.begin(), members.end());
      if (files.size() < 2) continue;
      snprintf(line, sizeof line, "\nFile: %-30s    CRC32:%08X  Size:%" PRId64 " byte(s)\n",
               h.LongName(), h.dwCRC, static_cast<int64_t>(h.qwSize));
      out += line;
      out += "\n      " + members[0] + "\n";
      for (size_t m = 1; m < members.size(); ++m) out += "      " + members[m] + "\n";
      count += static_cast<unsigned>(members.size());
      lost += static_cast<int64_t>(h.qwSize) * static_cast<int64_t>(files.size() - 1);
    }
  }
  if (count != 0) {
    snprintf(line, sizeof line,
             "\nWas found %u diplicate file(s).\nLoss %" PRId64 " byte(s) in duplicate file(s).\n",
             count, lost);
    out += line;
  }
  return out;
}

// The file counts of all "CRC32" summary lines, added up.
unsigned FilesRead(const std::string& err) {
  unsigned total = 0;
  const std::string mark = std::string(" ") + ProgressMark() + " CRC32 ";
  for (size_t at = err.find(mark); at != std::string::npos; at = err.find(mark, at + 1))
    total += static_cast<unsigned>(strtoul(err.c_str() + at + mark.size(), nullptr, 10));
  return total;
}

// Sets the last four bytes of s so that its CRC-32 becomes target. The top bytes of the 256
// table entries all differ, so each of the last four steps can be run backwards from the
// final register to the table entry it must use; the bytes then follow going forwards.
void ForgeCrc(std::string* s, uint32_t target) {
  size_t n = s->size() - 4;
  uint32_t reg = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i)
    reg = (reg >> 8) ^ CRCTable[(reg ^ static_cast<unsigned char>((*s)[i])) & 0xFF];
  unsigned entry[4];
  uint32_t want = ~target;
  for (int j = 3; j >= 0; --j) {
    unsigned e = 0;
    while ((CRCTable[e] >> 24) != (want >> 24)) ++e;
    entry[j] = e;
    want = (want ^ CRCTable[e]) << 8;
  }
  for (int j = 0; j < 4; ++j) {
    (*s)[n + j] = static_cast<char>((reg ^ entry[j]) & 0xFF);
    reg = (reg >> 8) ^ CRCTable[entry[j]];
  }
}

std::string Header(const std::string& name, uint32_t crc, uint64_t size) {
  char line[3 * MAX_PATH];
  snprintf(line, sizeof line, "\nFile: %-30s    CRC32:%08X  Size:%" PRIu64 " byte(s)\n",
           name.c_str(), crc, size);
  return line;
}

std::string Totals(unsigned count, uint64_t lost) {
  return "\nWas found " + std::to_string(count) + " diplicate file(s).\nLoss " +
         std::to_string(lost) + " byte(s) in duplicate file(s).\n";
}

class FindDuplicatesTest : public e2e::E2eTest {
 protected:
  void SetUp() override {
    E2eTest::SetUp();
    ASSERT_EQ(InitMagic(), 0);
  }

  // A task on the directory rel (empty: the root), optionally read from a data file.
  Table Task(const std::string& rel, const std::string& mask = "*.*",
             const std::string& dataFile = "") const {
    Table t;
    snprintf(t.cStartPath, MAX_PATH, "%s%c", Path(rel).c_str(), kPathSep);
    snprintf(t.cFileMask, MAX_PATH, "%s", mask.c_str());
    snprintf(t.cDataFile, MAX_PATH, "%s", dataFile.c_str());
    return t;
  }

  static RunSettings Settings(uint32_t sub = 0x20) {
    RunSettings s;
    s.sub = sub != 0;
    s.report = &Report();
    return s;
  }

  Captured Find(std::vector<Table> tasks, uint32_t sub = 0x20) {
    return Capture([&] { return FindDuplicates(tasks, Settings(sub)); });
  }

  void WriteDataFile(const std::string& rel, const std::string& bytes) {
    std::ofstream(Path(rel), std::ios::binary) << bytes;
  }
};

// Many unique sizes, groups that share a size but not their contents, empty files, a subtree
// covered by two tasks and a third task with its own mask; read from memory and from the device.
TEST_F(FindDuplicatesTest, SelectiveReadReportsWhatTheFullSearchReports) {
  std::mt19937 rng(20010430);
  auto bytes = [&rng](size_t n) {
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(rng());
    return s;
  };
  std::vector<std::string> pool;
  for (size_t g = 0; g < 6; ++g) {
    std::string base = bytes(40 + 17 * g);
    pool.push_back(base);
    base[g] ^= 0x5A;  // same size, other contents
    pool.push_back(base);
  }
  const char* dirs[] = {"", "a/", "a/b/", "a/b/c/", "d/", "d/e/"};
  for (int i = 0; i < 240; ++i) {
    std::string dir = dirs[rng() % 6];
    std::string name = dir + "f" + std::to_string(i) + (i % 5 == 0 ? ".b" : ".a");
    unsigned kind = rng() % 10;
    if (kind < 6) {
      MakeFile(name, bytes(1000 + 3 * i));  // a size of its own
    } else if (kind < 9) {
      MakeFile(name, pool[rng() % pool.size()]);
    } else {
      MakeFile(name);
    }
  }

  auto tasks = [this] { return std::vector<Table>{Task(""), Task("a/b"), Task("d", "*.b")}; };
  std::vector<Table> full = tasks();
  Capture([&] {
    for (Table& t : full) {
      t.BuildTree(1, WalkRules());
      t.ChecksumPass(WalkRules());
    }
    return 0;
  });
  std::map<uint64_t, unsigned> census;
  for (const Table& t : full)
    for (const Record& r : t.records)
      if (HasContents(r)) ++census[r.qwSize];
  unsigned shared = 0;
  unsigned files = 0;
  for (const Table& t : full) {
    for (const Record& r : t.records) {
      if (!HasContents(r)) continue;
      ++files;
      if (census[r.qwSize] >= 2) ++shared;
    }
  }
  std::string expected = LiteralSearch(full);

  // Then with no file in memory: readers hold files open while the device brings their bytes.
  for (bool evicted : {false, true}) {
    SCOPED_TRACE(evicted ? "evicted" : "cached");
    if (evicted)
      for (size_t k = 0; k < full[0].records.size(); ++k)
        EvictFromCache(FullPath(full[0], k).c_str());
    Captured got = Find(tasks());
    EXPECT_EQ(got.status, kExitClean);
    EXPECT_EQ(got.out, expected);
    EXPECT_EQ(FilesRead(got.err), shared);
  }
  EXPECT_NE(expected.find("Was found"), std::string::npos);
  EXPECT_LT(shared, files) << "files of a size of their own need no reading";
}

TEST_F(FindDuplicatesTest, StoredChecksumsAreTrustedAndTheirSizesCounted) {
  // The tree file's size is its own within the tree; the stored record makes it shared.
  MakeFile("tree/hello.txt", "hello");
  MakeFile("tree/other.txt", "other!");
  WriteDataFile("stored.crc", datafile::Image(Path("old") + kPathSep, "*.*",
                                              {{"sub", 0x10, 0, 0, 0},
                                               {"copy.txt", 0x20, 5, CrcOf("hello"), 1},
                                               {"stale.txt", 0x20, 6, CrcOf("stale!"), 1}}));
  Captured got = Find({Task("tree"), Task("x", "*.*", Path("stored.crc"))});
  std::string expected =
      "\nFile: hello.txt                         CRC32:3610A686  Size:5 byte(s)\n"
      "\n      " +
      Path("tree/hello.txt") +
      "\n"
      "      " +
      Path("old/sub/copy.txt") +
      "\n"
      "\nWas found 2 diplicate file(s).\n"
      "Loss 5 byte(s) in duplicate file(s).\n";
  EXPECT_EQ(got.out, expected);
  // other.txt shares its size with the stored stale.txt, so both tree files were read.
  EXPECT_EQ(FilesRead(got.err), 2u);
}

TEST_F(FindDuplicatesTest, UnreadableDataFileLeavesItsTaskEmpty) {
  MakeFile("tree/one", "same");
  MakeFile("tree/two", "same");
  WriteDataFile("junk.crc", "this is no catalogue\n");
  for (const std::string& dataFile : {Path("missing.crc"), Path("junk.crc")}) {
    SCOPED_TRACE(dataFile);
    Captured got = Find({Task("x", "*.*", dataFile), Task("tree")});
    EXPECT_EQ(got.status, kExitTrouble);
    EXPECT_EQ(got.out,
              "\nFile: one                               CRC32:FC50F144  Size:4 byte(s)\n"
              "\n      " +
                  Path("tree/one") +
                  "\n"
                  "      " +
                  Path("tree/two") +
                  "\n"
                  "\nWas found 2 diplicate file(s).\n"
                  "Loss 4 byte(s) in duplicate file(s).\n");
    EXPECT_NE(got.err.find("** Error: "), std::string::npos);
  }
}

TEST_F(FindDuplicatesTest, LinksAndSpecialFilesAreNotCopies) {
  if (kIsWin32) GTEST_SKIP() << "symbolic links and FIFOs are POSIX entries here";
  namespace fs = std::filesystem;
  MakeFile("empty");
  MakeFile("full", "contents");
  MakeDir("dir");
  fs::create_symlink(Path("empty"), Path("to-empty"));
  fs::create_symlink(Path("full"), Path("to-full"));
  fs::create_directory_symlink(Path("dir"), Path("to-dir"));
  ASSERT_EQ(std::system(("mkfifo '" + Path("fifo") + "'").c_str()), 0);

  Captured alone = Find({Task("")});
  EXPECT_EQ(alone.out, "") << "links and the FIFO have size 0 and CRC 0 like the empty file";
  EXPECT_EQ(FilesRead(alone.err), 0u);

  MakeFile("empty2");
  Captured two = Find({Task("")});
  EXPECT_EQ(two.out,
            "\nFile: empty                             CRC32:00000000  Size:0 byte(s)\n"
            "\n      " +
                Path("empty") +
                "\n"
                "      " +
                Path("empty2") +
                "\n"
                "\nWas found 2 diplicate file(s).\n"
                "Loss 0 byte(s) in duplicate file(s).\n");
}

TEST_F(FindDuplicatesTest, HundredThousandEmptyFilesAreOneGroup) {
  const size_t n = 100000;
  std::vector<datafile::StoredRecord> records(n);
  for (size_t i = 0; i < n; ++i) records[i].name = "e" + std::to_string(i);
  WriteDataFile("many.crc", datafile::Image(Path("many") + kPathSep, "*.*", records));

  Captured got = Find({Task("x", "*.*", Path("many.crc"))});
  ASSERT_EQ(got.err.find("Error"), std::string::npos) << got.err;
  EXPECT_EQ(
      got.out.rfind(
          "\nFile: e0                                CRC32:00000000  Size:0 byte(s)\n\n      " +
              Path("many/e0") + "\n",
          0),
      0u);
  std::string tail =
      "      " + Path("many/e99999") +
      "\n\nWas found 100000 diplicate file(s).\nLoss 0 byte(s) in duplicate file(s).\n";
  ASSERT_GE(got.out.size(), tail.size());
  EXPECT_EQ(got.out.substr(got.out.size() - tail.size()), tail);
}

TEST_F(FindDuplicatesTest, DirectoriesAreMarkedDoneAndGroupedFilesToo) {
  MakeFile("d/a", "xy");
  MakeFile("d/b", "xy");
  MakeFile("d/c", "zz");
  std::vector<Table> tasks = {Task("")};
  Capture([&] { return FindDuplicates(tasks, Settings()); });
  ASSERT_EQ(tasks[0].records.size(), 4u);  // d, a, b, c
  EXPECT_EQ(tasks[0].records[0].wStatus, stDONE);
  EXPECT_EQ(tasks[0].records[1].wStatus, stDONE);
  EXPECT_EQ(tasks[0].records[2].wStatus, stDONE);
  EXPECT_EQ(tasks[0].records[3].wStatus, 0);
}

// Equal size and CRC-32 only propose a group: bytes decide, also past the first block read.
TEST_F(FindDuplicatesTest, EqualChecksumsOfOtherBytesAreNoCopies) {
  std::string a = "8 bytes!";
  std::string b = "B-side??";
  ForgeCrc(&b, CrcOf(a));
  ASSERT_EQ(CrcOf(a), CrcOf(b));
  MakeFile("pair/a", a);
  MakeFile("pair/b", b);
  EXPECT_EQ(Find({Task("pair")}).out, "");

  std::mt19937 rng(7);
  std::string big(5 << 19, '\0');  // several blocks when three are read side by side
  for (char& c : big) c = static_cast<char>(rng());
  std::string forged = big;
  forged[forged.size() - 100] ^= 1;
  ForgeCrc(&forged, CrcOf(big));
  MakeFile("three/1", big);
  MakeFile("three/2", forged);
  MakeFile("three/3", big);
  Captured got = Find({Task("three")});
  EXPECT_EQ(got.out, Header("1", CrcOf(big), big.size()) + "\n      " + Path("three/1") +
                         "\n      " + Path("three/3") + "\n" + Totals(2, big.size()));
}

// More files than are read side by side: the group still splits by bytes into its copies.
TEST_F(FindDuplicatesTest, LargeProposedGroupSplitsIntoItsCopies) {
  std::string a(40, 'a');
  std::string b(40, 'b');
  std::string c(40, 'c');
  ForgeCrc(&b, CrcOf(a));
  ForgeCrc(&c, CrcOf(a));
  for (int i = 0; i < 80; ++i) {
    char name[16];
    snprintf(name, sizeof name, "f%02d", i);
    MakeFile(name, i == 3 || i == 70 ? b : i == 50 ? c : a);
  }
  Captured got = Find({Task("")});
  std::string expected = Header("f00", CrcOf(a), 40);
  const char* lead = "\n      ";
  for (int i = 0; i < 80; ++i) {
    if (i == 3 || i == 50 || i == 70) continue;
    char name[16];
    snprintf(name, sizeof name, "f%02d", i);
    expected += lead + Path(name) + "\n";
    lead = "      ";
  }
  expected += Header("f03", CrcOf(a), 40) + "\n      " + Path("f03") + "\n      " + Path("f70") +
              "\n" + Totals(79, 40 * 77);
  EXPECT_EQ(got.out, expected);
}

// Files of one size whose first kibibytes agree are told apart by the rest of their bytes, whether
// compared in memory, side by side or after a checksum each (files of many classes); each
// group carries the checksum of its own bytes, and a forged equal checksum joins none, also when
// every file is forged to one checksum.
TEST_F(FindDuplicatesTest, GroupsThatShareTheirBeginningCarryTheirOwnChecksums) {
  struct Case {
    const char* dir;
    size_t names;
    size_t size;
    size_t classes;
    bool forgeAll;
  };
  std::mt19937 rng(28);
  for (const Case& c : {Case{"kept", 7, 5000, 2, false}, Case{"side", 5, 3 << 20, 2, false},
                        Case{"many", 140, 4200, 70, false}, Case{"forged", 400, 8192, 250, true},
                        Case{"forged-odd", 150, 4099, 100, true}}) {
    SCOPED_TRACE(c.dir);
    std::string a(c.size, '\0');
    for (char& ch : a) ch = static_cast<char>(rng());
    std::vector<std::string> contents;  // of each group, in the order of their first files
    std::vector<std::string> groups;
    std::vector<unsigned> members;
    for (size_t i = 0; i < c.names; ++i) {
      std::string bytes = a;
      bytes[c.size - 7] = static_cast<char>(i % c.classes);
      bytes[c.size - 6] = static_cast<char>(i % c.classes >> 8);
      if (c.forgeAll) {
        ForgeCrc(&bytes, CrcOf(a));
      } else if (i == 2) {
        bytes[c.size / 2] ^= 1;
        ForgeCrc(&bytes, CrcOf(a));
      }
      std::string rel = std::string(c.dir) + "/f" + std::to_string(1000 + i);
      MakeFile(rel, bytes);
      size_t g = std::find(contents.begin(), contents.end(), bytes) - contents.begin();
      if (g == contents.size()) {
        contents.push_back(bytes);
        groups.push_back(Header("f" + std::to_string(1000 + i), CrcOf(bytes), c.size) + "\n");
        members.push_back(0);
      }
      groups[g] += "      " + Path(rel) + "\n";
      ++members[g];
    }
    std::string expected;
    unsigned count = 0;
    uint64_t lost = 0;
    for (size_t g = 0; g < groups.size(); ++g) {
      if (members[g] < 2) continue;
      expected += groups[g];
      count += members[g];
      lost += (members[g] - 1) * c.size;
    }
    Captured got = Find({Task(c.dir)});
    EXPECT_EQ(got.out, expected + Totals(count, lost));
    EXPECT_EQ(FilesRead(got.err), c.names);
  }
}

TEST_F(FindDuplicatesTest, NamesOfOneFileCountOnce) {
  namespace fs = std::filesystem;
  MakeFile("a", "contents");
  std::error_code error;
  fs::create_hard_link(Path("a"), Path("b"), error);
  if (error) GTEST_SKIP() << "no hard links here: " << error.message();
  EXPECT_EQ(Find({Task("")}).out, "") << "two names of one file are no copies";

  MakeFile("c", "contents");
  EXPECT_EQ(Find({Task("")}).out, Header("a", CrcOf("contents"), 8) + "\n      " + Path("a") +
                                      "\n      " + Path("b") + "\n      " + Path("c") + "\n" +
                                      Totals(3, 8));
}

TEST_F(FindDuplicatesTest, FilesThatChangeAfterTheirChecksumLeaveTheGroup) {
  for (const char* name : {"a", "b", "c", "d", "e"}) MakeFile(name, "twelve bytes");
  std::vector<Table> tasks = {Task("")};
  Capture([&] {
    tasks[0].BuildTree(1, WalkRules());
    tasks[0].ChecksumPass(WalkRules());
    return 0;
  });
  MakeFile("b", "twelve bytez");           // same size, other bytes
  MakeFile("c", "twelve");                 // shorter
  MakeFile("d", "twelve bytes and more");  // longer
  Captured got = Capture([&] { return ReportDuplicates(tasks, Settings()); });
  EXPECT_EQ(got.out, Header("a", CrcOf("twelve bytes"), 12) + "\n      " + Path("a") + "\n      " +
                         Path("e") + "\n" + Totals(2, 12));
}

// A catalogue's members are compared by their bytes where they can be read now; those gone
// keep the size-and-CRC rule, except a file that was never checksummed.
TEST_F(FindDuplicatesTest, StoredMembersAreReadWhereTheyStillExist) {
  MakeFile("tree/hello.txt", "hello");
  MakeFile("tree/changed.txt", "jello");
  MakeFile("live/copy", "hello");
  uint32_t hello = CrcOf("hello");
  WriteDataFile("cat.crc", datafile::Image(Path("tree") + kPathSep, "*.*",
                                           {{"hello.txt", 0x20, 5, hello, 0},
                                            {"changed.txt", 0x20, 5, hello, 0},
                                            {"gone.txt", 0x20, 5, hello, 0},
                                            {"nocrc1", 0x20, 7, 0, 0},
                                            {"nocrc2", 0x20, 7, 0, 0}}));
  Captured got = Find({Task("x", "*.*", Path("cat.crc")), Task("live")});
  EXPECT_EQ(got.out, Header("hello.txt", hello, 5) + "\n      " + Path("tree/hello.txt") +
                         "\n      " + Path("tree/gone.txt") + "\n      " + Path("live/copy") +
                         "\n" + Totals(3, 10));
}

// A catalogue's files are judged by their bytes where they can be read now: stored without a
// checksum they join their copies in a live tree, changed since they carry the checksum of
// their bytes now, and one that cannot be read is named with its reason.
TEST_F(FindDuplicatesTest, CatalogueMembersAreJudgedByTheirBytesNow) {
  struct Case {
    std::string dir;
    std::vector<datafile::StoredRecord> stored;            // of dir/tree
    std::vector<std::pair<std::string, std::string>> now;  // files under dir and their bytes
    std::vector<std::string> group;  // its members under dir, none when there is no group
    std::string bytes;               // the group's bytes now
    std::string warned;              // the file under dir named with "No such file...", or ""
  };
  uint32_t old = CrcOf("old!");
  const Case cases[] = {
      {"nc",
       {{"x", 0x20, 4, 0, 0}, {"y", 0x20, 4, 0, 0}},
       {{"tree/x", "abcd"}, {"tree/y", "abce"}, {"live/c", "abcd"}},
       {"tree/x", "live/c"},
       "abcd",
       ""},
      {"changed",
       {{"p", 0x20, 4, old, 0}, {"q", 0x20, 4, old, 0}},
       {{"tree/p", "new!"}, {"tree/q", "new!"}, {"live/c", "old?"}},
       {"tree/p", "tree/q"},
       "new!",
       ""},
      {"gone",
       {{"g", 0x20, 4, CrcOf("abcd"), 0}},
       {{"live/c", "abcd"}, {"live/d", "abcd"}},
       {"tree/g", "live/c", "live/d"},
       "abcd",
       "tree/g"},
      {"nc-gone",
       {{"x", 0x20, 4, 0, 0}},
       {{"tree/other", "abcd"}, {"live/c", "abcd"}},
       {},
       "",
       "tree/x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dir);
    MakeDir(c.dir + "/tree");
    for (const auto& f : c.now) MakeFile(c.dir + "/" + f.first, f.second);
    WriteDataFile(c.dir + ".crc",
                  datafile::Image(Path(c.dir + "/tree") + kPathSep, "*.*", c.stored));
    Captured got = Find({Task("x", "*.*", Path(c.dir + ".crc")), Task(c.dir + "/live")});
    std::string expected;
    if (!c.group.empty()) {
      std::string first = c.group[0].substr(c.group[0].rfind('/') + 1);
      expected = Header(first, CrcOf(c.bytes), 4) + "\n";
      for (const std::string& m : c.group) expected += "      " + Path(c.dir + "/" + m) + "\n";
      expected += Totals(static_cast<unsigned>(c.group.size()), 4 * (c.group.size() - 1));
    }
    EXPECT_EQ(got.out, expected);
    std::string warning =
        " *** Warning: No such file or directory: " + Path(c.dir + "/" + c.warned);
    EXPECT_EQ(got.err.find(warning) != std::string::npos, !c.warned.empty()) << got.err;
  }
}

}  // namespace
