// Hostile data files: a disk that fills up, a data file that is a directory or lies inside the
// scanned tree, one in use. The old catalogue is never lost.
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/torture.h"
#include "tests/support/filelimit.h"
#include "tests/support/process.h"

namespace fs = std::filesystem;

namespace e2e {
namespace {

class TortureDataFile : public TortureTest {
 protected:
  void SetUp() override {
    TortureTest::SetUp();
    MakeFile("tree/a.txt", "alpha");
    MakeFile("tree/sub/b.txt", "beta");
  }
  std::vector<std::string> ScanArgs() { return {"-ms", "-s", "-nt", Path("tree")}; }

  // Names of the directory's entries that a failed save could have left behind.
  std::vector<std::string> Leftovers() {
    std::vector<std::string> found;
    for (const auto& e : fs::directory_iterator(Root())) {
      std::string name = e.path().filename().string();
      if (name.find(".tmp") != std::string::npos) found.push_back(name);
    }
    return found;
  }
};

// A file-size limit (ulimit -f) makes the save fail like a full disk: SIGXFSZ does not end
// the program, which says why it could not write and keeps the old catalogue.
TEST_F(TortureDataFile, AFullDiskKeepsTheOldCatalogue) {
  if (kIsWin32) GTEST_SKIP() << "Windows has no file-size limit for a process";
  ASSERT_EQ(kExitClean, RunBounded(ScanArgs()).status);
  std::string old = ReadFile("vantel32.crc");
  for (int i = 0; i < 300; ++i)
    MakeFile("tree/many/" + std::string(100, 'n') + std::to_string(i), "x");

  // The shell leaves SIGXFSZ at its default action, which would end the program.
  std::vector<std::string> argv = {"/bin/sh", "-c", "ulimit -f 16 && exec \"$0\" \"$@\"",
                                   ProgramPath()};
  for (const std::string& a : ScanArgs()) argv.push_back(a);
  ProcessResult limited;
  ASSERT_EQ(0, RunProcess(argv, Root(), {"TZ=UTC"}, "", kRunSeconds, &limited));
  EXPECT_EQ(kExitTrouble, limited.status);
  EXPECT_NE(std::string::npos, limited.err.find("\n** Error: Cannot write output file: "
                                                "vantel32.crc\n *** File too large\n"))
      << limited.err;
  EXPECT_NE(std::string::npos, limited.out.find("+ File: "));  // the report still came
  EXPECT_EQ(old, ReadFile("vantel32.crc"));
  EXPECT_TRUE(Leftovers().empty());

  // A report to a file that meets the limit first: the same, and the catalogue is not saved.
  argv[2] = "ulimit -f 16 && exec \"$0\" \"$@\" > report.txt";
  ASSERT_EQ(0, RunProcess(argv, Root(), {"TZ=UTC"}, "", kRunSeconds, &limited));
  EXPECT_EQ(kExitTrouble, limited.status);
  EXPECT_NE(std::string::npos, limited.err.find(" *** Error: Report not written, data file not "
                                                "saved: vantel32.crc\n *** File too large\n"))
      << limited.err;
  EXPECT_EQ(old, ReadFile("vantel32.crc"));

  // With room again, the next scan still knows the old state and reports the same news.
  RunResult r = RunBounded(ScanArgs());
  EXPECT_EQ(kExitClean, r.status);
  EXPECT_NE(std::string::npos, r.out.find("Files:   0 changed,   0 deleted, 300 new\n"));
}

TEST_F(TortureDataFile, ADataFileThatIsADirectoryIsRefusedAndKept) {
  MakeFile("vantel32.crc/inside", "keep me");
  RunResult r = RunBounded(ScanArgs());
  EXPECT_EQ(kExitTrouble, r.status);
  EXPECT_EQ("", r.out);
  // Each message is followed by the system's reason.
  EXPECT_NE(std::string::npos,
            r.err.find(" *** Error: Can not open data file: vantel32.crc\n *** Is a directory\n"))
      << r.err;
  RunResult named = RunBounded({"-ms", Path("tree"), "-fc", "vantel32.crc"});
  EXPECT_EQ(kExitTrouble, named.status);
  EXPECT_NE(std::string::npos,
            named.err.find(" *** Error: Can't open vantel32.crc\n *** Is a directory\n"))
      << named.err;
  EXPECT_EQ("keep me", ReadFile("vantel32.crc/inside"));
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(TortureDataFile, AnEmptyDataFileNameIsRefused) {
  RunResult r = RunBounded({"-ms", Path("tree"), "-fc", ""});
  EXPECT_EQ(kExitTrouble, r.status);
  EXPECT_EQ("", r.out);
  EXPECT_NE(std::string::npos, r.err.find(" *** Error: Can't open \n"));
  EXPECT_FALSE(Exists("vantel32.crc"));
}

// A catalogue kept inside the tree it describes is left out of its own table: its save
// changes it on every run, and it would report itself changed every time.
TEST_F(TortureDataFile, TheDataFileInsideTheScannedTreeIsLeftOut) {
  std::vector<std::string> scan = {"-ms", "-s"};  // the current directory: tree
  for (int run = 0; run < 3; ++run) {
    RunResult r = RunBounded(scan, 120, "tree");
    ASSERT_EQ(kExitClean, r.status) << "run " << run << ":\n" << r.err;
    if (run > 0) {
      EXPECT_EQ("\n\n", r.out);  // nothing reported
    }
    int code = -1;
    Table t = ReadCatalogue(Path("tree/vantel32.crc"), &code);
    EXPECT_EQ(0, code);
    EXPECT_EQ(3u, t.records.size());
  }
  // Another file of that name deeper in the tree is an entry like any other.
  MakeFile("tree/sub/vantel32.crc", "not the catalogue");
  RunResult r = RunBounded(scan, 120, "tree");
  EXPECT_NE(std::string::npos, r.out.find("+ File: " + Path("tree/sub/vantel32.crc")));
  EXPECT_TRUE(Leftovers().empty());
}

// A second Scan of a catalogue that a running Scan holds is refused; the lock goes with the
// process that held it. A read-only Scan saves nothing and needs no lock.
TEST_F(TortureDataFile, ACatalogueInUseIsRefused) {
  ASSERT_EQ(kExitClean, RunBounded(ScanArgs()).status);
  std::string old = ReadFile("vantel32.crc");
  MakeFile("tree/new.txt", "new");
  ASSERT_EQ(0, LockDataFile(Path("vantel32.crc").c_str()));  // this process: the first Scan
  RunResult second = RunBounded(ScanArgs());
  EXPECT_EQ(kExitTrouble, second.status);
  EXPECT_EQ("", second.out);
  EXPECT_NE(std::string::npos, second.err.find(" *** Error: Data file is in use: vantel32.crc\n"));
  EXPECT_EQ(old, ReadFile("vantel32.crc"));
  std::vector<std::string> readOnly = ScanArgs();
  readOnly.push_back("-r");
  EXPECT_EQ(kExitClean, RunBounded(readOnly).status);
  ReleaseDataFileLocks();
  RunResult after = RunBounded(ScanArgs());
  EXPECT_EQ(kExitClean, after.status);
  EXPECT_NE(std::string::npos, after.out.find("+ File: " + Path("tree/new.txt")));
}

}  // namespace
}  // namespace e2e
