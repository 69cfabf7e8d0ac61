// What Scan keeps as evidence: a damaged file keeps its stored CRC until it is restored or
// accepted, a file that cannot be read keeps what was known of it, the program's own limit on
// descriptors loses no checksum, and an emptied tree is not saved over its catalogue.
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "core/table.h"
#include "platform/platform.h"
#include "tests/support/bytes.h"
#include "tests/support/catalogue.h"
#include "tests/support/e2e.h"
#include "tests/support/nodes.h"
#include "tests/support/process.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

constexpr int64_t kStamp = 1500000000;  // the write time every file keeps unless a case moves it

class EvidenceTest : public E2eTest {
 protected:
  void SetUp() override {
    E2eTest::SetUp();
    Put("tree/a.txt", "alpha");
    Put("tree/sub/b.txt", "beta");
  }

  // Writes a file and gives it the write time it had: only its bytes tell the change.
  void Put(const std::string& rel, const std::string& bytes, int64_t stamp = kStamp) {
    MakeFile(rel, bytes);
    SetMtime(rel, stamp);
  }

  RunResult Scan(const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args = {"-ms", "-s"};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(Path("tree"));
    return Run(args);
  }

  // The CRC the catalogue holds for a file of the tree's first level; 0 when it holds none.
  uint32_t StoredCrc(const std::string& name) {
    Table t = ReadCatalogue(Path("vantel32.crc"));
    for (const Record& r : t.records)
      if (r.dwUpIdx == 0 && name == r.LongName()) return r.dwCRC;
    return 0;
  }

  // The CRC the catalogue holds for the file at rel, below the start path; 0 when none.
  uint32_t StoredCrcAt(const std::string& rel) {
    Table t = ReadCatalogue(Path("vantel32.crc"));
    std::vector<std::string> paths = StoredPaths(t);
    for (size_t i = 0; i < paths.size(); ++i)
      if (paths[i] == Sep(rel)) return t.records[i].dwCRC;
    return 0;
  }

  // Scan's report of a.txt's CRC changing from one value to another, and nothing else.
  std::string Report(uint32_t from, uint32_t to, bool damaged) {
    return "\n\n-----------------------------------------------  {*}\n\n# " + Path("tree/a.txt") +
           "\n     CRC32 :  " + Hex(from) + "  ->  " + Hex(to) +
           "\n\n\n\nFiles:   1 changed,   0 deleted,   0 new\n"
           "Dirs :   0 changed,   0 deleted,   0 new\n" +
           (damaged ? "Damaged:   1 files\n" : "");
  }
};

TEST_F(EvidenceTest, DamageIsReportedUntilRestoredAndSavedOnlyWhenAccepted) {
  ASSERT_EQ(kExitClean, Scan().status);
  const uint32_t good = CrcOf("alpha"), bad = CrcOf("alphA"), edit = CrcOf("alpha, edited");
  const uint32_t rewrite = CrcOf("alphB");  // under -nt, at a later time that the report hides
  const int64_t later = kStamp + 60;
  const std::string warning =
      " *** Warning: Contents changed, size and write time kept: " + Path("tree/a.txt") + "\n";
  struct Step {
    const char* what;
    const char* contents;  // a.txt before the run, same write time; empty: as it is
    std::vector<std::string> extra;
    int status;
    uint32_t from, to;  // the CRC32 line reported; 0, 0: nothing reported
    bool damaged;
    uint32_t stored;  // a.txt's CRC in the catalogue afterwards
    int64_t stamp = kStamp;
  };
  const Step steps[] = {
      {"one byte flipped", "alphA", {}, kExitFinding, good, bad, true, good},
      {"reported again", "", {}, kExitFinding, good, bad, true, good},
      {"restored", "alpha", {}, kExitClean, 0, 0, false, good},
      {"flipped, accepted", "alphA", {"--accept-damaged"}, kExitFinding, good, bad, true, bad},
      {"accepted is current", "", {}, kExitClean, 0, 0, false, bad},
      {"times not reported, still read", "alpha", {"-nt"}, kExitFinding, bad, good, true, bad},
      {"rewritten, time unseen", "alphB", {"-nt"}, kExitClean, bad, rewrite, false, rewrite, later},
      {"then flipped",
       "alphC",
       {"-nt"},
       kExitFinding,
       rewrite,
       CrcOf("alphC"),
       true,
       rewrite,
       later},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    if (s.contents[0] != '\0') Put("tree/a.txt", s.contents, s.stamp);
    RunResult r = Scan(s.extra);
    EXPECT_EQ(s.status, r.status) << r.err;
    if (s.from == 0) {
      EXPECT_EQ("\n\n", r.out);
    } else {
      EXPECT_TRUE(MatchText(Report(s.from, s.to, s.damaged), r.out)) << r.out;
    }
    EXPECT_EQ(s.damaged, Has(r.err, warning)) << r.err;
    EXPECT_EQ(Hex(s.stored), Hex(StoredCrc("a.txt")));
  }

  // An ordinary edit (new bytes, new write time) is saved as ever.
  Put("tree/a.txt", "alpha, edited", kStamp + 60);
  RunResult edited = Scan();
  EXPECT_EQ(kExitClean, edited.status);
  EXPECT_FALSE(Has(edited.out, "Damaged:"));
  EXPECT_EQ(Hex(edit), Hex(StoredCrc("a.txt")));
}

