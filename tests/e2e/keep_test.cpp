// What a run keeps when the tree, the report or a catalogue fails it: the catalogue stays as it
// was, the failure is said on standard error and the exit status tells.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/table.h"
#include "platform/platform.h"
#include "tests/support/catalogue.h"
#include "tests/support/datafile_image.h"
#include "tests/support/e2e.h"
#include "tests/support/nodes.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

class KeepTest : public E2eTest {
 protected:
  void SetUp() override {
    E2eTest::SetUp();
    MakeFile("tree/a.txt", "alpha");
    MakeFile("tree/sub/c.txt", "gamma");
    MakeFile("tree/sub/deep/d.txt", "delta");
  }

  // Scan of the tree with the default catalogue; /nt, as contents change within a clock tick.
  RunResult Scan(bool sub = true) {
    std::vector<std::string> args = {"-ms", "-nt", Path("tree")};
    if (sub) args.insert(args.begin() + 1, "-s");
    return Run(args);
  }

  std::vector<std::string> Stored(const std::string& dataFile) {
    return StoredPaths(ReadCatalogue(Path(dataFile)));
  }
};

TEST_F(KeepTest, AMissingStartPathKeepsItsCatalogueWhileTheOtherTasksGoOn) {
  MakeFile("other/e.txt", "epsilon");
  ASSERT_EQ(kExitClean,
            Run({"-ms", "-s", "-nt", Path("tree"), Path("other"), "-fc", "tree.crc", "other.crc"})
                .status);
  std::string tree = ReadFile("tree.crc"), other = ReadFile("other.crc");
  fs::rename(Path("tree"), Path("unmounted"));
  MakeFile("other/e.txt", "EPSILON");

  RunResult r = Run({"-ms", "-s", "-nt", "tree.crc", "other.crc"});
  EXPECT_EQ(kExitTrouble, r.status);
  EXPECT_TRUE(Has(r.err, " *** Error: Start path not found: " + Path("tree") + kPathSep + "\n"))
      << r.err;
  EXPECT_EQ(tree, ReadFile("tree.crc"));
  EXPECT_TRUE(Has(r.out, "# " + Path("other/e.txt") + "\n")) << r.out;
  EXPECT_FALSE(Has(r.out, "\n- "));
  EXPECT_NE(other, ReadFile("other.crc"));
}

TEST_F(KeepTest, WithoutSubfoldersDeeperRecordsAreKeptUnlessTheirFolderIsGone) {
  MakeFile("tree/gone/deeper/e.txt", "epsilon");
  ASSERT_EQ(kExitClean, Scan().status);
  std::string saved = ReadFile("vantel32.crc");

  // A start directory where nothing matches the mask is there all the same.
  std::vector<std::string> none = {"-ms", Path("tree") + kPathSep + "*.none", "-fc", "none.crc"};
  ASSERT_EQ(kExitClean, Run(none).status);
  EXPECT_EQ(kExitClean, Run(none).status);

  RunResult same = Scan(false);
  EXPECT_EQ(kExitClean, same.status);
  EXPECT_EQ("\n\n", same.out);
  EXPECT_EQ(saved, ReadFile("vantel32.crc"));

  MakeFile("tree/sub/c.txt", "GAMMA");
  fs::remove_all(Path("tree/gone"));
  RunResult first = Scan(false);
  EXPECT_TRUE(
      MatchText("\n\n\n-----------------------------------------------  {*}\n\n"
                "- Dir:  " +
                    Path("tree/gone") + "\n- Dir:  " + Path("tree/gone/deeper") +
                    "\n- File: " + Path("tree/gone/deeper/e.txt") +
                    "\n\n"
                    "Files:   0 changed,   1 deleted,   0 new\n"
                    "Dirs :   0 changed,   2 deleted,   0 new\n",
                first.out));
  // The change below the first level is still there to be found.
  RunResult deep = Scan();
  EXPECT_TRUE(Has(deep.out, "# " + Path("tree/sub/c.txt") + "\n")) << deep.out;
  EXPECT_FALSE(Has(deep.out, "gone"));
}

