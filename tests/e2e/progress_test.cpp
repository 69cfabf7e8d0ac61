// Progress on standard error: carriage-return lines only on a console, the lines that stay
// always, and the mark in the form the locale can show.
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/support/e2e.h"
#include "tests/support/process.h"

namespace e2e {
namespace {

class ProgressTest : public E2eTest {
 protected:
  void SetUp() override {
    E2eTest::SetUp();
    MakeFile("tree/a.txt", "alpha");
    MakeFile("tree/sub/b.txt", "beta");
    MakeFile("copy/a.txt", "alpha");
  }
};

TEST_F(ProgressTest, OffAConsoleOnlyTheLinesThatStayArePrinted) {
  struct Step {
    std::vector<std::string> args;
    std::vector<std::string> lines;  // each must be there, in this order
  };
  const std::vector<Step> steps = {
      {{"-s", "tree"}, {" \376 Tree        3  ", " \376 CRC32       2  Size: "}},
      {{"-ms", "-s", "tree"}, {" \376 CRC32 File Scanner ...\n", " \376 Saved       3  "}},
      {{"-ms", "-s", "tree"}, {" \376 Readed      3  ", " \376 Saved       3  "}},
      {{"-mc", "-s", "tree", "copy"}, {" \376 File Compare ...\n", " \376 Tree  "}},
      {{"-md", "-s", "tree", "copy"}, {" \376 Duplicate File Finder ...\n", " \376 CRC32  "}},
  };
  for (const Step& step : steps) {
    std::string shown = step.args[0];
    RunResult r = Run(step.args);
    EXPECT_EQ(r.err.find('\r'), std::string::npos) << shown << ":\n" << r.err;
    size_t at = 0;
    for (const std::string& line : step.lines) {
      at = r.err.find(line, at);
      EXPECT_NE(at, std::string::npos) << shown << ": " << line << "\n" << r.err;
    }
    EXPECT_TRUE(MatchText(kTimePass, r.err.substr(r.err.rfind("\nTime pass")))) << shown;
  }
}

TEST_F(ProgressTest, TheMarkFollowsTheCharacterSetOfTheLocale) {
  std::string utf8 = Run({"tree"}, "", "", {"LC_ALL=C.UTF-8"}).err;
  std::string plain = Run({"tree"}, "", "", {"LC_ALL=C"}).err;
  EXPECT_NE(plain.find(" \376 Tree  "), std::string::npos) << plain;
  // The Win32 console shows the byte in its OEM code page.
  const char* mark = kIsWin32 ? " \376 Tree  " : " \xE2\x96\xA0 Tree  ";
  EXPECT_NE(utf8.find(mark), std::string::npos) << utf8;
}

TEST_F(ProgressTest, OnAConsoleTheProgressLinesAreDrawnWithinItsWidth) {
  const std::string script = "/usr/bin/script";
  if (kIsWin32 || _access(script.c_str(), 0) != 0)
    GTEST_SKIP() << "needs a pseudo-terminal from script(1)";
  MakeFile("tree/a folder with a rather long name/and a file with a long name too.txt", "x");
  for (int columns : {20, 40, 80, 120}) {
    // script(1) gives the program a terminal for standard output and standard error, stty its
    // width; the terminal turns each line feed into a carriage return and a line feed.
    ProcessResult done;
    std::string command =
        "stty cols " + std::to_string(columns) + "; '" + ProgramPath() + "' -s tree";
    ASSERT_EQ(0, RunProcess({script, "-qec", command, "/dev/null"}, Root(), {"TZ=UTC", "LC_ALL=C"},
                            "", kRunSeconds, &done));
    EXPECT_NE(done.out.find(" \376 Building file t"), std::string::npos) << done.out;
    EXPECT_NE(done.out.find("\r \376 Tree        5  "), std::string::npos) << done.out;
    // The checksum line counts the files done of all three.
    EXPECT_NE(done.out.find("/3\r"), std::string::npos) << done.out;
    // A line that stays first blanks all of what a progress line may have drawn.
    EXPECT_NE(done.out.find(std::string(columns - 1, ' ') + "\r"), std::string::npos) << columns;
    size_t begin = 0;
    for (size_t end; (end = done.out.find_first_of("\r\n", begin)) != std::string::npos;
         begin = end + 1) {
      bool rewritten = done.out[end] == '\r' && done.out.compare(end, 2, "\r\n") != 0;
      EXPECT_TRUE(!rewritten || end - begin < static_cast<size_t>(columns))
          << columns << ": " << done.out.substr(begin, end - begin);
    }
  }
}

}  // namespace
}  // namespace e2e
