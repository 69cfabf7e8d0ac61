// ParseCommandLine on real paths in a temporary directory; the run-wide state it leaves.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/front.h"
#include "app/options.h"
#include "app/state.h"
#include "tests/support/scratch.h"

namespace fs = std::filesystem;

namespace {

class ParserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = fs::current_path();
    ASSERT_TRUE(scratch_.Made());
    fs::current_path(scratch_.Root());
    top_ = fs::current_path().string() + kPathSep;
    tables.clear();
    strcpy(cOutputFormat, "FS SZ TW CC FL");
  }
  void TearDown() override {
    fs::current_path(saved_);
    tables.clear();
  }

  // Runs the parser on a copy of args, which it may change in place.
  void Parse(std::vector<std::string> args) {
    tables.clear();
    args.insert(args.begin(), "vantel32");
    std::vector<std::vector<char>> store;
    std::vector<char*> argv;
    for (const std::string& a : args) {
      store.emplace_back(a.begin(), a.end());
      store.back().push_back('\0');
    }
    for (auto& s : store) argv.push_back(s.data());
    ParseCommandLine(static_cast<int>(argv.size()), argv.data());
  }

  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(name, std::ios::binary) << bytes;
  }

  ScratchDir scratch_;
  fs::path saved_;
  std::string top_;
};

struct WordCase {
  std::vector<std::string> args;
  uint32_t cmd;
};

TEST_F(ParserTest, OptionWord) {
  fs::create_directory("-x");
  const uint32_t exact = kSwitchSpelledExactly ? cmERR : 0;
  const std::vector<WordCase> cases = {
      {{}, cmLISTS | cmCRC},
      {{"-ns"}, cmLISTS | cmCRC | cmNOSIZE | cmNOCRC},
      {{"-ol"}, cmCRC},
      {{"-ol", "-OS"}, cmCRC | cmLISTS},
      {{"-MS", "-S"}, cmLISTS | cmSCAN | cmSUB},
      {{"-ms", "-x"}, cmERR},
      {{"-x", "-?"}, cmHELP},
      {{"-?", "-x"}, cmERR},
      {{"-x", "-s"}, cmERR | cmSUB},  // later switches add to the error word
      {{"-mz", "-ms"}, cmERR},
      {{"-md", "-mt"}, cmLISTS | cmDFF | cmERR},
      {{"-of", "-s"}, cmERR},  // the format text is "-S", not a switch
      {{"-e", "-r", "-y", "-d", "-na", "-nt", "-np", "-nc"},
       cmLISTS | cmCRC | cmEF | cmRO | cmYES | cmDEBUG | cmNOATTR | cmNOTIME | cmNOPATH | cmNOCRC},
      // "/" starts a switch only where no path of that name exists; "--" ends the switches.
      {{"/s"}, cmLISTS | cmCRC | cmSUB},
      {{"/srvv"}, exact ? exact : cmLISTS | cmCRC | cmSUB},
      {{"/mdeia"}, exact ? exact : cmLISTS | cmDFF},
      {{"/tmp"}, kIsWin32 ? cmERR : cmLISTS | cmCRC},
      {{"-s", "--", "-x"}, cmLISTS | cmCRC | cmSUB},
  };
  for (const WordCase& c : cases) {
    Parse(c.args);
    std::string shown;
    for (const std::string& a : c.args) shown += a + " ";
    EXPECT_EQ(cmd, c.cmd) << shown;
  }
  EXPECT_EQ(std::string(tables[0].cStartPath), top_ + "-x" + kPathSep);
}

