// The driver and the command line as the user meets them: banner, usage, dumps, errors.
#include <string>
#include <vector>

#include "core/verdict.h"
#include "platform/platform.h"
#include "tests/support/e2e.h"

namespace e2e {
namespace {

const char kUsage[] =
    "  vantel32 [switch] [filemask] [switch] [filemask]\n\n"
    "  Switch:  Mode:    Description:\n\n"
    "   /mc     Compare  Compare folders.\n"
    "   /md     DFF      Duplicate File Finder. Available some file masks.\n"
    "   /mi     Info     Type crc-information. Default mode.\n"
    "   /ms     Scan     CRC Scaner.\n"
    "   /mt     Test     Type crc-information from data file.\n\n"
    "   /s             - Process with subfolders.\n"
    "   /e             - Type empty folders.\n"
    "   /d             - Print debug information.\n"
    "   /y             - Always YES for any questions.\n"
    "   /na            - In Scan and Compare mode don't check file attribute.\n"
    "   /ns            - In Scan and Compare mode don't check file size.\n"
    "   /nt            - In Scan and Compare mode don't check date and time.\n"
    "   /nc            - In Scan and Compare mode don't check CRC32.\n"
    "   /np            - In Scan mode keep the start path of the command line.\n"
    "   /fc filemask   - Use data file with target name in CRC Scaner mode.\n"
    "                    If file not exist, it will be create.\n"
    "                    After this switch must be only names of data file.\n"
    "                    Default name: vantel32.crc\n"
    "   /r             - Open data file in read-only mode.\n"
    "\n                    Output format:\n\n"
    "   /os            - Many short lists by subfolders in Scan mode. Default.\n"
    "   /ol            - One long list in Scan mode\n"
    "   /of \"format\"   - Output format in Scan mode. Example: /of \"ID AT TW CC FL\"\n"
    "                    FS    - Short File Name    TC    - Create Time\n"
    "                    FL    - Long File Name     TW    - Write Time\n"
    "                    FP    - Full File Name     TA    - Access Time\n"
    "                    AT    - Attributes         CC    - CRC32\n"
    "                    SZ    - Size\n"
    "                    R0    - Reseved0 (NTFS)    ID    - Index in table\n"
    "                    R1    - Reseved1 (NTFS)    NO    - Number in list\n"
    "\n  Note:  1. [filemask] - file name with wildcards or name of data file.\n";

std::string Usage() {
  std::string text = kUsage;
  if (!kIsWin32)
    text +=
        "         2. Quote masks against the shell: vantel32 -s '*.txt'\n"
        "         3. A switch is read as typed, in either case: -s, -ms; -- ends them.\n";
  text +=
      "\n  Long options:\n\n"
      "   --help         - This text.\n"
      "   --version      - Version and build.\n"
      "   --moves        - In Scan and Compare mode report moves and renames.\n"
      "   --jobs=N       - Files read at once (default fits the machine; 1: one by one).\n"
      "   --accept-damaged\n"
      "                  - In Scan mode save the new CRC32 of damaged files.\n"
      "   --accept-empty - In Scan mode save a data file whose every file is missing.\n"
      "   --archive      - In Scan mode missing or changed files are findings, kept as stored.\n"
      "   --accept-missing\n"
      "                  - In Scan mode with --archive let missing files go.\n"
      "   --exclude=PATTERN\n"
      "                  - Leave out entries whose name (or path, with a /) matches; repeatable.\n"
      "   --one-file-system\n"
      "                  - Record folders on other devices (mount points) but do not enter them.\n"
      "   --quiet        - Only warnings and errors; no output when nothing to report.\n"
      "   --time-window=SECONDS\n"
      "                  - In Scan and Compare mode times this close are equal.\n"
      "   --stored       - In Compare mode a data file as Path 2 stands for its records.\n"
      "   --json         - The report as JSON Lines, one object per line (see the manual).\n"
      "   --             - Every later argument is a file mask.\n"
      "\n  Exit status:  0 - nothing needs attention (changes saved by Scan included).\n"
      "                1 - Scan found damaged files (with --archive also changed or\n"
      "                    missing ones), or Compare found a difference.\n"
      "                2 - trouble: command line, data file or tree refused, an entry\n"
      "                    skipped or unreadable, a report or data file not written.\n";
  return text;
}

const std::string kHint = " *** Use:   vantel32 /?\n";
const std::string kWindow = "takes a number of seconds from 0 to 31622400: ";

// Standard error of a run that stops at the command line.
std::string Refused(const std::string& messages) {
  return std::string(kBanner) + messages + kTimePass;
}

TEST_F(E2eTest, NoArgumentsListsTheCurrentDirectory) {
  RunResult r = Run({});
  EXPECT_EQ(r.status, kExitClean);
  EXPECT_TRUE(
      MatchText("\nSystem clock:   {*}\nFile mask   :   *.*\n\n"
                "Report total:   Files: 0      Directories: 0      Size: 0\n",
                r.out));
  EXPECT_TRUE(MatchText(kBanner, r.err.substr(0, r.err.find("\n\n") + 2)));
  EXPECT_TRUE(MatchText(kTimePass, r.err.substr(r.err.rfind("\nTime pass"))));
}

TEST_F(E2eTest, HelpSwitchesPrintTheUsageAndRunNoMode) {
  for (const char* help : {"/?", "-?", "/h", "-H", "--help"}) {
    RunResult r = Run({help, "nothing-here"});
    EXPECT_EQ(r.status, kExitClean) << help;
    EXPECT_EQ(r.out, Usage()) << help;
    // The long option prints its text alone, for a pipe into a pager or a script.
    std::string err = std::string(help) == "--help" ? "" : Refused("");
    EXPECT_TRUE(MatchText(err, r.err)) << help << ": " << r.err;
  }
  // /? replaces the whole option word, so /d before it is dropped.
  EXPECT_EQ(Run({"-d", "-?"}).out, Usage());
  // After it, /d adds both dumps around the usage text.
  std::string both = Run({"-?", "-d"}).out;
  size_t magic = both.find(" --- CRC32 MAGIC TABLE --- MagicConst:EDB88320 ---");
  size_t usage = both.find(Usage());
  size_t table = both.find("File mask   :   *.*");
  EXPECT_LT(magic, usage);
  EXPECT_LT(usage, table);
  EXPECT_NE(table, std::string::npos);
}

TEST_F(E2eTest, VersionPrintsVersionAndBuildLines) {
  RunResult r = Run({"--version", "nothing-here"});
  EXPECT_EQ(r.status, kExitClean);
  EXPECT_TRUE(MatchText("vantel32 2.01\nBuilt for {*}\n", r.out));
  EXPECT_EQ("", r.err);
  // The later of --version and the help switches wins, as the help switches replace each other.
  EXPECT_EQ(Run({"--version", "--help"}).out, Usage());
  EXPECT_EQ(Run({"--version", "-?"}).out, Usage());
  EXPECT_EQ(Run({"-?", "--version"}).out, r.out);
}

TEST_F(E2eTest, DebugDumpsShowStateAfterParsing) {
  RunResult r = Run({"-d", "-of", "fs cc fl", "-e", "missing.*"});
  EXPECT_EQ(r.status, kExitClean);
  std::string top = Root() + kPathSep;
  std::string expected =
      "\n --- CRC32 MAGIC TABLE --- MagicConst:EDB88320 ---\n\n"
      " 00000000 77073096 EE0E612C 990951BA 076DC419 706AF48F E963A535 9E6495A3\n";
  for (int row = 1; row < 32; ++row) expected += "{*}\n";
  expected +=
      "\n\n --- COMMAND LINE ARGUMENTS --- argv[6] ---\n\n 00: {*}\n 01: -d\n 02: -of\n"
      " 03: FS CC FL\n 04: -e\n 05: missing.*\n"
      "\n\n --- TASK LIST --- tables[1] ---\n\n 00: cStartPath : " +
      top +
      "\n     cFileMask  : missing.*\n     cDataFile  : \n"
      "\n\n --- GLOBAL VARIABLES --- \n\n OUTPUT FORMAT  : FS CC FL\n"
      " cmd            : 00018201\n\n"
      "                  cmCRC\n                  cmEF\n                  cmDEBUG\n"
      "                  cmLISTS\n"
      "\n sizeof(class Record) : {*}\n sizeof(class Table)  : {*}\n\n"
      "\nSystem clock:   {*}\n"
      "\n --- FILE TABLE --- Records:0 --- Start path: " +
      top + "\n\nFile mask   :   missing.*\n\n" + top +
      "\n\nFile Name     CRC32     Long File Name    \n"
      "------------  --------  ------------------\n"
      "------------  --------  ------------------\n"
      "Report total:   Files: 0      Directories: 0      Size: 0\n"
      // the closing dump: every column, one long list, no empty-folder head
      "\n --- FILE TABLE --- Records:0 --- Start path: " +
      top +
      "\n\nFile mask   :   missing.*\n\n"
      "Report total:   Files: 0      Directories: 0      Size: 0\n";
  EXPECT_TRUE(MatchText(expected, r.out));
  EXPECT_NE(r.out.find("\n 3B6E20C8 4C69105E D56041E4 A2677172 "), std::string::npos);  // row 4
  EXPECT_NE(r.out.find(" EDB88320 9ABFB3B6"), std::string::npos);  // entries 128 and 129
}

struct Refusal {
  std::vector<std::string> args;
  std::string messages;  // standard error between banner and time line
};

TEST_F(E2eTest, CommandLineErrorsEndTheRunWithStatusTwo) {
  MakeFile("notes.txt", "plain text\n");
  MakeFile("old.crc", "VNT CRC Ver. 1.00\n/x/\n*.*\n0\n");
  MakeDir("folder");
  std::string top = Root() + kPathSep;
  std::string longMask(MAX_PATH + 10, 'n');
  std::string longFormat(256, 'A');
  std::vector<Refusal> cases = {
      {{"-mz"}, " *** Error: Unknown mode ... -mz\n" + kHint},
      {{"-mz", "-ms"},
       " *** Error: Unknown mode ... -mz\n *** Error: Mode switch must be only one ... -mz, -ms\n" +
           kHint},
      // A second mode keeps the first one's bit: no mode runs and no hint follows.
      {{"-ms", "-mc"}, " *** Error: Mode switch must be only one ... -ms, -mc\n"},
      {{"-nx"}, " *** Error: Unknown switch ... -nx\n" + kHint},
      {{"-x"}, " *** Error: unknown switch ... -x\n" + kHint},
      {{"-"}, " *** Error: unknown switch ... -\n" + kHint},
      {{"--word"}, " *** Error: unknown switch ... --word\n" + kHint},
      {{"--help=yes"}, " *** Error: unknown switch ... --help=yes\n" + kHint},
      {{"--ms"}, " *** Error: unknown switch ... --ms\n" + kHint},
      {{"--jobs=0"}, " *** Error: --jobs takes a number from 1 to 64: 0\n" + kHint},
      {{"--jobs", "2x"}, " *** Error: --jobs takes a number from 1 to 64: 2x\n" + kHint},
      {{"--jobs"}, " *** Error: After switch --jobs must be a value\n" + kHint},
      {{"--time-window=-1"}, " *** Error: --time-window " + kWindow + "-1\n" + kHint},
      {{"--time-window", "31622401"},
       " *** Error: --time-window " + kWindow + "31622401\n" + kHint},
      {{"--time-window="}, " *** Error: --time-window " + kWindow + "\n" + kHint},
      {{"--stored=yes"}, " *** Error: unknown switch ... --stored=yes\n" + kHint},
      {{"--exclude=/"}, " *** Error: --exclude takes a name or path pattern: /\n" + kHint},
      {{"--one-file-system=1"}, " *** Error: unknown switch ... --one-file-system=1\n" + kHint},
      {{"-f"}, " *** Error: unknown switch ... -f\n" + kHint},
      {{"-oz"}, " *** Error: unknown switch ... -oz\n" + kHint},
      {{"-ms", "-x"}, " *** Error: unknown switch ... -x\n" + kHint},
      {{"-of"}, " *** Error: After switch /of must be a format string\n" + kHint},
      {{"-of", "fs xx cc"}, " *** Error: Unknown column name /of \"XX\"\n" + kHint},
      {{"-of", "FL CC"}, " *** Error: Column name \"FL\" or \"FP\" must be last\n" + kHint},
      {{"-of", "FL FP"}, " *** Error: Column name \"FL\" or \"FP\" must be last\n" + kHint},
      {{"-of", "-s"}, " *** Error: Unknown column name /of \"-S\"\n" + kHint},
      {{"-of", longFormat}, " *** Error: Format string is too long\n" + kHint},
      {{longMask}, " *** Error: Invalid file mask: " + longMask + "\n" + kHint},
      {{"nosuch/*.txt", "a"}, " *** Error: Invalid file mask: nosuch/*.txt\n" + kHint},
      {{Sep("nosuch/")}, " *** Error: Invalid file mask: " + Sep("nosuch/") + "\n" + kHint},
      {{"/"}, " *** Error: unknown switch ... /\n" + kHint},
      {{"-mt", "notes.txt"}, " *** Error: notes.txt - is not data file.\n" + kHint},
      {{"-mt", "old.crc"}, " *** Error: old.crc - version conflict.\n" + kHint},
      {{"-mt", "-fc", "folder"}, " *** Error: Can't open folder\n *** Is a directory\n" + kHint},
      {{"-mt", "-fc", "notes.txt"}, " *** Error: notes.txt - is not data file.\n" + kHint},
      {{"-mc", "folder", "folder", "folder"},
       " *** Error: Only 2 file mask may be in Compare-mode (/mc).\n" + kHint},
      // Compare takes no mask: a mistyped tree is not read as its parent directory.
      {{"-mc", "folder", "foldr"}, " *** Error: Invalid file mask: foldr\n" + kHint},
      {{"-ms", "a", "b", "-fc", "one.crc"},
       " *** Error: Number of file mask must be equal the number of name data file.\n" + kHint},
      {{"-ms", "a", "b"}, " *** Error: Unspecified data file for " + top + "\n" + kHint},
      {{"-ms", "-fc", "new.crc", "-s", "folder"},
       " *** Error: Number of file mask must be equal the number of name data file.\n" + kHint},
      {{"-mt", "nothere.crc"}, " *** Error: Can't open nothere.crc\n *** {*}\n" + kHint},
      {{"-mc", "folder", "-fc", "nothere.crc"},
       " *** Error: Can't open nothere.crc\n *** {*}\n" + kHint},
  };
  // Switches are taken as typed, never by their first letters.
  if (kSwitchSpelledExactly)
    cases.push_back({{"-exclude", "/srvv"},
                     " *** Error: unknown switch ... -exclude\n *** Error: "
                     "unknown switch ... /srvv\n" +
                         kHint});
  for (const Refusal& c : cases) {
    std::string shown;
    for (const std::string& a : c.args)
      shown += (a.size() > 40 ? a.substr(0, 40) + "..." : a) + " ";
    RunResult r = Run(c.args);
    EXPECT_EQ(r.status, kExitTrouble) << shown;
    EXPECT_EQ(r.out, "") << shown;
    EXPECT_TRUE(MatchText(Refused(c.messages), r.err)) << shown;
  }
}

TEST_F(E2eTest, AnExistingNameWithWildcardsIsTakenLiterally) {
  if (kIsWin32) GTEST_SKIP() << "Windows names cannot hold '?'";
  MakeFile("q?/inside.txt", "x");
  MakeFile("q1", "y");
  RunResult r = Run({"-d", "q?"});
  EXPECT_NE(std::string::npos, r.out.find("cStartPath : " + Path("q?") + kPathSep + "\n")) << r.out;
}

TEST_F(E2eTest, SwitchesCombineAndSlashFormsWork) {
  MakeFile("a.txt", "x");
  // /x followed by /? ends with the help word alone; /ns, /np, /y and /r are accepted anywhere.
  EXPECT_EQ(Run({"/x", "/?"}).status, kExitClean);
  RunResult r = Run({"/d", "/ns", "/nt", "/na", "/nc", "/np", "/y", "/r", "/ol", "/mi", "a.txt"});
  EXPECT_EQ(r.status, kExitClean);
  EXPECT_NE(r.out.find(" cmd            : 0002FC41\n"), std::string::npos) << r.out;
  // Arguments that only look like switches to Windows stay paths here.
  if (!kIsWin32) {
    RunResult path = Run({"-d", Path("a.txt")});
    EXPECT_NE(path.out.find("     cFileMask  : a.txt\n"), std::string::npos);
  }
}

// A mistyped path and a forgotten -s are said on standard error; the first is trouble and
// leaves no catalogue behind.
TEST_F(E2eTest, WarningsWhereTheTreeDoesNotBearOutTheCommandLine) {
  MakeFile("photos/sub/README", "r");
  ASSERT_EQ(Run({"-ms", "-s", "photos", "-fc", "photos.crc"}).status, 0);
  const std::string nothing = " *** Warning: Nothing matches the file mask: photso\n";
  const std::string firstLevel = " *** Warning: Without -s only the first level is checked: ";
  const std::vector<Refusal> cases = {
      // messages: the warning expected, or none
      {{"-s", "photso"}, nothing},
      {{"-ms", "-s", "photso"}, nothing},
      {{"-md", "-s", "photso"}, nothing},
      {{"-s", "README"}, ""},
      {{"-mc", "photos.crc", "photos"}, firstLevel},
      {{"-ms", "-nt", "photos.crc"}, firstLevel},
      {{"-ms", "-nt", "-s", "photos.crc"}, ""},
  };
  for (const Refusal& c : cases) {
    RunResult r = Run(c.args);
    EXPECT_EQ(r.status, c.messages == nothing ? kExitTrouble : kExitClean) << c.args[1];
    EXPECT_EQ(r.err.find(c.messages.empty() ? "Warning" : c.messages) == std::string::npos,
              c.messages.empty())
        << r.err;
  }
  EXPECT_FALSE(Exists("vantel32.crc"));
  // The JSON report carries the warning as an object on every build, as standard error says it.
  RunResult json = Run({"--json", "-s", "photso"});
  EXPECT_TRUE(json.out.find("{\"type\":\"warning\",\"message\":\"Nothing matches the file mask: "
                            "photso\",\"detail\":null}\n") != std::string::npos)
      << json.out;
  EXPECT_NE(json.err.find(nothing), std::string::npos) << json.err;
}

}  // namespace
}  // namespace e2e
