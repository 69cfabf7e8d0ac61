// A tree whose owner changes it under a running walk never leads the walk outside the tree.
#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "tests/support/bytes.h"
#include "tests/support/e2e.h"
#include "tests/support/nodes.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

class HostileTreeTest : public E2eTest {
 protected:
  static constexpr const char* kSecret = "bytes that live outside the tree";

  void SetUp() override {
    E2eTest::SetUp();
    // Folders enough that the walk lists "sub" well before it enters it.
    for (int i = 0; i < 40; ++i) MakeFile("tree/d" + std::to_string(i) + "/f", "x");
    // Outside, the same names with other bytes: a reader led there gets their checksum.
    for (int i = 0; i < 20; ++i) {
      MakeFile("tree/sub/g" + std::to_string(i), "y");
      MakeFile("outside/g" + std::to_string(i), kSecret);
    }
    MakeFile("outside/SECRET", kSecret);
  }
};

// A folder is swapped for a link to a folder outside the tree, and back, as fast as a thread can,
// while Info and Scan walk the tree with every reader setting.
TEST_F(HostileTreeTest, AFolderSwappedForALinkNeverLeadsOutsideTheTree) {
  if (kIsWin32) GTEST_SKIP() << "the Win32 build keeps paths";
  fs::create_directory_symlink(Path("outside"), Path("tree/link"));
  const std::string sub = Path("tree/sub"), link = Path("tree/link");
  if (ExchangeEntries(sub.c_str(), link.c_str()) != 0) GTEST_SKIP() << "no exchanging rename";
  std::atomic<bool> stop{false};
  std::thread racer([&] {
    while (!stop) ExchangeEntries(sub.c_str(), link.c_str());
  });
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(4);
  int runs = 0;
  while (std::chrono::steady_clock::now() < until || runs < 8) {
    for (const char* jobs : {"--jobs=1", "--jobs=2", "--jobs=8", ""}) {
      for (const char* mode : {"-mi", "-ms"}) {
        std::vector<std::string> args = {mode, "-s", "-y", Path("tree")};
        if (jobs[0] != '\0') args.insert(args.begin(), jobs);
        RunResult r = Run(args);
        ++runs;
        EXPECT_FALSE(Has(r.out, "SECRET") || Has(r.out, Hex(CrcOf(kSecret))))
            << mode << " " << jobs << "\n"
            << r.out;
        EXPECT_FALSE(Exists("vantel32.crc") && Has(ReadFile("vantel32.crc"), "SECRET")) << jobs;
      }
    }
  }
  stop = true;
  racer.join();
}

// The start path is taken as the user gave it: a link to the tree, or a folder above it, is
// followed there, and only below it are links refused.
TEST_F(HostileTreeTest, AStartPathThroughALinkIsWalkedWhole) {
  if (kIsWin32) GTEST_SKIP() << "the Win32 build keeps paths";
  fs::create_directory_symlink(Path("tree"), Path("to-tree"));
  fs::create_directory_symlink(Root(), Path("tree/d0/up"));
  for (const char* start : {"to-tree", "to-tree/sub", "tree/d0/up/tree/sub"}) {
    for (const char* jobs : {"--jobs=1", "--jobs=8"}) {
      RunResult r = Run({jobs, "-s", Path(start)});
      EXPECT_EQ(kExitClean, r.status) << start << " " << jobs << r.err;
      EXPECT_TRUE(Has(r.out, "g19")) << start << " " << jobs;
    }
  }
}

}  // namespace
}  // namespace e2e