// One change made to a fresh catalogue's tree; the report line a run must then hold; the
// warning it must give (and no other).
enum Change { kFlip, kEdit, kDelete, kAdd, kMove };
enum Line { kNoLine, kCrc, kCrcEdited, kSize, kWrite, kGoneA, kGoneB, kNewC, kMovedA };
enum Warning { kQuiet, kDamage, kRewritten, kMissing };
const char* const kChangeNames[] = {"flip", "edit", "delete", "add", "move"};

struct SwitchCase {
  const char* switches;  // separated by blanks
  Change change;
  int status;
  Line line;
  Warning warning;
  bool kept;  // the record holds what it held before the change (false: it took the change)
  int again;  // the status of the same run repeated at once
};

const SwitchCase kSwitchCases[] = {
    {"", kFlip, kExitFinding, kCrc, kDamage, true, kExitFinding},
    {"", kEdit, kExitClean, kSize, kQuiet, false, kExitClean},
    {"", kDelete, kExitClean, kGoneB, kQuiet, false, kExitClean},
    {"", kAdd, kExitClean, kNewC, kQuiet, false, kExitClean},
    {"--moves", kMove, kExitClean, kMovedA, kQuiet, false, kExitClean},
    {"-nt", kFlip, kExitFinding, kCrc, kDamage, true, kExitFinding},
    {"-ns", kFlip, kExitFinding, kCrc, kDamage, true, kExitFinding},
    {"-na", kFlip, kExitFinding, kCrc, kDamage, true, kExitFinding},
    {"-nc", kFlip, kExitClean, kNoLine, kQuiet, true, kExitClean},
    {"-nt", kEdit, kExitClean, kSize, kQuiet, false, kExitClean},
    {"-ns", kEdit, kExitClean, kWrite, kQuiet, false, kExitClean},
    {"--archive", kFlip, kExitFinding, kCrc, kDamage, true, kExitFinding},
    {"--archive", kEdit, kExitFinding, kSize, kRewritten, true, kExitFinding},
    {"--archive -nt", kEdit, kExitFinding, kSize, kRewritten, true, kExitFinding},
    {"--archive -ns", kEdit, kExitFinding, kCrcEdited, kRewritten, true, kExitFinding},
    {"--archive -nc", kFlip, kExitClean, kNoLine, kQuiet, true, kExitClean},
    {"--archive", kDelete, kExitFinding, kGoneB, kMissing, true, kExitFinding},
    {"--archive", kAdd, kExitClean, kNewC, kQuiet, false, kExitClean},
    {"--archive --moves", kMove, kExitClean, kMovedA, kQuiet, false, kExitClean},
    {"--archive", kMove, kExitFinding, kGoneA, kMissing, true, kExitFinding},
    {"--archive --accept-damaged", kEdit, kExitFinding, kSize, kRewritten, false, kExitClean},
    {"--archive --accept-missing", kDelete, kExitFinding, kGoneB, kMissing, false, kExitClean},
    {"--accept-missing", kDelete, kExitClean, kGoneB, kQuiet, false, kExitClean},
};