// Standard output on /dev/full, which Wine reaches as Z:\dev\full; the reason is the system's
// on both builds, although the Win32 runtime keeps none for a write inside printf.
TEST_F(KeepTest, AReportThatCannotBeWrittenSavesNothing) {
  if (kIsWin32 && !std::ofstream("Z:\\dev\\full"))
    GTEST_SKIP() << "no full device to write the report to";
  ASSERT_EQ(kExitClean, Scan().status);
  std::string saved = ReadFile("vantel32.crc");
  MakeFile("tree/a.txt", "ALPHA");
  auto RunUnder = [&](const std::vector<std::string>& args) {
    if (!kIsWin32)
      return E2eTest::RunUnder({"/bin/sh", "-c", "exec \"$0\" \"$@\" >/dev/full"}, args);
    std::vector<std::string> redirected = args;
    redirected.push_back(">Z:\\dev\\full");
    return E2eTest::RunUnder({"cmd", "/c"}, redirected);
  };

  RunResult lost = RunUnder({"-ms", "-s", "-nt", Path("tree")});
  EXPECT_EQ(kExitTrouble, lost.status);
  EXPECT_TRUE(Has(lost.err,
                  " *** Error: Report not written, data file not saved: vantel32.crc\n"
                  " *** No space left on device\n"))
      << lost.err;
  EXPECT_FALSE(Has(lost.err, "to standard output"));  // said once
  EXPECT_EQ(saved, ReadFile("vantel32.crc"));
  EXPECT_TRUE(Has(Scan().out, "# " + Path("tree/a.txt") + "\n"));

  RunResult info = RunUnder({Path("tree")});
  EXPECT_EQ(kExitTrouble, info.status);
  EXPECT_TRUE(Has(info.err,
                  " *** Error: Report not written to standard output\n"
                  " *** No space left on device\n"))
      << info.err;
}

TEST_F(KeepTest, UnreadableDirectoriesAreKeptAsStoredAndUnreadableEntriesWarned) {
  std::vector<std::string> bound;
  if (PermissionBoundPrefix(&bound) != 0) GTEST_SKIP() << "permission bits cannot bind here";
  MakeFile("tree/two/x/y.txt", "upsilon");
  MakeFile("tree/zz/gone.txt", "omega");
  ASSERT_EQ(kExitClean, Scan().status);
  std::vector<std::string> before = Stored("vantel32.crc");
  fs::remove(Path("tree/zz/gone.txt"));
  fs::permissions(Path("tree/sub"), fs::perms::none);
  fs::permissions(Path("tree/two"), fs::perms::none);
  fs::permissions(Path("tree/a.txt"), fs::perms::none);
  struct Restore {
    std::string dir, two, file;
    ~Restore() {
      fs::permissions(dir, fs::perms::owner_all);
      fs::permissions(two, fs::perms::owner_all);
      fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    }
  } restore{Path("tree/sub"), Path("tree/two"), Path("tree/a.txt")};

  RunResult scan = RunUnder(bound, {"-ms", "-s", "-nt", "-nc", Path("tree")});
  if (Has(scan.err, "setpriv")) GTEST_SKIP() << "cannot drop capabilities: " << scan.err;
  EXPECT_EQ(kExitTrouble, scan.status);
  for (const char* dir : {"tree/sub", "tree/two"})
    EXPECT_TRUE(Has(scan.err, " *** Warning: Directory not readable, kept as stored: " + Path(dir) +
                                  "/\n *** Permission denied\n"))
        << scan.err;
  // Only what is gone from a readable directory is missing.
  EXPECT_TRUE(Has(scan.out, "\n- File: " + Path("tree/zz/gone.txt") + "\n")) << scan.out;
  EXPECT_EQ(scan.out.find("\n- "), scan.out.rfind("\n- ")) << scan.out;
  before.erase(std::find(before.begin(), before.end(), std::string("zz") + kPathSep + "gone.txt"));
  EXPECT_EQ(before, Stored("vantel32.crc"));

  RunResult compare = RunUnder(bound, {"-mc", "-s", "-nc", "vantel32.crc", Path("tree")});
  EXPECT_EQ(kExitTrouble, compare.status);
  EXPECT_FALSE(Has(compare.out, "NOT contains"));

  RunResult info = RunUnder(bound, {"-s", Path("tree")});
  EXPECT_TRUE(Has(info.err, " *** Warning: Permission denied: " + Path("tree/sub") + "/\n"))
      << info.err;
  EXPECT_TRUE(Has(info.err, " *** Warning: Permission denied: " + Path("tree/a.txt") + "\n"));
}

