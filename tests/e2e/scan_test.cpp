// Scan end to end: first run, changes reported, catalogues saved and kept.
#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <tuple>

#include "core/table.h"
#include "platform/platform.h"
#include "tests/support/catalogue.h"
#include "tests/support/e2e.h"

namespace e2e {
namespace {

class ScanTest : public E2eTest {
 protected:
  void SetUp() override {
    E2eTest::SetUp();
    MakeFile("tree/a.txt", "alpha");
    MakeFile("tree/b.txt", std::string(1024, 'b'));
    MakeFile("tree/sub/c.txt", "gamma");
    MakeFile("tree/sub/deep/d.txt", "delta");
  }

  // A scan of the tree with the default data file and the given extra switches, /nt unless
  // times are wanted: the tests change contents faster than a clock tick.
  RunResult Scan(std::vector<std::string> extra = {"-nt"}) {
    std::vector<std::string> args = {"-ms", "-s"};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(Path("tree"));
    return Run(args);
  }

  std::string T(const std::string& rel) { return Path("tree/" + rel); }

  // The entries a data file holds: path, kind, size, checksum, mark.
  using Entry = std::tuple<std::string, bool, uint64_t, uint32_t, bool>;
  std::set<Entry> Stored(const std::string& dataFile) {
    Table t = ReadCatalogue(Path(dataFile));
    std::set<Entry> entries;
    char path[2 * MAX_PATH];
    for (unsigned i = 0; i < t.records.size(); ++i) {
      const Record& r = t.records[i];
      t.ComposeLongPath(i, path, sizeof path);
      entries.emplace(path, r.IsDir(), r.qwSize, r.dwCRC, (r.dwAttr & atNOMATCH) != 0);
    }
    return entries;
  }
};

TEST_F(ScanTest, FirstRunCreatesTheCatalogueAndAnUnchangedTreeReportsNothing) {
  RunResult first = Scan();
  EXPECT_EQ(kExitClean, first.status);
  EXPECT_EQ("", first.out);
  ASSERT_TRUE(Exists("vantel32.crc"));
  std::string saved = ReadFile("vantel32.crc");

  RunResult again = Scan();
  EXPECT_EQ(kExitClean, again.status);
  EXPECT_EQ("\n\n", again.out);
  EXPECT_EQ(saved, ReadFile("vantel32.crc"));
}

// --quiet: a run that found nothing writes nothing to either stream (cron mails nothing); one
// that found a change writes the report alone.
TEST_F(ScanTest, QuietRunsWriteOnlyWhatChanged) {
  Scan();
  RunResult same = Scan({"-nt", "--quiet", "--moves"});
  RunResult compared = Run({"-mc", "-s", "--quiet", Path("tree"), Path("tree")});
  EXPECT_EQ("", same.out + same.err + compared.out + compared.err);
  MakeFile("tree/new.txt", "n");
  RunResult changed = Scan({"-nt", "--quiet"});
  EXPECT_EQ("", changed.err);
  EXPECT_TRUE(MatchText("\n\n-----{*}\n\n+ File: " + T("new.txt") + "\n\n\nFiles:{*}\nDirs :{*}\n",
                        changed.out));
}

TEST_F(ScanTest, ReportsChangedNewAndMissingEntries) {
  Scan();
  MakeFile("tree/a.txt", "ALPHA");                 // same size, other contents
  MakeFile("tree/b.txt", std::string(1000, 'b'));  // shrank by 24
  std::filesystem::rename(Path("tree/sub/c.txt"), Path("tree/sub/renamed.txt"));
  std::filesystem::remove_all(Path("tree/sub/deep"));
  MakeFile("tree/new/inner/e.txt", "epsilon");

  RunResult r = Scan();
  EXPECT_EQ(kExitClean, r.status);
  EXPECT_TRUE(
      MatchText("\n\n-----------------------------------------------  {*}\n\n"
                "# " +
                    T("a.txt") +
                    "\n"
                    "     CRC32 :  D0E0396A  ->  27B4FBDA\n\n"
                    "# " +
                    T("b.txt") +
                    "\n"
                    "     Size  :  1000 (-24) byte(s)\n\n"
                    "+ Dir:  " +
                    T("new") +
                    "\n"
                    "+ Dir:  " +
                    T("new/inner") +
                    "\n"
                    "+ File: " +
                    T("new/inner/e.txt") +
                    "\n"
                    "+ File: " +
                    T("sub/renamed.txt") +
                    "\n\n"
                    "- Dir:  " +
                    T("sub/deep") +
                    "\n"
                    "- File: " +
                    T("sub/c.txt") +
                    "\n"
                    "- File: " +
                    T("sub/deep/d.txt") +
                    "\n\n"
                    "Files:   2 changed,   2 deleted,   2 new\n"
                    "Dirs :   0 changed,   1 deleted,   2 new\n",
                r.out));

  // The next scan finds the catalogue current.
  EXPECT_EQ("\n\n", Scan().out);
}

TEST_F(ScanTest, SwitchesSilenceTheirChecks) {
  Scan();
  MakeFile("tree/a.txt", "ALPHA");
  MakeFile("tree/b.txt", std::string(1000, 'b'));
  EXPECT_EQ("\n\n", Scan({"-nt", "-ns", "-r"}).out);  // /ns also silences the checksum
  RunResult onlySize = Scan({"-nt", "-nc", "-r"});
  EXPECT_NE(std::string::npos, onlySize.out.find("Size  :  1000 (-24) byte(s)"));
  EXPECT_EQ(std::string::npos, onlySize.out.find("CRC32 :"));
}

TEST_F(ScanTest, ReadOnlyReportsButKeepsTheFile) {
  Scan();
  std::string saved = ReadFile("vantel32.crc");
  MakeFile("tree/z.txt", "zeta");
  RunResult r = Scan({"-nt", "-r"});
  EXPECT_NE(std::string::npos, r.out.find("+ File: " + T("z.txt") + "\n"));
  EXPECT_NE(std::string::npos, r.err.find(" \376 Not saved changes. Read-Only mode for: "));
  EXPECT_EQ(saved, ReadFile("vantel32.crc"));
  // The same report again: only the clock in the banner line may differ.
  auto withoutClock = [](const std::string& out) {
    size_t clock = out.find("-  "), end = out.find('\n', clock);
    return out.substr(0, clock) + out.substr(end);
  };
  EXPECT_EQ(withoutClock(r.out), withoutClock(Scan({"-nt", "-r"}).out));
}

TEST_F(ScanTest, AttributeAndWriteTimeChanges) {
  if (kIsWin32) GTEST_SKIP() << "POSIX permission bits stand for the read-only attribute";
  Scan({});
  std::filesystem::permissions(Path("tree/a.txt"), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  SetMtime("tree/b.txt", 1000000000);
  RunResult r = Scan({});
  // Changing a mode bit moves the status-change time, not the birth time the file system
  // keeps; where it keeps none, a Create line appears as well, and is left out here.
  std::string out;
  for (size_t at = 0, end; at < r.out.size(); at = end + 1) {
    end = std::min(r.out.find('\n', at), r.out.size());
    if (r.out.compare(at, 13, "     Create: ") != 0) out += r.out.substr(at, end - at + 1);
  }
  EXPECT_TRUE(
      MatchText("\n\n-----{*}\n\n"
                "# " +
                    T("a.txt") +
                    "\n"
                    "     Attr  :  R+ \n\n"
                    "# " +
                    T("b.txt") +
                    "\n"
                    "     Write :  {*}  ->  09-Sep-2001  01:46:40\n\n\n\n"
                    "Files:   2 changed,   0 deleted,   0 new\n"
                    "Dirs :   0 changed,   0 deleted,   0 new\n",
                out));
}

// Stamps apart by less than a second show as many digits of it as tell them apart.
TEST_F(ScanTest, WriteTimesWithinOneSecondShowTheFraction) {
  const struct {
    uint32_t before, after;
    const char* shown;
  } cases[] = {
      {200000000, 700000000, "01:46:40.2  ->  09-Sep-2001  01:46:40.7\n"},
      {230000000, 270000000, "01:46:40.23  ->  09-Sep-2001  01:46:40.27\n"},
      {0, 1000000, "01:46:40.000  ->  09-Sep-2001  01:46:40.001\n"},
  };
  for (const auto& c : cases) {
    SetMtime("tree/b.txt", 1000000000, c.before);
    Scan({});
    SetMtime("tree/b.txt", 1000000000, c.after);
    RunResult r = Scan({});
    EXPECT_NE(std::string::npos, r.out.find("     Write :  09-Sep-2001  " + std::string(c.shown)))
        << r.out;
  }
}

// A default catalogue that is none, or a damaged one: nothing compared, the file kept as it is.
TEST_F(ScanTest, ARefusedCatalogueIsKept) {
  Scan();
  std::string saved = ReadFile("vantel32.crc");
  const std::string name = Path("vantel32.crc");
  const struct {
    std::string bytes, message;
  } cases[] = {
      {"not a catalogue\n", " *** Error: vantel32.crc is mot data file for vantel32\n"},
      {saved.substr(0, saved.size() - 20), "\n** Error: Data file is damaged: vantel32.crc\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    MakeFile("vantel32.crc", c.bytes);
    RunResult r = Scan();
    EXPECT_EQ(kExitTrouble, r.status);
    EXPECT_EQ("", r.out);
    EXPECT_TRUE(Has(r.err, c.message)) << r.err;
    EXPECT_EQ(c.bytes, ReadFile("vantel32.crc"));
  }
}

TEST_F(ScanTest, TwoTasksWithTheirOwnCataloguesShareOneSummary) {
  MakeFile("other/x.txt", "x");
  std::vector<std::string> args = {"-ms",         "-s",  "-nt",     Path("tree"),
                                   Path("other"), "-fc", "one.crc", "two.crc"};
  EXPECT_EQ("", Run(args).out);
  MakeFile("tree/n1.txt", "1");
  MakeFile("other/n2.txt", "2");
  RunResult r = Run(args);
  EXPECT_TRUE(MatchText("\n\n-----{*}\n\n+ File: " + T("n1.txt") +
                            "\n\n\n+ File: " + Path("other/n2.txt") +
                            "\n\n\n"
                            "Files:   0 changed,   0 deleted,   2 new\n"
                            "Dirs :   0 changed,   0 deleted,   0 new\n",
                        r.out));
}

TEST_F(ScanTest, OtherTargetNeedsAnAnswer) {
  MakeFile("elsewhere/a.txt", "alpha");
  Scan();
  std::vector<std::string> args = {"-ms", "-s", "-nt", Path("elsewhere"), "-fc", "vantel32.crc"};
  RunResult no = Run(args, "n");
  EXPECT_EQ(kExitTrouble, no.status);
  EXPECT_NE(std::string::npos, no.err.find("have different target."));
  EXPECT_NE(std::string::npos, no.err.find("No.\n\n"));
  // The default data file asks as a named one does.
  RunResult unnamed = Run({"-ms", "-s", "-nt", Path("elsewhere")}, "n");
  EXPECT_EQ(2, unnamed.status);
  EXPECT_NE(std::string::npos, unnamed.err.find(" vantel32.crc - have different target."));

  RunResult yes = Run(args, "y");  // answered Y: the command-line path is scanned
  EXPECT_EQ(kExitClean, yes.status);
  // Against the catalogue of tree: all but a.txt is missing there, and nothing else changed.
  std::set<std::string> missing;
  for (size_t at = yes.out.find("\n- "); at != std::string::npos; at = yes.out.find("\n- ", at + 1))
    missing.insert(yes.out.substr(at + 1, yes.out.find('\n', at + 1) - at - 1));
  const std::set<std::string> expected = {
      "- Dir:  " + Path("elsewhere/sub"), "- Dir:  " + Path("elsewhere/sub/deep"),
      "- File: " + Path("elsewhere/b.txt"), "- File: " + Path("elsewhere/sub/c.txt"),
      "- File: " + Path("elsewhere/sub/deep/d.txt")};
  EXPECT_EQ(expected, missing) << yes.out;
  EXPECT_TRUE(Has(yes.out,
                  "\nFiles:   0 changed,   3 deleted,   0 new\n"
                  "Dirs :   0 changed,   2 deleted,   0 new\n"))
      << yes.out;
}

TEST_F(ScanTest, SavingKeepsALinkedCatalogueAndItsPermissions) {
  if (kIsWin32) GTEST_SKIP() << "symbolic links and POSIX permission bits";
  namespace fs = std::filesystem;
  MakeDir("store");
  Run({"-ms", "-s", "-nt", Path("tree"), "-fc", Path("store/x.crc")});
  fs::permissions(Path("store/x.crc"), fs::perms(0640));
  fs::create_symlink(Path("store/x.crc"), Path("link.crc"));
  MakeFile("tree/new.txt", "n");
  RunResult r = Run({"-ms", "-s", "-nt", Path("tree"), "-fc", "link.crc"});
  EXPECT_NE(std::string::npos, r.out.find("+ File: " + T("new.txt")));
  EXPECT_TRUE(fs::is_symlink(Path("link.crc")));
  EXPECT_EQ(fs::perms(0640), fs::status(Path("store/x.crc")).permissions() & fs::perms::mask);
  EXPECT_EQ("\n\n", Run({"-ms", "-s", "-nt", Path("tree"), "-fc", "link.crc"}).out);
}

TEST_F(ScanTest, AStartPathWithALineBreakIsRefused) {
  if (kIsWin32) GTEST_SKIP() << "Windows names cannot hold a line break";
  MakeFile("two\nlines/a.txt", "a");
  RunResult r = Run({"-ms", Path("two\nlines")});
  EXPECT_EQ(kExitTrouble, r.status);
  EXPECT_NE(std::string::npos, r.err.find(" *** Error: Invalid file mask: "));
  EXPECT_FALSE(Exists("vantel32.crc"));
}

TEST_F(ScanTest, SavedTableEqualsAFreshBuildUnderAMask) {
  // Directories that miss the mask are kept only to reach the files below them.
  MakeFile("tree/sub/note.doc", "not listed");
  std::vector<std::string> scan = {"-ms", "-s", "-nt", Path("tree/*.txt")};
  Run(scan);
  MakeFile("tree/fresh/inside/f.txt", "new below a non-matching directory");
  std::filesystem::remove_all(Path("tree/sub/deep"));
  MakeFile("tree/a.txt", "ALPHA");
  RunResult r = Run(scan);
  EXPECT_NE(std::string::npos, r.out.find("+ File: " + T("fresh/inside/f.txt") + "\n"));
  EXPECT_EQ(std::string::npos, r.out.find("+ Dir:"));
  EXPECT_EQ(std::string::npos, r.out.find("- Dir:"));
  EXPECT_NE(std::string::npos, r.out.find("- File: " + T("sub/deep/d.txt") + "\n"));

  std::vector<std::string> fresh = {"-ms", "-s", "-nt", Path("tree/*.txt"), "-fc", "fresh.crc"};
  Run(fresh);
  EXPECT_EQ(Stored("fresh.crc"), Stored("vantel32.crc"));
}

// The JSON report names the fields of each change as the change block shows them, and keeps
// damaged contents' stored values beside their warning.
TEST_F(ScanTest, JsonChangesNameTheirFieldsAndKeptRecordsTheirValues) {
  struct Case {
    const char* name;
    const char* now;  // contents after the first Scan
    int64_t time;     // write time after it
    bool readOnly;
    const char* expected;  // from the end of the path on
    // Where Wine differs: an old file's creation time follows its write time.
    const char* underWine;
  };
  const int64_t t0 = 1000000000;
  const Case cases[] = {
      {"w.txt", "same", t0 + 60, false, R"(","kind":"file","fields":["write"],"damaged":false)",
       R"(","kind":"file","fields":["create","write"],"damaged":false)"},
      {"s.txt", "longer", t0 + 60, false,
       R"(","kind":"file","fields":["write","size"],"damaged":false)",
       R"(","kind":"file","fields":["create","write","size"],"damaged":false)"},
      {"r.txt", "same", t0, true, R"(","kind":"file","fields":["attributes"],"damaged":false)",
       nullptr},
      {"d.txt", "SAME", t0, false, R"(","kind":"file","fields":["crc"],"damaged":true)", nullptr},
      {"d.txt", "SAME", t0, false, R"(","kind":"file","reason":"changed","size":4,)", nullptr},
  };
  for (const Case& c : cases) {
    MakeFile(std::string("tree/") + c.name, "same");
    SetMtime(std::string("tree/") + c.name, t0);
  }
  ASSERT_EQ(kExitClean, Run({"-ms", "-s", Path("tree")}).status);
  namespace fs = std::filesystem;
  for (const Case& c : cases) {
    MakeFile(std::string("tree/") + c.name, c.now);
    SetMtime(std::string("tree/") + c.name, c.time);
    if (c.readOnly) fs::permissions(T(c.name), fs::perms::owner_write, fs::perm_options::remove);
  }
  RunResult r = Run({"--json", "-ms", "-s", Path("tree")});
  fs::permissions(T("r.txt"), fs::perms::owner_write, fs::perm_options::add);
  EXPECT_EQ(kExitFinding, r.status);
  for (const Case& c : cases) {
    const char* expected = kIsWin32 && c.underWine ? c.underWine : c.expected;
    EXPECT_NE(r.out.find(c.name + std::string(expected)), std::string::npos) << r.out;
  }
}

}  // namespace
}  // namespace e2e