TEST_F(EvidenceTest, EachSwitchSetJudgesEachChange) {
  const std::string edited = "alpha, edited", added = "gamma";
  // The file whose record shows the outcome, and its CRC kept and taken (0: no record).
  struct Subject {
    std::string rel;
    uint32_t kept, taken;
  };
  const uint32_t good = CrcOf("alpha"), bad = CrcOf("alphA");
  const Subject subjects[] = {{"a.txt", good, bad},
                              {"a.txt", good, CrcOf(edited)},
                              {"sub/b.txt", CrcOf("beta"), 0},
                              {"c.txt", 0, CrcOf(added)},
                              {"a.txt", good, 0}};
  const std::string lines[] = {"",
                               "     CRC32 :  " + Hex(good) + "  ->  " + Hex(bad) + "\n",
                               "     CRC32 :  " + Hex(good) + "  ->  " + Hex(CrcOf(edited)) + "\n",
                               "     Size  :  13 (+8) byte(s)\n",
                               "     Write :  14-Jul-2017  02:40:00  ->  14-Jul-2017  02:41:00\n",
                               "- File: " + Path("tree/a.txt") + "\n",
                               "- File: " + Path("tree/sub/b.txt") + "\n",
                               "+ File: " + Path("tree/c.txt") + "\n",
                               "> File: " + Path("tree/a.txt") + "\n"};
  const std::string warnings[] = {"", " *** Warning: Contents changed, size and write time kept: ",
                                  " *** Warning: Contents changed in the archive: ",
                                  " *** Warning: Missing from the archive: "};
  for (const SwitchCase& c : kSwitchCases) {
    SCOPED_TRACE(std::string(c.switches) + " " + kChangeNames[c.change]);
    fs::remove_all(Path("tree"));
    fs::remove(Path("vantel32.crc"));
    Put("tree/a.txt", "alpha");
    Put("tree/sub/b.txt", "beta");
    ASSERT_EQ(kExitClean, Scan().status);
    const Subject& subject = subjects[c.change];
    if (c.change == kFlip) Put("tree/a.txt", "alphA");
    if (c.change == kEdit) Put("tree/a.txt", edited, kStamp + 60);
    if (c.change == kDelete) fs::remove(Path("tree/sub/b.txt"));
    if (c.change == kAdd) Put("tree/c.txt", added);
    if (c.change == kMove) fs::rename(Path("tree/a.txt"), Path("tree/sub/a.txt"));
    std::vector<std::string> extra;
    std::istringstream words(c.switches);
    for (std::string word; words >> word;) extra.push_back(word);
    RunResult r = Scan(extra);
    EXPECT_EQ(c.status, r.status) << r.err;
    const std::string& line = lines[c.line];
    EXPECT_TRUE(line.empty() ? r.out == "\n\n" : Has(r.out, line)) << r.out;
    const std::string& warning = warnings[c.warning];
    const size_t warned = warning.empty() ? 0 : 1;
    EXPECT_EQ(warned, Count(r.err, " *** Warning")) << r.err;
    EXPECT_TRUE(warning.empty() || Has(r.err, warning + Path("tree/" + subject.rel) + "\n"))
        << r.err;
    EXPECT_EQ(Hex(c.kept ? subject.kept : subject.taken), Hex(StoredCrcAt(subject.rel)));
    EXPECT_EQ(c.again, Scan(extra).status);
  }
}

