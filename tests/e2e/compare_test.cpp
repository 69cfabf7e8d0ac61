// Compare end to end: changed, new and missing entries between two trees or a catalogue and a tree.
#include <filesystem>
#include <string>

#include "platform/platform.h"
#include "tests/support/e2e.h"

namespace e2e {
namespace {

class CompareTest : public E2eTest {
 protected:
  void SetUp() override {
    E2eTest::SetUp();
    for (const char* side : {"one", "two"}) {
      std::string s = side;
      MakeFile(s + "/same.txt", "same");
      MakeFile(s + "/dir/inner.txt", "inner");
    }
  }

  RunResult Compare(std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"-mc", "-s"};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(Path("one"));
    args.push_back(Path("two"));
    return Run(args);
  }

  void SetAllTimes(const std::string& side, int64_t when) {
    for (auto& e : std::filesystem::recursive_directory_iterator(Path(side)))
      SetMtime(side + "/" + std::filesystem::relative(e.path(), Path(side)).generic_string(), when);
  }

  std::string Header(const std::string& one, const std::string& two) {
    return "\n\n-----------------------------------------------  {*}\n\n"
           " *** Compare two file trees.\n *** [ Path 1 ]  -> [ Path 2]\n\n"
           " *** Path 1: " +
           one + kPathSep + "\n *** Path 2: " + two + kPathSep + "\n\n";
  }
};

TEST_F(CompareTest, IdenticalTreesPrintOnlyTwoBlankLines) {
  SetAllTimes("one", 1000000000);
  SetAllTimes("two", 1000000000);
  RunResult r = Compare();
  EXPECT_EQ(kExitClean, r.status);
  EXPECT_EQ("\n\n", r.out);
  EXPECT_FALSE(Exists("vantel32.crc"));  // Compare writes nothing
}

TEST_F(CompareTest, ChangedNewAndMissingSections) {
  MakeFile("one/gone.txt", "only in one");
  MakeFile("two/extra/added.txt", "only in two");
  MakeFile("one/size.txt", std::string(100, 's'));
  MakeFile("two/size.txt", std::string(90, 's'));
  MakeFile("one/content.txt", "alpha");
  MakeFile("two/content.txt", "ALPHA");
  SetAllTimes("one", 1000000000);
  SetAllTimes("two", 1000000000);
  SetMtime("two/dir", 1100000000);  // a directory's write time is not compared
  SetMtime("two/same.txt", 1000000060);

  RunResult r = Compare();
  EXPECT_EQ(kExitFinding, r.status);
  std::string two = Path("two") + kPathSep;
  EXPECT_TRUE(MatchText(Header(Path("one"), Path("two")) +
                            " *** Path 2 contains changed files or directories:\n\n"
                            "# " +
                            two +
                            "content.txt\n"
                            "     CRC32 :  D0E0396A  ->  27B4FBDA\n\n"
                            "# " +
                            two +
                            "same.txt\n"
                            "     Write :  09-Sep-2001  01:46:40  ->  09-Sep-2001  01:47:40\n\n"
                            "# " +
                            two +
                            "size.txt\n"
                            "     Size  :  90 (-10) byte(s)\n\n"
                            "\n"
                            " *** Path 2 contains new files or directories:\n\n"
                            "+ Dir:  " +
                            two +
                            "extra\n"
                            "+ File: " +
                            two + Sep("extra/added.txt") +
                            "\n"
                            "\n"
                            " *** Path 2 NOT contains files or directories:\n\n"
                            "- File: " +
                            two + "gone.txt\n",
                        r.out))
      << r.out;
  EXPECT_FALSE(Exists("vantel32.crc"));
}

TEST_F(CompareTest, NoCrcReadsNoContents) {
  MakeFile("one/content.txt", "alpha");
  MakeFile("two/content.txt", "ALPHA");
  RunResult r = Compare({"-nt", "-nc"});
  EXPECT_EQ("\n\n", r.out);
}

TEST_F(CompareTest, PathOneFromACatalogueShowsItsStoredPath) {
  ASSERT_EQ(kExitClean, Run({"-ms", "-s", Path("one"), "-fc", "one.crc"}).status);
  std::filesystem::rename(Path("one"), Path("moved"));
  MakeFile("two/new.txt", "n");
  RunResult r = Run({"-mc", "-s", "-nt", Path("one.crc"), Path("two")});
  EXPECT_EQ(kExitFinding, r.status);
  EXPECT_TRUE(MatchText("\n" + Header(Path("one"), Path("two")) +
                            " *** Path 2 contains new files or directories:\n\n"
                            "+ File: " +
                            Path("two") + kPathSep + "new.txt\n\n",
                        r.out))
      << r.out << r.err;
}

// Without the first line (the banner's clock) and with each side's start path as "{N}".
std::string Body(std::string out, const std::string& one, const std::string& two) {
  out.erase(0, out.find("\n *** Compare"));
  for (const std::string* from : {&one, &two})
    for (size_t at; (at = out.find(*from)) != std::string::npos;)
      out.replace(at, from->size(), from == &one ? "{1}" : "{2}");
  return out;
}

TEST_F(CompareTest, StoredComparesTwoCataloguesOffline) {
  MakeFile("one/gone.txt", "only in one");
  MakeFile("two/extra/added.txt", "only in two");
  MakeFile("two/dir/inner.txt", "INNER");
  SetAllTimes("one", 1000000000);
  SetAllTimes("two", 1000000000);
  SetMtime("two/same.txt", 1000000060);
  for (const char* side : {"one", "two"})
    ASSERT_EQ(kExitClean, Run({"-ms", "-s", Path(side), "-fc", std::string(side) + ".crc"}).status);
  // Its records say what a live walk of the tree they catalogue finds.
  RunResult live = Run({"-mc", "-s", Path("one.crc"), Path("two")});
  std::filesystem::rename(Path("one"), Path("one-elsewhere"));
  std::filesystem::rename(Path("two"), Path("two-elsewhere"));
  RunResult offline = Run({"-mc", "-s", "--stored", Path("one.crc"), Path("two.crc")});
  EXPECT_EQ(kExitFinding, offline.status) << offline.err;
  EXPECT_EQ(Body(live.out, Path("one"), Path("two")), Body(offline.out, Path("one"), Path("two")));
  for (const std::string& line :
       {Sep("# {2}/dir/inner.txt\n     CRC32 :  "), Sep("# {2}/same.txt\n     Write :  "),
        Sep("+ File: {2}/extra/added.txt\n"), Sep("- File: {2}/gone.txt\n")})
    EXPECT_NE(std::string::npos, Body(offline.out, Path("one"), Path("two")).find(line)) << line;

  // A catalogue made without checksums (-nc) holds no contents to compare.
  ASSERT_EQ(kExitClean, Run({"-ms", "-s", "-nc", Path("two-elsewhere"), "-fc", "nc.crc"}).status);
  RunResult nc = Run({"-mc", "-s", "--stored", Path("one.crc"), Path("nc.crc")});
  EXPECT_EQ(std::string::npos, nc.out.find("CRC32 :")) << nc.out;

  // Without --stored the second catalogue stands for its tree, which is gone; and --stored takes
  // a data file only.
  RunResult gone = Run({"-mc", "-s", Path("one.crc"), Path("two.crc")});
  EXPECT_EQ(kExitTrouble, gone.status);
  EXPECT_NE(std::string::npos, gone.err.find(", not from the data file " + Path("two.crc") +
                                             "\n *** --stored compares with the records of the "
                                             "data file.\n"))
      << gone.err;
  EXPECT_EQ(std::string::npos, offline.err.find("read live")) << offline.err;
  RunResult dir = Run({"-mc", "--stored", Path("one.crc"), Path("two-elsewhere")});
  EXPECT_EQ(kExitTrouble, dir.status);
  EXPECT_NE(std::string::npos, dir.err.find(" *** Error: --stored takes a data file as the "
                                            "second path: " +
                                            Path("two-elsewhere") + "\n"));
}

// Path 2 live or from its catalogue (--stored) goes through one matcher: the same report, in
// the live walk's order, whatever Path 1 is; a file stored without a CRC is not compared by
// its contents, on either side.
TEST_F(CompareTest, LiveAndStoredPathTwoReportTheSameBytes) {
  namespace fs = std::filesystem;
  MakeFile("one/a.txt", "alpha");
  MakeFile("two/a.txt", "ALPHA");
  MakeFile("one/c.txt", "gamma");
  MakeFile("two/c.txt", "gamma, longer");
  MakeFile("one/b/k.txt", "kept");
  MakeFile("two/b/k.txt", "KEPT");
  MakeFile("one/gone.txt", "gone");
  MakeFile("two/B2/new.txt", "new");
  MakeFile("two/b1.txt", "new too");
  SetAllTimes("one", 1000000000);
  SetAllTimes("two", 1000000000);
  SetMtime("two/c.txt", 1000000060);
  struct Catalogue {
    const char* side;
    const char* name;
    bool noCrc;
  };
  for (const Catalogue& c :
       {Catalogue{"one", "one.crc", false}, Catalogue{"one", "one-nc.crc", true},
        Catalogue{"two", "two.crc", false}, Catalogue{"two", "two-nc.crc", true}}) {
    std::vector<std::string> args = {"-ms", "-s", Path(c.side), "-fc", c.name};
    if (c.noCrc) args.insert(args.begin() + 2, "-nc");
    ASSERT_EQ(kExitClean, Run(args).status) << c.name;
  }
  struct Case {
    std::string one;     // Path 1 as given
    const char* stored;  // Path 2's catalogue
    bool contents;       // both sides know the CRCs: the live tree's report, CRC32 lines
  };
  for (const Case& c :
       {Case{Path("one"), "two.crc", true}, Case{Path("one.crc"), "two.crc", true},
        Case{Path("one-nc.crc"), "two.crc", false}, Case{Path("one"), "two-nc.crc", false}}) {
    SCOPED_TRACE(c.one + " " + c.stored);
    RunResult offline = Run({"-mc", "-s", "--stored", c.one, Path(c.stored)});
    EXPECT_EQ(kExitFinding, offline.status) << offline.err;
    std::string body = Body(offline.out, Path("one"), Path("two"));
    if (c.contents || c.one != Path("one")) {
      RunResult live = Run({"-mc", "-s", c.one, Path("two")});
      EXPECT_EQ(Body(live.out, Path("one"), Path("two")), body);
    }
    EXPECT_EQ(c.contents, body.find("CRC32 :") != std::string::npos) << body;
    EXPECT_NE(body.find(Sep("# {2}/c.txt\n     Write :")), std::string::npos) << body;
    // Names in the order the system lists them, files and folders together.
    EXPECT_LT(body.find(Sep("+ File: {2}/b1.txt")), body.find(Sep("+ Dir:  {2}/B2"))) << body;
  }
}

TEST_F(CompareTest, NeedsExactlyTwoTasks) {
  RunResult r = Run({"-mc", Path("one")});
  EXPECT_EQ(kExitTrouble, r.status);
  EXPECT_EQ("", r.out);
  EXPECT_NE(std::string::npos, r.err.find(" *** Internal Error: compare() requires 2 tasks.\n"));
}

}  // namespace
}  // namespace e2e
