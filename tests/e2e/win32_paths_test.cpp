// Names the ANSI code page cannot spell, which the Win32 build reaches through 8.3 aliases;
// names and depths that only the wide functions reach; catalogues that stay the same bytes. The
// trees are made through the wide functions by the test itself: nothing is set on the host.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/table.h"
#include "platform/platform.h"
#include "tests/support/bytes.h"
#include "tests/support/catalogue.h"
#include "tests/support/e2e.h"
#include "tests/support/nodes.h"
#include "tests/support/touch.h"

namespace e2e {
namespace {

// The lines of text that hold part.
std::string Filter(const std::string& text, const std::string& part) {
  std::istringstream lines(text);
  std::string out;
  for (std::string line; std::getline(lines, line);)
    if (line.find(part) != std::string::npos) out += line + "\n";
  return out;
}

class Win32PathsTest : public E2eTest {
 protected:
  // The trees hold names that only the wide functions reach.
  void TearDown() override { RemoveUtf8Tree(Path("tree")); }

  void Dir(const std::string& rel) { ASSERT_EQ(0, MakeUtf8Entry(Path(rel), nullptr)) << rel; }
  void File(const std::string& rel, const std::string& text) {
    ASSERT_EQ(0, MakeUtf8Entry(Path(rel), &text)) << rel;
  }

  // Every file row of an "-ol -of 'CC FP'" listing: its path, as printed, must open and hold
  // bytes of the printed checksum. Returns the number of such rows.
  size_t CheckListedFiles(const std::string& listing) {
    size_t files = 0;
    for (const auto& row : FileRows(listing)) {
      std::ifstream in(row.first, std::ios::binary);
      std::ostringstream bytes;
      bytes << in.rdbuf();
      EXPECT_TRUE(in.good() || in.eof()) << row.first;
      EXPECT_EQ(row.second, Hex(CrcOf(bytes.str()))) << row.first;
      ++files;
    }
    return files;
  }

