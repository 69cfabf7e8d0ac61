// Reports are the same bytes whatever the number of readers: only the clock lines may differ.
#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/support/e2e.h"
#include "tests/support/nodes.h"

namespace e2e {
namespace {

class ReadersTest : public E2eTest {
 protected:
  void SetUp() override {
    E2eTest::SetUp();
    // Many small files and some past the 64 KiB buffer, copies among them, in folders listed
    // after files.
    for (int i = 0; i < 120; ++i) {
      std::string dir = i % 3 == 0 ? "tree/" : i % 3 == 1 ? "tree/m/" : "tree/m/n/";
      size_t size = i % 10 == 0 ? 70000 + i % 20 : static_cast<size_t>(i % 7) * 13;
      MakeFile(dir + "f" + std::to_string(i), std::string(size, static_cast<char>('a' + i % 5)));
    }
    MakeDir("tree/empty");
  }

  // Standard output without the lines that carry the clock.
  static std::string WithoutClock(const std::string& out) {
    std::istringstream in(out);
    std::string line, kept;
    while (std::getline(in, line)) {
      if (line.rfind("System clock:", 0) == 0) continue;
      if (line.find("-----------------------------------------------  ") != std::string::npos)
        continue;
      kept += line + "\n";
    }
    return kept;
  }

  // The file counts and sizes of every checksum summary on standard error, each cut at its
  // line's end, so that the run's clock (a line of its own) never takes part.
  static std::string Summaries(const std::string& err) {
    std::string found;
    for (size_t at = err.find("\376 CRC32 "); at != std::string::npos;
         at = err.find("\376 CRC32 ", at + 1))
      found += err.substr(at, std::min(err.find(" bytes", at), err.find('\n', at)) - at) + "\n";
    return found;
  }

  // The warnings on standard error, in their order.
  static std::string Warnings(const std::string& err) {
    std::istringstream in(err);
    std::string line, kept;
    while (std::getline(in, line))
      if (line.find("*** ") != std::string::npos) kept += line + "\n";
    return kept;
  }

