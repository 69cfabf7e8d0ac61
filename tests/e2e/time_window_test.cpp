// --time-window: write times that differ by no more than the window are equal in Scan and
// Compare, and the damage rule counts such a time as kept.
#include <string>
#include <vector>

#include "tests/support/e2e.h"

namespace e2e {
namespace {

constexpr int64_t kStamp = 1500000000;

struct WindowCase {
  const char* what;
  const char* window;  // the option's value; empty: no option
  int64_t seconds;     // the live write time minus the stored one
  uint32_t nanoseconds;
  const char* contents;  // a.txt's bytes now (the same size as before)
  bool writeLine;
  bool damaged;
};

const WindowCase kCases[] = {
    {"default: half a second is a change", "", 0, 500000000, "alpha", true, false},
    {"window 0 is the default", "0", 0, 500000000, "alpha", true, false},
    {"within", "2", 1, 500000000, "alpha", false, false},
    {"at the window", "2", 2, 0, "alpha", false, false},
    {"earlier, at the window", "2", -2, 0, "alpha", false, false},
    {"beyond", "2", 3, 0, "alpha", true, false},
    {"damage within the window", "2", 1, 0, "alphA", false, true},
    {"no damage beyond it", "2", -3, 0, "alphA", true, false},
};

std::vector<std::string> Window(const char* value) {
  if (value[0] == '\0') return {};
  return {std::string("--time-window=") + value};
}

TEST_F(E2eTest, ScanTakesTimesWithinTheWindowAsEqual) {
  MakeFile("tree/a.txt", "alpha");
  SetMtime("tree/a.txt", kStamp);
  ASSERT_EQ(kExitClean, Run({"-ms", "-s", Path("tree")}).status);
  for (const WindowCase& c : kCases) {
    SCOPED_TRACE(c.what);
    MakeFile("tree/a.txt", c.contents);
    SetMtime("tree/a.txt", kStamp + c.seconds, c.nanoseconds);
    std::vector<std::string> args = Window(c.window);
    args.insert(args.end(), {"-ms", "-s", "-r", Path("tree")});  // the catalogue stays as made
    RunResult r = Run(args);
    EXPECT_EQ(c.writeLine, Has(r.out, "     Write :  ")) << r.out;
    EXPECT_EQ(c.damaged, Has(r.out, "Damaged:   1 files\n")) << r.out;
    EXPECT_EQ(c.damaged ? kExitFinding : kExitClean, r.status) << r.err;
  }
}

TEST_F(E2eTest, CompareTakesTimesWithinTheWindowAsEqual) {
  for (const char* side : {"one", "two"}) {
    MakeFile(std::string(side) + "/a.txt", "alpha");
    SetMtime(std::string(side) + "/a.txt", kStamp);
  }
  for (const WindowCase& c : kCases) {
    if (c.damaged) continue;  // damage is Scan's
    SCOPED_TRACE(c.what);
    SetMtime("two/a.txt", kStamp + c.seconds, c.nanoseconds);
    std::vector<std::string> args = Window(c.window);
    args.insert(args.end(), {"-mc", "-s", Path("one"), Path("two")});
    RunResult r = Run(args);
    EXPECT_EQ(c.writeLine, Has(r.out, "     Write :  ")) << r.out;
    EXPECT_EQ(c.writeLine ? kExitFinding : kExitClean, r.status) << r.err;
  }
}

}  // namespace
}  // namespace e2e
