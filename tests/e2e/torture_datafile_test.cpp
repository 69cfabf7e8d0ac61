// Hostile data files: a disk that fills up, a data file that is a directory or lies inside the
// scanned tree, and damaged files of every kind. The old catalogue is never lost.
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
    Table t = LoadCatalogue("tree/vantel32.crc", &code);
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

// A valid catalogue of the fixture's tree, cut or patched.
class DamagedCatalogue : public TortureDataFile {
 protected:
  void SetUp() override {
    TortureDataFile::SetUp();
    ASSERT_EQ(kExitClean, RunBounded(ScanArgs()).status);
    good_ = ReadFile("vantel32.crc");
    size_t at = 0;
    for (int line = 0; line < 4; ++line) at = good_.find('\n', at) + 1;
    records_ = at;  // three records of 66 bytes follow the header
  }
  std::string WithParent(size_t record, uint32_t parent) {
    std::string bytes = good_;
    for (int i = 0; i < 4; ++i)
      bytes[records_ + record * 66 + 62 + i] = static_cast<char>(parent >> (8 * i));
    return bytes;
  }
  std::string WithCount(const std::string& count) {
    size_t start = good_.rfind('\n', records_ - 2) + 1;
    return good_.substr(0, start) + count + "\n" + good_.substr(records_);
  }

  std::string good_;
  size_t records_ = 0;
};

TEST_F(DamagedCatalogue, EveryKindIsRefusedWithAMessageAndKeptByteForByte) {
  struct Case {
    const char* what;
    std::string bytes;
    const char* message;
  };
  const char* notData = " *** Error: vantel32.crc is mot data file for vantel32\n";
  const char* damaged = "\n** Error: Data file is damaged: vantel32.crc\n";
  size_t names = records_ + 3 * 66;
  // Record order: sub (a directory), a.txt, sub/b.txt with parent 1.
  ASSERT_EQ(1u, static_cast<unsigned char>(good_[records_ + 2 * 66 + 62]));
  std::string crlf = good_;
  for (size_t at = records_; at-- > 0;)
    if (crlf[at] == '\n') crlf.insert(at, "\r");
  const Case cases[] = {
      {"empty", "", notData},
      {"not a data file", "VNT CRC\n" + good_, notData},
      {"cut after the signature", good_.substr(0, 18), damaged},
      {"cut in the start path", good_.substr(0, 25), damaged},
      {"cut before the count's line feed", good_.substr(0, records_ - 1), damaged},
      {"a count past 32 bits", WithCount("99999999999"), damaged},
      {"an empty count", WithCount(""), damaged},
      {"a count with a leading zero", WithCount("03"), damaged},
      {"a header in CR LF", crlf, damaged},
      {"cut in the records", good_.substr(0, records_ + 100), damaged},
      {"cut after the records", good_.substr(0, names), damaged},
      {"cut in the names", good_.substr(0, good_.size() - 3), damaged},
      {"junk after the last name", good_ + "junk", damaged},
      {"a huge count", WithCount("4294967295"), damaged},
      {"a count one too many", WithCount("4"), damaged},
      {"a count one too few", WithCount("2"), damaged},
      {"a parent ahead of its child", WithParent(0, 3), damaged},
      {"a parent that is itself", WithParent(2, 3), damaged},
      {"a parent that is a file", WithParent(2, 2), damaged},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MakeFile("vantel32.crc", c.bytes);
    RunResult scan = RunBounded(ScanArgs());
    EXPECT_EQ(kExitTrouble, scan.status);
    EXPECT_EQ("", scan.out);
    EXPECT_NE(std::string::npos, scan.err.find(c.message)) << scan.err;
    EXPECT_EQ(c.bytes, ReadFile("vantel32.crc"));
    RunResult test = RunBounded({"-mt", "-s", Path("vantel32.crc")});
    EXPECT_EQ(kExitTrouble, test.status);
    EXPECT_EQ(std::string::npos, test.out.find("a.txt"));
    EXPECT_EQ(c.bytes, ReadFile("vantel32.crc"));
  }
  EXPECT_TRUE(Leftovers().empty());
}

}  // namespace
}  // namespace e2e