  // Runs args with --jobs=1, 2, 8 and the default (under the command `before`, when given) and
  // expects the same report, warnings and status from each.
  void ExpectSameForAnyReaders(const std::vector<std::string>& args, int status = kExitClean,
                               const std::vector<std::string>& before = {}) {
    RunResult one;
    for (const char* jobs : {"--jobs=1", "--jobs=2", "--jobs=8", ""}) {
      std::vector<std::string> all = args;
      if (jobs[0] != '\0') all.insert(all.begin(), jobs);
      RunResult r = before.empty() ? Run(all) : RunUnder(before, all);
      EXPECT_EQ(r.status, status) << jobs << " " << args[0] << r.err;
      if (jobs == std::string("--jobs=1")) {
        one = r;
        EXPECT_NE(WithoutClock(r.out), "") << args[0];
        continue;
      }
      EXPECT_EQ(WithoutClock(r.out), WithoutClock(one.out)) << jobs << " " << args[0];
      EXPECT_EQ(Summaries(r.err), Summaries(one.err)) << jobs << " " << args[0];
      EXPECT_EQ(Warnings(r.err), Warnings(one.err)) << jobs << " " << args[0];
    }
  }
};

TEST_F(ReadersTest, InfoDuplicatesScanAndCompareReportTheSameForAnyNumberOfReaders) {
  ExpectSameForAnyReaders({"-s", "-ol", "-of", "SZ CC FP", Path("tree")});
  ExpectSameForAnyReaders({"-md", "-s", Path("tree")});

  ASSERT_EQ(Run({"--jobs=1", "-ms", "-s", Path("tree")}).status, kExitClean);
  std::filesystem::copy(Path("tree"), Path("copy"), std::filesystem::copy_options::recursive);
  // Same size, other bytes; another size; gone; new, with a new folder beneath; grown past 64 KiB.
  MakeFile("tree/m/f1", "z");
  MakeFile("tree/m/n/f2", std::string(70001, 'q'));
  MakeFile("tree/m/f10", std::string(70010, 'b'));
  std::filesystem::remove(Path("tree/f3"));
  std::filesystem::remove(Path("tree/m/f4"));
  std::filesystem::remove(Path("tree/m/n/f8"));
  std::filesystem::remove_all(Path("tree/empty"));
  MakeFile("tree/new/one", "1");
  MakeFile("tree/new/deeper/two", std::string(80000, '2'));
  MakeFile("tree/m/n/f5", std::string(65536, 'x'));
  // Read-only: every run reports the same changes against the same catalogue.
  ExpectSameForAnyReaders({"-ms", "-s", "-r", Path("tree")});
  ExpectSameForAnyReaders({"-mc", "-s", Path("copy"), Path("tree")}, kExitFinding);
  ExpectSameForAnyReaders({"-mc", "-s", "-nt", "vantel32.crc", Path("tree")}, kExitFinding);
}

// A folder that can be listed but not entered, inside the tree and as the start path: the same
// one warning about the folder whoever reads, and none about the files it holds.
TEST_F(ReadersTest, AFolderListedButNotEnteredIsReportedAloneForAnyNumberOfReaders) {
  std::vector<std::string> bound;
  if (PermissionBoundPrefix(&bound) != 0) GTEST_SKIP() << "permission bits cannot bind here";
  namespace fs = std::filesystem;
  fs::permissions(Path("tree/m"),
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  struct Restore {
    std::string dir;
    ~Restore() { fs::permissions(dir, fs::perms::owner_all); }
  } restore{Path("tree/m")};
  if (Has(RunUnder(bound, {"-s", Path("tree")}).err, "setpriv")) GTEST_SKIP() << "no setpriv";
  ExpectSameForAnyReaders({"-s", Path("tree")}, kExitTrouble, bound);
  ExpectSameForAnyReaders({"-s", Path("tree/m")}, kExitTrouble, bound);
  ExpectSameForAnyReaders({"-md", "-s", Path("tree")}, kExitTrouble, bound);
}

// Where readers beside the walk look the files up, a Scan still sees what a walk that looks
// each file up itself sees, and saves the same catalogue.
TEST_F(ReadersTest, ScanSavesTheSameCatalogueForAnyNumberOfReaders) {
  namespace fs = std::filesystem;
  ASSERT_EQ(Run({"--jobs=1", "-ms", "-s", Path("tree"), "-fc", Path("base.crc")}).status,
            kExitClean);
  MakeFile("tree/m/f1", "z");  // another size
  fs::file_time_type kept = fs::last_write_time(Path("tree/f6"));
  MakeFile("tree/f6", std::string(78, 'q'));  // same size and time, other bytes: damaged
  fs::last_write_time(Path("tree/f6"), kept);
  SetMtime("tree/m/n/f11", 1000000000);                        // a time only
  fs::permissions(Path("tree/m/f13"), fs::perms::owner_read);  // read-only
  fs::remove(Path("tree/f9"));
  MakeDir("tree/f9");  // a folder where a file was
  fs::remove(Path("tree/f12"));
  MakeFile("tree/new/one", "1");
  if (!kIsWin32) {  // a link where a file was
    fs::remove(Path("tree/m/f7"));
    fs::create_symlink("../f0", Path("tree/m/f7"));
  }
  // Every file read once, so that no run below changes an access time another one stores.
  ASSERT_NE(Run({"-s", Path("tree")}).status, -1);
  std::string first;
  for (const char* jobs : {"--jobs=1", "--jobs=2", "--jobs=8"}) {
    std::string crc = Path(std::string("scan") + jobs[7] + ".crc");
    fs::copy_file(Path("base.crc"), crc);
    RunResult r = Run({jobs, "-ms", "-s", Path("tree"), "-fc", crc});
    // Under Wine the write time put back differs in its fractions: no damage to find there.
    EXPECT_TRUE(kIsWin32 || Has(r.out, "Damaged:   1 files\n")) << jobs << r.out;
    EXPECT_EQ(r.status, kIsWin32 ? kExitClean : kExitFinding) << jobs << r.err;
    EXPECT_TRUE(Has(r.out, std::string("Files:   ") + (kIsWin32 ? "4" : "5") +
                               " changed,   2 deleted,   1 new\n"))
        << jobs << r.out;
    if (first.empty()) first = WithoutClock(r.out) + ReadFile(crc.substr(Root().size() + 1));
    EXPECT_EQ(WithoutClock(r.out) + ReadFile(crc.substr(Root().size() + 1)), first) << jobs;
  }
}

}  // namespace
}  // namespace e2e