TEST_F(ParserTest, DataFilesNameTargetsAndPairWithTasks) {
  std::string other = std::string("elsewhere") + kPathSep;
  Write("data.crc", "VNT CRC Ver. 2.01\n" + other + "\n*.txt\n0\n");
  Parse({"-ms", "data.crc"});
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_EQ(std::string(tables[0].cStartPath), other);
  EXPECT_STREQ(tables[0].cFileMask, "*.txt");
  EXPECT_EQ(std::string(tables[0].cDataFile), top_ + "data.crc");
  EXPECT_EQ(cmd, cmLISTS | cmSCAN);

  // Scan makes a missing data file; a surplus name is refused, not ignored.
  Parse({"-ms", "a", "b", "-fc", "one.crc", "two.crc"});
  ASSERT_EQ(tables.size(), 2u);
  EXPECT_STREQ(tables[0].cDataFile, "one.crc");
  EXPECT_STREQ(tables[1].cDataFile, "two.crc");
  EXPECT_EQ(cmd, cmLISTS | cmSCAN);
  Parse({"-ms", "a", "-fc", "one.crc", "two.crc"});
  EXPECT_EQ(cmd, cmERR);

  Parse({"-ms"});
  EXPECT_STREQ(tables[0].cDataFile, "vantel32.crc");
  Parse({"-mi"});
  EXPECT_STREQ(tables[0].cDataFile, "");

  // A different target answered by /y: the command line's path wins.
  Parse({"-mt", "-y", "-fc", "data.crc"});
  EXPECT_EQ(cmd, cmLISTS | cmTEST | cmYES | cmNOPATH);
  EXPECT_EQ(std::string(tables[0].cStartPath), top_);
  // /np has chosen the command line's path already.
  Parse({"-ms", "-np", "-fc", "data.crc"});
  EXPECT_EQ(cmd, cmLISTS | cmSCAN | cmNOPATH);
  // Info and the duplicate finder never ask.
  Parse({"-md", "-fc", "data.crc"});
  EXPECT_EQ(cmd, cmLISTS | cmDFF);
}

// The run-wide rules of the long options start from their defaults at each parse.
TEST_F(ParserTest, RulesResetAtEachParse) {
  Parse({"--time-window", "2", "--stored", "-ms"});
  EXPECT_EQ(options.timeWindow, 2u);
  EXPECT_TRUE(options.stored);
  Parse({"-ms"});
  EXPECT_EQ(options.timeWindow, 0u);
  EXPECT_FALSE(options.stored);
}

// Each switch in both cases as spelled (its bits are checked above), then with a letter more:
// refused where switches are spelled exactly, read by its first letters where they are not.
TEST_F(ParserTest, SwitchSpelling) {
  for (std::string word : {"?",  "h",  "d",  "e",  "fc x.crc", "mc", "md", "mi", "ms", "mt", "na",
                           "nc", "np", "ns", "nt", "of SZ",    "ol", "os", "r",  "s",  "y"}) {
    for (bool upper : {false, true}) {
      std::vector<std::string> args = {"-" + word.substr(0, word.find(' '))};
      if (word.find(' ') != std::string::npos) args.push_back(word.substr(word.find(' ') + 1));
      for (char& ch : args[0]) ch = static_cast<char>(upper ? toupper(ch) : tolower(ch));
      Parse(args);
      uint32_t spelled = cmd;
      EXPECT_EQ(spelled & cmERR, 0u) << args[0];
      args[0] += "x";
      Parse(args);
      EXPECT_EQ(cmd, kSwitchSpelledExactly ? cmERR : spelled) << args[0];
    }
  }
}

TEST(TimePassTest, HoursMinutesSeconds) {
  auto text = [](long long seconds) {
    FILE* f = tmpfile();
    PrintTimePass(f, seconds);
    rewind(f);
    char buf[64] = {};
    size_t n = fread(buf, 1, sizeof buf - 1, f);
    fclose(f);
    return std::string(buf, n);
  };
  EXPECT_EQ(text(0), "\nTime pass:      00:00:00\n");
  EXPECT_EQ(text(3725), "\nTime pass:      01:02:05\n");
  EXPECT_EQ(text(360000 + 59), "\nTime pass:      100:00:59\n");
}

}  // namespace
