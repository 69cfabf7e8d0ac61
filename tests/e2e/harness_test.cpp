// The end-to-end harness itself: arguments must reach the program byte for byte (the Win32
// build rebuilds them from one quoted command line), the two output streams must stay apart,
// and the text patterns must match no more than they claim.
#include <string>
#include <vector>

#include "tests/support/e2e.h"

namespace e2e {
namespace {

using HarnessTest = E2eTest;

// An unknown switch is echoed back on standard error exactly as the program received it.
TEST_F(HarnessTest, ArgumentsReachTheProgramUnchanged) {
  const std::vector<std::string> args = {"-x a  b", "-x\"q", "-xa\\",  "-xa\\\\\"b",
                                         "-x\\\"",  "-x*?",  "-x\ttab"};
  for (const std::string& arg : args) {
    RunResult r = Run({arg});
    EXPECT_EQ(r.status, kExitTrouble) << arg;
    EXPECT_EQ(r.out, "") << arg;
    EXPECT_TRUE(MatchText(std::string(kBanner) + " *** Error: unknown switch ... " + arg +
                              "\n *** Use:   vantel32 /?\n" + kTimePass,
                          r.err))
        << arg;
  }
}

TEST(MatchTextTest, AnyStandsForTheRestOfOneLineOnly) {
  EXPECT_TRUE(MatchText("a{*}\nb\n", "axyz\nb\n"));
  EXPECT_TRUE(MatchText("a{*}\nb\n", "a\nb\n"));
  EXPECT_TRUE(MatchText("a{*}c{*}d\n", "abcbcxd\n"));
  EXPECT_FALSE(MatchText("a{*}\n", "a\nb\n"));
  EXPECT_FALSE(MatchText("a{*}b\n", "a\nb\n"));
  EXPECT_FALSE(MatchText("a{*}c\n", "abcd\n"));
  EXPECT_FALSE(MatchText("a\nb\n", "a\n"));
  EXPECT_FALSE(MatchText("a\n", "a\nb\n"));
  EXPECT_FALSE(MatchText("a\n", "a"));
  EXPECT_FALSE(MatchText("x\n", "x\r\n"));
  EXPECT_TRUE(MatchText(std::string(kBanner) + "x\n" + kTimePass,
                        "VANTEL32  Win32  Ver. 2.01  Apr 30 2001  credits\n\nx\n\n"
                        "Time pass:      00:00:01\n"));
}

TEST(MatchTextTest, FailureNamesTheFirstDifferentLine) {
  ::testing::AssertionResult r = MatchText("a\nb\nc\n", "a\nB\nc\n");
  ASSERT_FALSE(r);
  EXPECT_NE(std::string(r.message()).find("line 2 differs"), std::string::npos) << r.message();
}

}  // namespace
}  // namespace e2e