TEST_F(EvidenceTest, AFileThatCannotBeReadKeepsItsStoredCrc) {
  std::vector<std::string> bound;
  if (PermissionBoundPrefix(&bound) != 0) GTEST_SKIP() << "permission bits cannot bind here";
  ASSERT_EQ(kExitClean, Scan().status);
  // Damaged and unreadable: the run that cannot look must not hide the damage from the next.
  Put("tree/a.txt", "alphA");
  fs::permissions(Path("tree/a.txt"), fs::perms::none);
  struct Restore {
    std::string file;
    ~Restore() { fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write); }
  } restore{Path("tree/a.txt")};

  RunResult blind = RunUnder(bound, {"-ms", "-s", Path("tree")});
  if (Has(blind.err, "setpriv")) GTEST_SKIP() << "cannot drop capabilities: " << blind.err;
  EXPECT_EQ(kExitTrouble, blind.status);
  EXPECT_TRUE(Has(blind.err, " *** Warning: Permission denied: " + Path("tree/a.txt") + "\n"))
      << blind.err;
  EXPECT_FALSE(Has(blind.out, "CRC32")) << blind.out;
  EXPECT_EQ(Hex(CrcOf("alpha")), Hex(StoredCrc("a.txt")));
  // A new time it cannot judge is neither saved nor shown: the next run sees it as it is.
  SetMtime("tree/a.txt", kStamp + 60);
  RunResult later = RunUnder(bound, {"-ms", "-s", Path("tree")});
  EXPECT_FALSE(Has(later.out, "Write")) << later.out;
  SetMtime("tree/a.txt", kStamp);

  fs::permissions(Path("tree/a.txt"), fs::perms::owner_read | fs::perms::owner_write);
  RunResult seen = Scan();
  EXPECT_EQ(kExitFinding, seen.status);
  EXPECT_TRUE(
      Has(seen.out, "     CRC32 :  " + Hex(CrcOf("alpha")) + "  ->  " + Hex(CrcOf("alphA"))))
      << seen.out;
}

TEST_F(EvidenceTest, FewDescriptorsForManyReadersLoseNoChecksum) {
  if (kIsWin32) GTEST_SKIP() << "Windows has no descriptor limit to lower for one process";
  for (int i = 0; i < 600; ++i)
    MakeFile("tree/m" + std::to_string(i % 6) + "/f" + std::to_string(i), std::to_string(i));
  ASSERT_EQ(kExitClean, Scan().status);
  const std::string saved = ReadFile("vantel32.crc");
  for (const char* limit : {"16", "60"}) {
    SCOPED_TRACE(limit);
    const std::vector<std::string> limited = {
        "/bin/sh", "-c", std::string("ulimit -n ") + limit + " && exec \"$0\" \"$@\""};
    RunResult r = RunUnder(limited, {"--jobs=64", "-ms", "-s", Path("tree")});
    EXPECT_EQ(kExitClean, r.status) << r.err;
    EXPECT_EQ("\n\n", r.out);
    EXPECT_FALSE(Has(r.err, "Warning")) << r.err;
    EXPECT_EQ(saved, ReadFile("vantel32.crc"));
  }
}

// Copies found by the first bytes and confirmed by all of them, with a few descriptors shared by
// many readers: every group, every run, the same report whatever the number of readers.
TEST_F(EvidenceTest, FewDescriptorsForManyReadersLoseNoCopy) {
  if (kIsWin32) GTEST_SKIP() << "Windows has no descriptor limit to lower for one process";
  for (int i = 0; i < 3000; ++i) {
    std::string bytes = "pair " + std::to_string(i);
    MakeFile("pairs/d" + std::to_string(i % 30) + "/f" + std::to_string(i), bytes);
    MakeFile("pairs/e/d" + std::to_string(i % 30) + "/g" + std::to_string(i), bytes);
  }
  // Read side by side (past the size read whole), more of them than descriptors.
  for (int i = 0; i < 21; ++i)
    MakeFile("pairs/big/b" + std::to_string(i), std::string(1100000, 'b'));
  const std::vector<std::string> limited = {"/bin/sh", "-c", "ulimit -n 16 && exec \"$0\" \"$@\""};
  std::string first;
  for (int run = 0; run < 2; ++run) {
    for (const char* jobs : {"--jobs=64", "", "--jobs=8", "--jobs=2", "--jobs=1"}) {
      SCOPED_TRACE(std::string(jobs) + " run " + std::to_string(run));
      std::vector<std::string> args = {"-md", "-s", Path("pairs")};
      if (jobs[0] != '\0') args.insert(args.begin(), jobs);
      RunResult r = RunUnder(limited, args);
      EXPECT_EQ(kExitClean, r.status) << r.err;
      EXPECT_TRUE(Has(r.out, "Was found 6021 diplicate file(s).\n"))
          << r.out.substr(r.out.size() - 200);
      EXPECT_FALSE(Has(r.err, "Warning")) << r.err;
      if (first.empty()) first = r.out;
      EXPECT_TRUE(r.out == first) << "the report differs from that of --jobs=64";
    }
  }
}

