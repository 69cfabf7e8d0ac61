// The duplicate finder (-md) run as a program: its report on standard output, its progress
// on standard error.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/support/datafile_image.h"
#include "tests/support/e2e.h"
#include "tests/support/nodes.h"

namespace e2e {
namespace {

class DuplicatesTest : public E2eTest {
 protected:
  std::string Dir() const { return Root() + kPathSep; }

  static std::string Header(const std::string& name, const char* crc, const std::string& size) {
    std::string padded = name;
    if (padded.size() < 30) padded.resize(30, ' ');
    return "\nFile: " + padded + "    CRC32:" + crc + "  Size:" + size + " byte(s)\n";
  }

  static std::string Totals(unsigned count, const std::string& lost) {
    return "\nWas found " + std::to_string(count) + " diplicate file(s).\nLoss " + lost +
           " byte(s) in duplicate file(s).\n";
  }
};

TEST_F(DuplicatesTest, NoGroupPrintsNothingOnStandardOutput) {
  MakeFile("a", "abc");
  MakeFile("b", "abd");  // same size, other checksum
  MakeFile("c", "12345");
  RunResult r = Run({"-md"});
  EXPECT_EQ(r.status, kExitClean);
  EXPECT_EQ(r.out, "");
  // Only a and b share a size, so only they are read.
  EXPECT_TRUE(MatchText(
      std::string(kBanner) + " \376 Duplicate File Finder ...\n" + " \376 Tree        3  " + Dir() +
          "\n" + " \376 CRC32       2  Size:            6 bytes   Speed: {*} Kb/s\n" + kTimePass,
      r.err));
}

TEST_F(DuplicatesTest, GroupsInOneTree) {
  MakeFile("sub/e3");
  MakeFile("sub/v3", std::string(100, 'v'));
  MakeFile("e1");
  MakeFile("v1", std::string(100, 'v'));
  MakeFile("v2", std::string(100, 'v'));
  MakeFile("w", std::string(99, 'v') + "w");  // the size of the v files, not their contents
  MakeFile("e2");
  RunResult r = Run({"-md", "-s"});
  EXPECT_EQ(r.status, kExitClean);
  // Record order: sub, then e1 e2 v1 v2 w, then sub's files e3 v3.
  EXPECT_EQ(r.out, Header("e1", "00000000", "0") + "\n      " + Path("e1") + "\n" + "      " +
                       Path("e2") + "\n" + "      " + Path("sub/e3") + "\n" +
                       Header("v1", "E9F8DA9A", "100") + "\n      " + Path("v1") + "\n" + "      " +
                       Path("v2") + "\n" + "      " + Path("sub/v3") + "\n" + Totals(6, "200"));
}

TEST_F(DuplicatesTest, CopiesInTwoTasksWhicheverHoldsTheFirst) {
  MakeFile("one/a", "twin");
  MakeFile("two/b", "twin");
  MakeFile("two/c", "twin");
  RunResult forward = Run({"-md", "one", "two"});
  EXPECT_EQ(forward.out, Header("a", "8A920AB3", "4") + "\n      " + Path("one/a") + "\n" +
                             "      " + Path("two/b") + "\n" + "      " + Path("two/c") + "\n" +
                             Totals(3, "8"));
  RunResult backward = Run({"-md", "two", "one"});
  EXPECT_EQ(backward.out, Header("b", "8A920AB3", "4") + "\n      " + Path("two/b") + "\n" +
                              "      " + Path("two/c") + "\n" + "      " + Path("one/a") + "\n" +
                              Totals(3, "8"));
}

// Two tasks that cover one file list it twice, but deleting "the other copy" would delete the
// only one: alone it is no group, and beside a real copy its bytes count once.
TEST_F(DuplicatesTest, OverlappingTasksDoNotMakeAFileItsOwnDuplicate) {
  MakeFile("sub/only", "solo");
  RunResult alone = Run({"-md", "-s", ".", "sub"});
  EXPECT_EQ(alone.status, kExitClean);
  EXPECT_EQ(alone.out, "");
  MakeFile("twin", "solo");
  RunResult r = Run({"-md", "-s", ".", "sub"});
  EXPECT_EQ(r.out, Header("twin", "0F000411", "4") + "\n      " + Path("twin") + "\n" + "      " +
                       Path("sub/only") + "\n" + "      " + Path("sub/only") + "\n" +
                       Totals(3, "4"));
}

// A file of a shared size that cannot be read is named with its reason, from a live tree as
// from a catalogue. Live, it joins no group; a catalogue's file keeps its stored checksum.
TEST_F(DuplicatesTest, AnUnreadableFileIsWarnedAndJoinsNoGroup) {
  namespace fs = std::filesystem;
  std::vector<std::string> bound;
  if (PermissionBoundPrefix(&bound) != 0) GTEST_SKIP() << "permission bits cannot bind here";
  for (const char* name : {"a", "b", "c"}) MakeFile("tree/" + std::string(name), "same");
  ASSERT_EQ(Run({"-ms", "tree", "-fc", "tree.crc"}).status, kExitClean);
  fs::permissions(Path("tree/b"), fs::perms::none);
  struct Restore {
    std::string file;
    ~Restore() { fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write); }
  } restore{Path("tree/b")};
  struct Case {
    std::string source;
    std::vector<const char*> members;
  };
  for (const Case& c : {Case{Path("tree"), {"tree/a", "tree/c"}},
                        Case{Path("tree.crc"), {"tree/a", "tree/b", "tree/c"}}}) {
    SCOPED_TRACE(c.source);
    RunResult r = RunUnder(bound, {"-md", c.source});
    if (r.err.find("setpriv") != std::string::npos) GTEST_SKIP() << "no setpriv: " << r.err;
    EXPECT_EQ(r.status, kExitTrouble);
    std::string expected = Header("a", "FC50F144", "4") + "\n";
    for (const char* m : c.members) expected += "      " + Path(m) + "\n";
    EXPECT_EQ(r.out, expected + Totals(static_cast<unsigned>(c.members.size()),
                                       std::to_string(4 * (c.members.size() - 1))));
    EXPECT_NE(r.err.find(" *** Warning: Permission denied: " + Path("tree/b") + "\n"),
              std::string::npos)
        << r.err;
  }
}

TEST_F(DuplicatesTest, MissingDataFileIsRefused) {
  MakeFile("tree/one", "same");
  MakeFile("tree/two", "same");
  std::string good =
      datafile::Image(Dir() + "stored" + kPathSep, "*.*",
                      {{"x", 0x20, 4, 0xFC50F144, 0}, {"y", 0x20, 4, 0xFC50F144, 0}});
  MakeFile("good.crc", good);

  // The command line refuses it: a search without it would pass as one over all it was given.
  RunResult missing = Run({"-md", "a", "b", "-fc", "missing.crc", "good.crc"});
  EXPECT_EQ(missing.status, kExitTrouble);
  EXPECT_EQ(missing.out, "");
  EXPECT_NE(missing.err.find(" *** Error: Can't open missing.crc\n"), std::string::npos);
}

// A catalogue made without checksums holds CRC 0 for every file: its files group by their
// bytes while they can be read, and not at all once they are gone.
TEST_F(DuplicatesTest, CatalogueWithoutChecksumsGroupsByBytesOnly) {
  MakeFile("tree/x", "abcd");
  MakeFile("tree/y", "abce");
  MakeFile("tree/z", "abcd");
  ASSERT_EQ(Run({"-ms", "-nc", "tree", "-fc", "nc.crc"}).status, kExitClean);
  RunResult present = Run({"-md", "nc.crc"});
  EXPECT_EQ(present.out, Header("x", "ED82CD11", "4") + "\n      " + Path("tree/x") + "\n" +
                             "      " + Path("tree/z") + "\n" + Totals(2, "4"));
  std::filesystem::rename(Path("tree"), Path("gone"));
  EXPECT_EQ(Run({"-md", "nc.crc"}).out, "");
}

// The dump of /d shows every file's checksum, also of a file whose size no other file has.
TEST_F(DuplicatesTest, DebugDumpHoldsEveryChecksum) {
  MakeFile("lone", "hello");
  MakeFile("x", "ab");
  MakeFile("y", "ab");
  RunResult r = Run({"-md", "-d"});
  EXPECT_NE(r.out.find(" 3610A686  lone "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(Header("x", "9E83486D", "2")), std::string::npos);
}

}  // namespace
}  // namespace e2e