  // The file rows of an "-ol -of 'CC FP'" listing: each path with its checksum.
  static std::map<std::string, std::string> FileRows(const std::string& listing) {
    std::map<std::string, std::string> rows;
    std::istringstream lines(listing);
    for (std::string line; std::getline(lines, line);) {
      // A directory's row has no checksum.
      if (line.size() < 11 || line.compare(8, 2, "  ") != 0 ||
          line.find_first_not_of("0123456789ABCDEF") != 8)
        continue;
      rows[line.substr(10)] = line.substr(0, 8);
    }
    return rows;
  }
};

TEST_F(Win32PathsTest, NamesTheCodePageCannotSpellAreReachedThroughTheirAliases) {
  if (!kIsWin32) GTEST_SKIP() << "POSIX names are bytes: none is lost";
  Dir("tree");
  File("tree/\xD0\xB4\xD0\xBE\xD0\xBC.txt", "house");  // Cyrillic, ???.txt in code page 1252
  File("tree/\xD0\xBC\xD0\xB8\xD1\x80.txt", "peace");  // the same ???.txt
  Dir("tree/\xE6\x97\xA5\xE6\x9C\xAC");                // CJK directory
  File("tree/\xE6\x97\xA5\xE6\x9C\xAC/\xE6\x96\x87.txt", "document");
  File("tree/\xE6\x97\xA5\xE6\x9C\xAC/copy.txt", "house");

  RunResult info = Run({"-s", "-ol", "-of", "CC FP", Path("tree")});
  EXPECT_EQ(kExitClean, info.status);
  EXPECT_EQ(4u, CheckListedFiles(info.out)) << info.out;
  EXPECT_EQ(std::string::npos, info.out.find('?')) << info.out;
  EXPECT_EQ(std::string::npos, info.err.find("Warning")) << info.err;

  // Only the two files of equal contents are duplicates, not the two ???.txt.
  RunResult dup = Run({"-md", "-s", Path("tree")});
  EXPECT_EQ(1u, Count(dup.out, "CRC32:")) << dup.out;
  EXPECT_EQ(1u, Count(dup.out, "CRC32:" + Hex(CrcOf("house")))) << dup.out;

  RunResult first = Run({"-ms", "-s", Path("tree")});
  EXPECT_EQ("", first.out);
  EXPECT_EQ("\n\n", Run({"-ms", "-s", Path("tree")}).out);
  EXPECT_EQ(std::string::npos,
            Run({"-mc", "-s", Path("vantel32.crc"), Path("tree")}).out.find("File:"));
}

// The file system's own names, which the ANSI functions of Win32 would take for devices, cut
// or look up by a look-alike: each is a file with its own bytes, and a second Scan of the
// unchanged tree reports nothing.
TEST_F(Win32PathsTest, EveryNameIsAFileWithItsOwnBytes) {
  if (!kIsWin32) GTEST_SKIP() << "POSIX names are bytes: no devices, dots or look-alikes";
  std::vector<std::string> names = {"aux.txt",     "AUX",         "COM1",     "CON",   "NUL",
                                    "PRN",         "LPT1",        "notes.",   "notes", "end ",
                                    "dir./in.txt", "dir /in.txt", "Omega.txt"};
  const std::string omega = "\xCE\xA9mega.txt";  // best fit would read Omega.txt
  // 30 levels of 20 characters: past MAX_PATH even in 8.3 form.
  std::string deep = "deep";
  for (int level = 10; level < 40; ++level)
    deep += "/level-" + std::to_string(level) + "-xxxxxxxxxxx";
  names.push_back(deep + "/leaf.txt");
  Dir("tree");
  for (const char* dir : {"dir.", "dir ", "deep"}) Dir(std::string("tree/") + dir);
  for (size_t at = deep.find('/'); at != std::string::npos; at = deep.find('/', at + 1))
    Dir("tree/" + deep.substr(0, deep.find('/', at + 1)));
  for (const std::string& name : names) File("tree/" + name, "bytes of " + name);
  File("tree/" + omega, "bytes of omega");

  // Standard input holds what a keyboard would have typed, were CON read as the console.
  RunResult info = Run({"-s", "-ol", "-of", "CC FP", Path("tree")}, "typed\n");
  EXPECT_EQ(kExitClean, info.status);
  EXPECT_EQ("", Filter(info.err, "Warning"));
  std::map<std::string, std::string> rows = FileRows(info.out);
  for (const std::string& name : names)
    EXPECT_EQ(Hex(CrcOf("bytes of " + name)), rows[Path("tree/" + name)]) << name;
  ASSERT_EQ(names.size() + 1, rows.size()) << info.out;
  size_t omegas = 0;
  for (const auto& row : rows) omegas += row.second == Hex(CrcOf("bytes of omega"));
  EXPECT_EQ(1u, omegas) << info.out;

  Run({"-ms", "-s", Path("tree")});
  EXPECT_EQ("\n\n", Run({"-ms", "-s", Path("tree")}).out);
}

// Wine's 8.3 aliases come from a hash that ignores case, so that names which differ only in
// case share one, and an alias may be another entry's name: it then opens that entry. A name
// reached through such an alias would take another file's bytes; it is left out instead.
TEST_F(Win32PathsTest, AnAliasThatOpensAnotherEntryIsNotUsed) {
  if (!kIsWin32) GTEST_SKIP() << "POSIX names are bytes: none needs an alias";
  // The alias the name gets, learnt in a folder of its own: a file created under an alias
  // would be the aliased file.
  const std::string omega = "\xCE\xA9mega.txt";
  Dir("tree");
  Dir("tree/learn");
  File("tree/learn/" + omega, "omega");
  std::map<std::string, std::string> rows =
      FileRows(Run({"-ol", "-of", "CC FP", Path("tree/learn")}).out);
  ASSERT_EQ(1u, rows.size());
  ASSERT_EQ(Hex(CrcOf("omega")), rows.begin()->second);
  std::string alias = rows.begin()->first.substr(Path("tree/learn/").size());
  File("tree/" + alias, "the alias's own name");
  File("tree/" + omega, "omega");

  RunResult info = Run({"-ol", "-of", "CC FP", Path("tree")});
  rows = FileRows(info.out);
  EXPECT_EQ(1u, rows.size()) << info.out;
  EXPECT_EQ(Hex(CrcOf("the alias's own name")), rows[Path("tree/" + alias)]);
  EXPECT_EQ(" *** Warning: Name not representable in the ANSI code page, skipped: " +
                Path("tree/?mega.txt") + "\n",
            Filter(info.err, "Warning"));
}

TEST_F(Win32PathsTest, TwoSavesOfAnUnchangedTreeAreTheSameBytes) {
  MakeFile("tree/a.txt", "alpha");
  MakeFile("tree/sub/b.txt", "beta");
  MakeFile("tree/sub/deeper/c.txt", "gamma");
  // The first run reads every file, which may move access times once.
  Run({"-ms", "-s", Path("tree"), "-fc", Path("settle.crc")});
  Run({"-ms", "-s", Path("tree"), "-fc", Path("one.crc")});
  Run({"-ms", "-s", Path("tree"), "-fc", Path("two.crc")});
  ASSERT_TRUE(Exists("two.crc"));
  EXPECT_EQ(ReadFile("one.crc"), ReadFile("two.crc"));
  Table t = ReadCatalogue(Path("two.crc"));
  ASSERT_EQ(5u, t.records.size());
  for (const Record& r : t.records) {
    EXPECT_EQ(0u, r.dwReserved0) << r.LongName();
    EXPECT_EQ(0u, r.dwReserved1) << r.LongName();
  }
}

TEST_F(Win32PathsTest, AHiddenCatalogueStaysHiddenWhenSaved) {
  MakeFile("tree/a.txt", "alpha");
  Run({"-ms", "-s", Path("tree"), "-fc", Path("cat.crc")});
  int hidden = SetHidden(Path("cat.crc").c_str());
  if (hidden < 0) GTEST_SKIP() << "hidden is a leading dot here, not an attribute";
  ASSERT_EQ(0, hidden);
  for (const char* name : {"tree/b.txt", "tree/c.txt"}) {
    MakeFile(name, name);
    RunResult r = Run({"-ms", "-s", Path("tree"), "-fc", Path("cat.crc")});
    EXPECT_NE(std::string::npos, r.out.find("+ File: " + Path(name))) << r.out;
    WIN32_FIND_DATAA fd = {};
    HANDLE h = FindFirstFileA(Path("cat.crc").c_str(), &fd);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    FindClose(h);
    EXPECT_NE(0u, fd.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) << name;
  }
}

// What is typed is what is reached: a name the code page cannot spell is never read as its
// look-alike (a switch, a separator, another file, a wildcard). It names its entry through the
// entry's alias, or is refused.
TEST_F(Win32PathsTest, TypedArgumentsAreReachedAsTypedOrRefused) {
  if (!kIsWin32) GTEST_SKIP() << "POSIX arguments are bytes: none is converted";
  for (const char* dir : {"tree", "tree/\u03A9dir"}) Dir(dir);
  for (const char* name : {"Omega.txt", "y", "abc.txt", "x", "\u03A9mega.txt", "\u03A9dir/f.txt"})
    File(std::string("tree/") + name, name);
  struct Case {
    std::vector<std::string> args;
    const char* listed;  // the contents of the file listed
    std::string error;   // the argument as its refusal shows it
  } cases[] = {
      {{"\u03A9mega.txt"}, "\u03A9mega.txt", ""},
      {{"\u03A9dir\\*.txt"}, "\u03A9dir/f.txt", ""},
      {{"\uFF0Dms"}, nullptr, "?ms"},                    // a full-width hyphen
      {{"x\uFF3C..\uFF3Cy"}, nullptr, "x?..?y"},         // full-width backslashes
      {{"\u65E5\u672C\u8A9E.txt"}, nullptr, "???.txt"},  // never the mask ???.txt
      {{"y", "-fc", "\u03A9.crc"}, nullptr, "?.crc"},    // never a data file ?.crc
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"-ol", "-of", "CC FP"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    RunResult r = Run(args, "", "tree");
    std::string listed;
    for (const auto& row : FileRows(r.out)) listed += row.second;
    EXPECT_EQ(c.listed ? Hex(CrcOf(c.listed)) : "", listed) << c.args[0] << "\n" << r.out;
    EXPECT_EQ(
        c.error.empty()
            ? ""
            : " *** Error: Argument not representable in the ANSI code page: " + c.error + "\n",
        Filter(r.err, "***"));
    EXPECT_EQ(c.listed ? kExitClean : kExitTrouble, r.status) << c.args[0];
  }
}

// Entries that come back from the file system alike are never given one another's CRC: each
// listed path holds the bytes listed for it, and what cannot be told apart is skipped with a
// warning that shows the name as the file system holds it. The names are made on the host.
TEST_F(Win32PathsTest, EntriesThatComeBackAlikeAreEachTheirOwn) {
  if (!kIsWin32) GTEST_SKIP() << "POSIX names are bytes: none comes back alike";
  const std::string skipped = ", skipped: " + Sep(Path("tree/"));
  struct Case {
    std::vector<std::string> names;
    size_t listed;
    std::string warning;  // the reason and the name shown
  } cases[] = {
      {{"a.txt", "A.txt"}, 2, ""},
      {{"\u03A9mega.txt", "\u03A9MEGA.txt"}, 1, "Name not representable in the ANSI code page"},
      {{"a\uF03Ab.txt"}, 1, ""},  // a name like any other, reached through its alias
      {{"a:b.txt"}, 0, "Name with a character Win32 names cannot hold" + skipped + "a:b.txt"},
      {{"bad\xFF.txt", "bad\xFE.txt"},
       1,
       "Name the same as another entry's" + skipped + "bad?.txt"},
  };
  for (const Case& c : cases) {
    RemoveUtf8Tree(Path("tree"));
    Dir("tree");
    char contents = 'a';
    for (const std::string& name : c.names)
      if (MakeHostRawName(Path("tree"), name, contents++) != 0) GTEST_SKIP() << "not under Wine";
    RunResult r = Run({"-ol", "-of", "CC FP", Path("tree")});
    EXPECT_EQ(c.listed, CheckListedFiles(r.out)) << r.out;
    std::string warnings = Filter(r.err, "Warning");
    EXPECT_EQ(c.warning.empty() ? "" : " *** Warning: " + c.warning,
              warnings.substr(0, warnings.empty() ? 0 : 14 + c.warning.size()));
    EXPECT_EQ(c.warning.empty() ? 0u : 1u, Count(warnings, "\n")) << warnings;
    EXPECT_EQ(c.warning.empty() ? kExitClean : kExitTrouble, r.status) << warnings;
    // A tree and its unchanged self: nothing to report.
    Run({"-ms", "-s", Path("tree"), "-fc", Path("alike.crc")});
    EXPECT_EQ("\n\n", Run({"-ms", "-s", Path("tree"), "-fc", Path("alike.crc")}).out);
    _unlink(Path("alike.crc").c_str());
  }
}

// Under Wine names that differ only in case share one alias: once the file stored under it is
// gone, the other takes it. A new CRC there is a change, never damage kept for every Scan.
TEST_F(Win32PathsTest, AnAliasTakenOverIsAChangeNotDamage) {
  if (!kIsWin32) GTEST_SKIP() << "POSIX names are bytes: none needs an alias";
  Dir("tree");
  for (const char* name : {"\xCE\xA9mega.txt", "\xCE\xA9MEGA.txt"})
    if (MakeHostRawName(Path("tree"), name, name[2]) != 0) GTEST_SKIP() << "not under Wine";
  RunResult first = Run({"-ms", "-s", Path("tree")});
  ASSERT_EQ(kExitTrouble, first.status) << first.err;  // one of them cannot be reached
  std::map<std::string, std::string> rows =
      FileRows(Run({"-ol", "-of", "CC FP", Path("tree")}).out);
  ASSERT_EQ(1u, rows.size());
  ASSERT_EQ(0, _unlink(rows.begin()->first.c_str()));  // the alias opens the stored file
  RunResult second = Run({"-ms", "-s", Path("tree")});
  EXPECT_FALSE(Has(second.out, "Damaged")) << second.out;
  EXPECT_TRUE(Has(second.out, "CRC32 :")) << second.out;
  EXPECT_EQ("\n\n", Run({"-ms", "-s", Path("tree")}).out);
}

}  // namespace
}  // namespace e2e