// Readers the system refuses to start leave their files to the others or to the main thread:
// the same report, never an abort.
TEST_F(EvidenceTest, ThreadsTheSystemRefusesLeaveTheSameReport) {
  std::vector<std::string> threadless;
  if (ThreadlessPrefix(&threadless) != 0) GTEST_SKIP() << "no limit on threads here";
  if (kUnderEmulator) GTEST_SKIP() << "the emulator needs threads of its own to start";
  for (int i = 0; i < 200; ++i)
    MakeFile("tree/d" + std::to_string(i % 4) + "/f" + std::to_string(i),
             "copy " + std::to_string(i % 50));
  for (const char* mode : {"-mi", "-md"}) {
    SCOPED_TRACE(mode);
    const std::vector<std::string> args = {mode, "-s", Path("tree")};
    RunResult free = Run(args);
    RunResult bound = RunUnder(threadless, args);
    EXPECT_EQ(free.status, bound.status) << bound.err;
    // The listing's head shows the clock, which may tick between the two runs.
    auto body = [](const std::string& out) {
      size_t at = out.find("File mask");
      return at == std::string::npos ? out : out.substr(at);
    };
    EXPECT_TRUE(body(free.out) == body(bound.out)) << bound.out.substr(0, 400);
  }
}

TEST_F(EvidenceTest, AnEmptiedStartDirectoryIsNotSavedOverItsCatalogue) {
  ASSERT_EQ(kExitClean, Scan().status);
  const std::string saved = ReadFile("vantel32.crc");
  const std::string refused =
      " *** Error: Every stored entry is missing, data file not saved: vantel32.crc\n"
      " *** Is the drive mounted? --accept-empty saves it.\n";
  fs::rename(Path("tree"), Path("unmounted"));
  MakeDir("tree");
  // Empty as a mount point without its drive, then holding only new entries as another drive;
  // an archive's check is refused alike, with no warning per missing file.
  struct Road {
    const char* what;
    bool otherFile;
    std::vector<std::string> extra;
  };
  const Road roads[] = {
      {"empty", false, {}}, {"another drive", true, {}}, {"archive", true, {"--archive"}}};
  for (const Road& road : roads) {
    SCOPED_TRACE(road.what);
    if (road.otherFile) MakeFile("tree/other.txt", "other");
    RunResult r = Scan(road.extra);
    EXPECT_EQ(kExitTrouble, r.status);
    EXPECT_FALSE(Has(r.out, "- File: ")) << r.out;
    EXPECT_FALSE(Has(r.err, "Warning")) << r.err;
    EXPECT_TRUE(Has(r.out, "Files:   0 changed,   2 deleted")) << r.out;
    EXPECT_TRUE(Has(r.err, refused)) << r.err;
    EXPECT_EQ(saved, ReadFile("vantel32.crc"));
  }
  RunResult accepted = Scan({"--accept-empty"});
  EXPECT_EQ(kExitClean, accepted.status);
  EXPECT_FALSE(Has(accepted.err, "Every stored entry"));
  EXPECT_EQ("\n\n", Scan().out);  // the catalogue now is the tree as it is

  // Another tree chosen on purpose (-np, or a Yes to the question) holds none of them either:
  // refused as well, saved once accepted.
  RunResult other = Run({"-ms", "-s", "-np", "--accept-empty", Path("unmounted")});
  EXPECT_EQ(kExitClean, other.status) << other.err;
  EXPECT_EQ(Hex(CrcOf("alpha")), Hex(StoredCrc("a.txt")));
}

}  // namespace
}  // namespace e2e
