// The long options that shape a walk: --exclude leaves entries out of every mode and, in Scan,
// out of the catalogue; --one-file-system records a mount point without entering it.
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/support/e2e.h"
#include "tests/support/nodes.h"

namespace e2e {
namespace {

class WalkRulesTest : public E2eTest {
 protected:
  void SetUp() override {
    E2eTest::SetUp();
    for (const char* rel : {"a.txt", "a.bak", "keep/sub/x.bak", "build/obj/o.o", "docs/a/n.txt",
                            "docs/a.txt", "docs/Build"})
      MakeFile(std::string("tree/") + rel, rel);
  }

  // The entries below tree that a listing of args (Info of the tree, or Test of a catalogue)
  // shows, as paths written with '/'.
  std::set<std::string> Listed(std::vector<std::string> args) {
    args.insert(args.end(), {"-ol", "-of", "FP"});
    RunResult r = Run(args);
    EXPECT_EQ(kExitClean, r.status) << r.err;
    std::set<std::string> listed;
    std::string prefix = Path("tree") + kPathSep, line;
    for (std::istringstream in(r.out); std::getline(in, line);) {
      if (line.compare(0, prefix.size(), prefix) != 0) continue;
      line = line.substr(prefix.size());
      line.erase(line.find_last_not_of(' ') + 1);
      if (line.empty()) continue;  // the heading of the start directory
      for (char& c : line)
        if (c == kPathSep) c = '/';
      listed.insert(line);
    }
    return listed;
  }
};

TEST_F(WalkRulesTest, ExcludedEntriesAreNeitherListedNorStoredAndLeaveTheCatalogueOnce) {
  const std::set<std::string> all = {"a.bak",         "a.txt",      "build",  "build/obj",
                                     "build/obj/o.o", "docs",       "docs/a", "docs/a.txt",
                                     "docs/a/n.txt",  "docs/Build", "keep",   "keep/sub",
                                     "keep/sub/x.bak"};
  ASSERT_EQ(all, Listed({"-s", Path("tree")}));
  struct Case {
    std::vector<std::string> patterns;
    std::set<std::string> gone;
  };
  const std::vector<Case> cases = {
      {{"*.BAK"}, {"a.bak", "keep/sub/x.bak"}},  // a name, in either case
      {{"build"}, {"build", "build/obj", "build/obj/o.o", "docs/Build"}},
      {{"build/"}, {"build", "build/obj", "build/obj/o.o"}},    // directories only
      {{"docs/a*"}, {"docs/a", "docs/a.txt", "docs/a/n.txt"}},  // a path below the start path
      {{"/a.*"}, {"a.bak", "a.txt"}},                           // the first level only
      {{"sub", "o.o", "n.txt"}, {"keep/sub", "keep/sub/x.bak", "build/obj/o.o", "docs/a/n.txt"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> options;
    for (const std::string& p : c.patterns) options.push_back("--exclude=" + p);
    std::set<std::string> kept;
    for (const std::string& e : all)
      if (!c.gone.count(e)) kept.insert(e);
    std::vector<std::string> info = options;
    info.insert(info.end(), {"-s", Path("tree")});
    EXPECT_EQ(kept, Listed(info)) << c.patterns[0];

    // Compare of two catalogues leaves them out of either: no difference.
    ASSERT_EQ(kExitClean, Run({"-ms", "-s", Path("tree"), "-fc", "x.crc"}).status);
    std::vector<std::string> without = options;
    without.insert(without.end(), {"-ms", "-s", Path("tree"), "-fc", "y.crc"});
    ASSERT_EQ(kExitClean, Run(without).status);
    for (const char* one : {"x.crc", "y.crc"}) {
      std::vector<std::string> compare = options;
      compare.insert(compare.end(),
                     {"-mc", "--stored", "-s", one, one[0] == 'x' ? "y.crc" : "x.crc"});
      EXPECT_EQ(kExitClean, Run(compare).status) << c.patterns[0] << " " << one;
    }

    // Scan: the records a pattern now covers are listed as missing, then are gone for good.
    std::vector<std::string> scan = options;
    scan.insert(scan.end(), {"-ms", "-s", Path("tree"), "-fc", "x.crc"});
    RunResult first = Run(scan);
    EXPECT_EQ(kExitClean, first.status) << first.err;
    for (const std::string& e : all) {
      bool listed = first.out.find(" " + Path("tree/" + e) + "\n") != std::string::npos;
      EXPECT_EQ(c.gone.count(e) != 0, listed) << c.patterns[0] << ": " << e << "\n" << first.out;
    }
    EXPECT_EQ("\n\n", Run(scan).out) << c.patterns[0];
    EXPECT_EQ(kept, Listed({"-mt", "x.crc"})) << c.patterns[0];
    Run({"-ms", "-s", Path("tree"), "-fc", "x.crc"});  // takes the entries in again
  }
}

TEST_F(WalkRulesTest, AMountPointIsRecordedButNotEnteredAndItsStoredSubtreeKept) {
  std::string why, mnt = Path("tree/deep/mnt");
  if (MountScratchFs(mnt.c_str(), &why) != 0) GTEST_SKIP() << why;
  struct Unmount {
    std::string path;
    ~Unmount() { UnmountScratchFs(path.c_str()); }
  } unmount{mnt};
  MakeFile("tree/deep/mnt/inside/f.txt", "on another device");
  MakeFile("tree/deep/mnt/mnt/f.txt", "named as the mount point");
  ASSERT_EQ(kExitClean, Run({"-ms", "-s", Path("tree"), "-fc", "x.crc"}).status);
  // Each way a listing finds a directory: among all names, by a wildcard, by its name alone.
  for (const char* mask : {"*", "m*", "mnt"}) {
    std::set<std::string> walked = Listed({"--one-file-system", "-s", Path("tree/") + mask});
    EXPECT_EQ(1u, walked.count("deep/mnt")) << mask;
    EXPECT_EQ(0u, walked.count("deep/mnt/mnt") + walked.count("deep/mnt/inside")) << mask;
  }
  std::set<std::string> stored = Listed({"-mt", "x.crc"});
  std::vector<std::string> scan = {"--one-file-system", "-ms", "-s", Path("tree"), "-fc", "x.crc"};
  RunResult r = Run(scan);
  EXPECT_EQ(1u, stored.count("deep/mnt/inside/f.txt"));
  EXPECT_EQ("\n\n", r.out);
  EXPECT_EQ(stored, Listed({"-mt", "x.crc"}));
}

}  // namespace
}  // namespace e2e