// A start directory that is there but cannot be read is not said to be missing.
TEST_F(KeepTest, AnUnreadableStartPathIsNamedWithItsReason) {
  std::vector<std::string> bound;
  if (PermissionBoundPrefix(&bound) != 0) GTEST_SKIP() << "permission bits cannot bind here";
  ASSERT_EQ(kExitClean, Scan().status);
  const std::string saved = ReadFile("vantel32.crc");
  fs::permissions(Path("tree"), fs::perms::none);
  struct Restore {
    std::string dir;
    ~Restore() { fs::permissions(dir, fs::perms::owner_all); }
  } restore{Path("tree")};
  const std::string said = " *** Error: Start path not readable: " + Path("tree") + kPathSep +
                           "\n *** Permission denied\n";
  for (const std::vector<std::string>& args : {
           std::vector<std::string>{"-ms", "-s", Path("tree")},
           std::vector<std::string>{"-ms", "-s", Path("tree"), "-fc", "new.crc"},
           std::vector<std::string>{"-mc", "-s", "vantel32.crc", Path("tree")},
       }) {
    RunResult r = RunUnder(bound, args);
    if (Has(r.err, "setpriv")) GTEST_SKIP() << "cannot drop capabilities: " << r.err;
    EXPECT_EQ(kExitTrouble, r.status) << args[3];
    EXPECT_TRUE(Has(r.err, said)) << r.err;
  }
  EXPECT_EQ(saved, ReadFile("vantel32.crc"));
  EXPECT_FALSE(Exists("new.crc"));
}

// A damaged catalogue named on the command line, in every mode that reads one: refused there,
// nothing reported (no tree compared with an empty table), the file kept byte for byte.
TEST_F(KeepTest, RefusedCataloguesEndEveryModeWithStatusTwo) {
  ASSERT_EQ(kExitClean, Scan().status);
  std::string saved = ReadFile("vantel32.crc");
  const std::string damaged = saved.substr(0, saved.size() - 40);
  MakeFile("damaged.crc", damaged);
  const std::vector<std::string> modes[] = {{"-mc", "-s", "damaged.crc", Path("tree")},
                                            {"-mt", "damaged.crc"},
                                            {"-md", "damaged.crc", Path("tree")},
                                            {"-ms", "-s", "damaged.crc"}};
  for (const std::vector<std::string>& args : modes) {
    SCOPED_TRACE(args[0]);
    RunResult r = Run(args);
    EXPECT_EQ(kExitTrouble, r.status);
    EXPECT_EQ("", r.out);
    EXPECT_TRUE(Has(r.err, "** Error: Data file is damaged: " + Path("damaged.crc") + "\n"))
        << r.err;
    EXPECT_EQ(damaged, ReadFile("damaged.crc"));
  }
}

TEST_F(KeepTest, DebugDumpsMaskControlBytes) {
  std::string start = Path("esc\x1b[2J") + kPathSep;
  MakeFile("esc.crc", datafile::Image(start, "*\x07.*", {}));
  RunResult r = Run({"-mt", "-d", "esc.crc"});
  EXPECT_EQ(std::string::npos, r.out.find_first_of("\x1b\x07")) << r.out;
  EXPECT_TRUE(Has(r.out, "cStartPath : " + Path("esc?[2J") + kPathSep + "\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "cFileMask  : *?.*\n"));
}

}  // namespace
}  // namespace e2e
