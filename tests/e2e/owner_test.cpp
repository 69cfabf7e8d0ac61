// Whose a catalogue is: one planted by another user in a shared directory is refused, a reader
// cannot lock its owner out, a save keeps ACLs, and the temporary file of a killed save is no
// entry of the tree.
#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/support/e2e.h"
#include "tests/support/nodes.h"
#include "tests/support/process.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

class OwnerTest : public E2eTest {
 protected:
  void SetUp() override {
    E2eTest::SetUp();
    MakeFile("tree/a.txt", "alpha");
  }
  RunResult Scan(const std::string& dataFile, const std::string& extra = "-nt") {
    return Run({"-ms", "-s", extra, Path("tree"), "-fc", dataFile});
  }
  // A command's output, or the skip reason "!..." when it failed.
  std::string Command(const std::vector<std::string>& argv) {
    ProcessResult r;
    if (RunProcess(argv, "", {}, "", 30, &r) != 0 || r.status != 0) return "!" + argv[0] + r.err;
    return r.out;
  }
};

// Another user's catalogue, or another user's link to root's catalogue of a different tree, in
// a directory everyone writes: root would hand its files' names and checksums to that user, or
// save the wrong tree over its own catalogue.
TEST_F(OwnerTest, ACataloguePlantedInASharedDirectoryIsRefused) {
  if (kIsWin32) GTEST_SKIP() << "no POSIX owners on Windows";
  MakeFile("other/o.txt", "other");
  MakeDir("shared");
  fs::permissions(Path("shared"), fs::perms::all | fs::perms::sticky_bit);
  ASSERT_EQ(kExitClean, Scan("own.crc").status);
  ASSERT_EQ(kExitClean, Run({"-ms", "-s", Path("other"), "-fc", "other.crc"}).status);
  fs::copy_file(Path("own.crc"), Path("shared/planted.crc"));
  fs::create_symlink(Path("other.crc"), Path("shared/link.crc"));
  std::string gave = Command(
      {"/bin/chown", "-h", "65534:65534", Path("shared/planted.crc"), Path("shared/link.crc")});
  if (Has(gave, "!")) GTEST_SKIP() << "only root gives files away: " << gave;
  const std::string planted = ReadFile("shared/planted.crc"), other = ReadFile("other.crc");
  MakeFile("tree/new.txt", "new");
  for (const char* name : {"shared/planted.crc", "shared/link.crc"}) {
    RunResult r = Scan(Path(name), "-y");
    EXPECT_EQ(kExitTrouble, r.status) << name;
    EXPECT_TRUE(Has(r.err, " *** Error: Data file owned by another user in a shared directory: " +
                               Path(name) + "\n"))
        << r.err;
  }
  // Every mode that reads a catalogue refuses it, unread.
  for (const char* mode : {"-mt", "-mc", "-md"}) {
    RunResult r = Run({mode, Path("shared/planted.crc"), Path("tree")});
    EXPECT_EQ(kExitTrouble, r.status) << mode;
    EXPECT_TRUE(Has(r.err, "Data file owned by another user in a shared directory")) << r.err;
  }
  EXPECT_EQ(planted, ReadFile("shared/planted.crc"));
  EXPECT_EQ(other, ReadFile("other.crc"));
  fs::copy_file(Path("own.crc"), Path("shared/own.crc"));  // root's own is root's to use
  EXPECT_EQ(kExitClean, Scan(Path("shared/own.crc")).status);
}

TEST_F(OwnerTest, AReaderCannotLockItsOwnerOut) {
  ASSERT_EQ(kExitClean, Scan("vantel32.crc").status);
  int fd = TakeReaderLocks(Path("vantel32.crc"));
  if (fd < 0) GTEST_SKIP() << "no locks a reader could take here";
  MakeFile("tree/new.txt", "new");
  RunResult r = Scan("vantel32.crc");
  _close(fd);
  EXPECT_EQ(kExitClean, r.status) << r.err;
  EXPECT_TRUE(Has(r.out, "+ File: " + Path("tree/new.txt") + "\n")) << r.out;
}

// With an ACL the mode's group bits are the ACL's mask: a save that dropped the ACL would give
// the owning group the write access of a named user.
TEST_F(OwnerTest, TheSaveKeepsTheAclAndWarnsOfOtherLinks) {
  if (kIsWin32) GTEST_SKIP() << "no POSIX ACLs on Windows";
  ASSERT_EQ(kExitClean, Scan("vantel32.crc").status);
  const std::string cat = Path("vantel32.crc");
  fs::permissions(cat, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  std::string set = Command({"/usr/bin/setfacl", "-m", "u:65534:rw", cat});
  if (Has(set, "!")) GTEST_SKIP() << "no setfacl (package acl) or no ACLs here: " << set;
  const std::string acl = Command({"/usr/bin/getfacl", "-c", cat});
  const fs::perms mode = fs::status(cat).permissions();
  fs::create_hard_link(cat, Path("second.crc"));
  MakeFile("tree/new.txt", "new");
  RunResult r = Scan("vantel32.crc");
  EXPECT_EQ(kExitClean, r.status) << r.err;
  EXPECT_TRUE(Has(acl, "user:nobody:rw-\ngroup::r--\n")) << acl;
  EXPECT_EQ(acl, Command({"/usr/bin/getfacl", "-c", cat}));
  EXPECT_EQ(mode, fs::status(cat).permissions());
  EXPECT_TRUE(Has(r.err,
                  " *** Warning: Other hard links of the data file keep the old "
                  "contents: vantel32.crc\n"))
      << r.err;
}

// A save killed with SIGKILL leaves its temporary file beside the catalogue: it is told of,
// kept, and inside the tree not taken for a new file. One of that form that is no such file
// (not private, not begun as a data file, or elsewhere) is an entry like any other.
TEST_F(OwnerTest, TheTemporaryFileOfAKilledSaveIsNoEntry) {
  MakeFile("tree/.vnt-0123456789.tmp", "VNT CRC Ver. 2.01\nhalf");
  fs::permissions(Path("tree/.vnt-0123456789.tmp"), fs::perms::owner_read | fs::perms::owner_write);
  ASSERT_EQ(kExitClean, Run({"-ms", "-s", "-nt"}, "", "tree").status);
  MakeFile("tree/.vnt-abcdefghij.tmp", "the user's own");
  MakeFile("tree/sub/.vnt-klmnopqrst.tmp", "a file");
  RunResult r = Run({"-ms", "-s", "-nt"}, "", "tree");
  EXPECT_EQ(kExitClean, r.status) << r.err;
  EXPECT_TRUE(Has(r.err, " *** Warning: Temporary file of an interrupted save: .vnt-0123456789"))
      << r.err;
  EXPECT_TRUE(Exists("tree/.vnt-0123456789.tmp"));
  EXPECT_TRUE(Has(r.out, "+ File: " + Path("tree/sub/.vnt-klmnopqrst.tmp") + "\n")) << r.out;
  RunResult stored = Run({"-mt", "-ol", Path("tree/vantel32.crc")});
  EXPECT_TRUE(Has(stored.out, "klmnopqrst") && Has(stored.out, "abcdefghij")) << stored.out;
  EXPECT_FALSE(Has(stored.out + r.out, "0123456789"));
}

}  // namespace
}  // namespace e2e
