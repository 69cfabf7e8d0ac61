// Info and Test listings of the built program, compared byte for byte.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/support/bytes.h"
#include "tests/support/datafile_image.h"
#include "tests/support/e2e.h"

namespace e2e {
namespace {

std::string Left(const std::string& text, size_t width) {
  return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}
std::string Right(const std::string& text, size_t width) {
  return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

// Bit by bit, independent of the program's table-driven and carry-less engines.
uint32_t ReferenceCrc(const std::string& bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char b : bytes) {
    crc ^= b;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

// 2001-09-09 01:46:40 UTC, as the listing shows it with TZ=UTC.
constexpr int64_t kStamp = 1000000000;
const std::string kTime = " 9-Sep-2001   1:46:40";

// The default columns FS SZ TW CC FL.
const std::string kHeader = Left("File Name", 14) + Right("Size", 12) + "  " +
                            Left("Write Time", 23) + Left("CRC32", 10) + Left("Long File Name", 18);
const std::string kUnderline = std::string(12, '-') + "  " + std::string(12, '-') + "  " +
                               std::string(21, '-') + "  " + std::string(8, '-') + "  " +
                               std::string(18, '-');

std::string FileRow(const std::string& name, size_t size, const std::string& crc) {
  return Left(name, 14) + Right(std::to_string(size), 12) + "  " + kTime + "  " + crc + "  " +
         Left(name, 18) + "\n";
}
std::string DirRow(const std::string& name) {
  return Left(name, 14) + Right("-Directory", 12) + "  " + kTime + "  " + std::string(10, ' ') +
         Left(name, 18) + "\n";
}
std::string Head(const std::string& path) {
  return path + "\n\n" + kHeader + "\n" + kUnderline + "\n";
}
std::string Total(unsigned files, unsigned dirs, uint64_t size) {
  return kUnderline + "\nTotal:          Files: " + Left(std::to_string(files), 6) +
         " Directories: " + Left(std::to_string(dirs), 6) + " Size: " + std::to_string(size) +
         "\n\n";
}
std::string ReportTotal(unsigned files, unsigned dirs, uint64_t size) {
  return "Report total:   Files: " + Left(std::to_string(files), 6) +
         " Directories: " + Left(std::to_string(dirs), 6) + " Size: " + std::to_string(size) + "\n";
}
const std::string kClock = "\nSystem clock:   {*}\n";

const std::string kHello = "hello";
const std::string kFox = "The quick brown fox jumps over the lazy dog";

// A tree for the mask *.txt: docs and empty do not match it, the directory x.txt does.
class InfoTest : public E2eTest {
 protected:
  void SetUp() override {
    E2eTest::SetUp();
    MakeFile("a.txt", kHello);
    MakeFile("b.dat", "123456789");
    MakeFile("docs/c.txt", "");
    MakeFile("x.txt/d.txt", kFox);
    MakeDir("empty");
    for (const char* p : {"a.txt", "b.dat", "docs/c.txt", "x.txt/d.txt", "docs", "x.txt", "empty"})
      SetMtime(p, kStamp);
  }
  std::string Top() const { return Root() + kPathSep; }
};

TEST_F(InfoTest, PerDirectoryListsShowContentsOfNonMatchingDirectories) {
  auto expected = [&](const std::string& emptyBlock) {
    return kClock + "File mask   :   *.txt\n\n" + Head(Top()) + DirRow("x.txt") +
           FileRow("a.txt", 5, "3610A686") + Total(1, 1, 5) + Head(Path("docs")) +
           FileRow("c.txt", 0, "00000000") + Total(1, 0, 0) + emptyBlock + Head(Path("x.txt")) +
           FileRow("d.txt", 43, "414FA339") + Total(1, 0, 43) + ReportTotal(3, 1, 48);
  };
  for (const char* sub : {"-s", "/s", "/S"}) {
    RunResult r = Run({sub, "*.txt"});
    EXPECT_EQ(r.status, kExitClean) << sub;
    EXPECT_TRUE(MatchText(expected(""), r.out)) << sub;
    EXPECT_TRUE(MatchText(kBanner, r.err.substr(0, r.err.find("\n\n") + 2)));
    EXPECT_TRUE(MatchText(kTimePass, r.err.substr(r.err.rfind("\nTime pass"))));
  }
  // With /e the empty folder gets its block and a Total line of zeros.
  EXPECT_TRUE(
      MatchText(expected(Head(Path("empty")) + Total(0, 0, 0)), Run({"-s", "-e", "*.txt"}).out));
}

TEST_F(InfoTest, LongListStartDirectoryOnlyFileAndDirectoryMasks) {
  auto listing = [](const std::string& mask, const std::string& rows) {
    return kClock + "File mask   :   " + mask + "\n\n" + rows;
  };
  EXPECT_TRUE(MatchText(
      listing("*.txt", Head(Top()) + DirRow("x.txt") + FileRow("a.txt", 5, "3610A686") +
                           FileRow("c.txt", 0, "00000000") + FileRow("d.txt", 43, "414FA339") +
                           Total(3, 1, 48) + ReportTotal(3, 1, 48)),
      Run({"-s", "-ol", "*.txt"}).out));
  EXPECT_TRUE(
      MatchText(listing("*.txt", Head(Top()) + DirRow("x.txt") + FileRow("a.txt", 5, "3610A686") +
                                     Total(1, 1, 5) + ReportTotal(1, 1, 5)),
                Run({"*.txt"}).out));
  EXPECT_TRUE(MatchText(listing("b.dat", Head(Top()) + FileRow("b.dat", 9, "CBF43926") +
                                             Total(1, 0, 9) + ReportTotal(1, 0, 9)),
                        Run({"b.dat"}).out));
  EXPECT_TRUE(
      MatchText(listing("*.*", Head(Path("x.txt") + kPathSep) + FileRow("d.txt", 43, "414FA339") +
                                   Total(1, 0, 43) + ReportTotal(1, 0, 43)),
                Run({"x.txt"}).out));
}

// The short name keeps the first 14 bytes; shown, it ends before a character they split.
TEST_F(E2eTest, ShortNameColumnEndsOnACharacter) {
  if (kIsWin32) GTEST_SKIP() << "names are in the ANSI code page there, not UTF-8";
  const struct {
    std::string name, shown;
  } cases[] = {
      {"abcdefghijklmn.txt", "abcdefghijklmn"},
      {"abcdefghijklm\xC3\xA9.txt", "abcdefghijklm"},
      {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE3\x83\x95.txt",
       "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE"},
      {"abcdefghijk\xF0\x9F\x98\x80.txt", "abcdefghijk"},
  };
  for (const auto& c : cases) {
    MakeFile(c.name, "x");
    RunResult r = Run({"-of", "FS", c.name});
    EXPECT_NE(std::string::npos, r.out.find("\n" + Left(c.shown, 12) + "  \n")) << r.out;
  }
}

TEST_F(E2eTest, ChecksumsMatchAReferenceAcrossBufferBoundaries) {
  // Known vectors, and sizes around the engine's 64 KiB read buffer.
  std::vector<std::string> contents = {"", "a", "123456789", kFox};
  uint32_t seed = 12345;
  for (size_t size : {65535, 65536, 65537, 200001}) {
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
    contents.push_back(bytes);
  }
  std::string rows;
  uint64_t total = 0;
  for (size_t k = 0; k < contents.size(); ++k) {
    std::string name = "f" + std::to_string(k) + ".bin";
    MakeFile(name, contents[k]);
    rows += Right(std::to_string(contents[k].size()), 12) + "  " + Hex(ReferenceCrc(contents[k])) +
            "  " + Left(name, 18) + "\n";
    total += contents[k].size();
  }
  EXPECT_EQ(Hex(ReferenceCrc("123456789")), "CBF43926");
  RunResult r = Run({"-of", "sz cc fl", "-ol"});
  EXPECT_EQ(r.status, kExitClean);
  std::string head = Right("Size", 12) + "  " + Left("CRC32", 10) + Left("Long File Name", 18);
  std::string line =
      std::string(12, '-') + "  " + std::string(8, '-') + "  " + std::string(18, '-');
  EXPECT_TRUE(MatchText(kClock + "File mask   :   *.*\n\n" + Root() + kPathSep + "\n\n" + head +
                            "\n" + line + "\n" + rows + line +
                            "\nTotal:          Files: " + Left(std::to_string(contents.size()), 6) +
                            " Directories: 0      Size: " + std::to_string(total) + "\n\n" +
                            ReportTotal(static_cast<unsigned>(contents.size()), 0, total),
                        r.out));
}

uint64_t FileTime(int64_t unix_seconds) {
  return static_cast<uint64_t>(unix_seconds + 11644473600LL) * 10000000u;
}

struct Stored {
  std::string name;
  uint32_t attr;
  uint64_t size;
  uint32_t crc;
  uint32_t up;
};

// The stored records with the times and reserved words the expected rows show.
std::string DataFile(const std::string& start, const std::vector<Stored>& records) {
  std::vector<datafile::StoredRecord> image;
  for (const Stored& r : records) {
    datafile::StoredRecord d;
    d.name = r.name;
    d.attr = r.attr;
    d.size = r.size;
    d.crc = r.crc;
    d.up = r.up;
    d.created = FileTime(kStamp);
    d.accessed = FileTime(kStamp + 3600);
    d.written = FileTime(kStamp + 86400);
    d.reserved0 = 7;
    d.reserved1 = 0xABC;
    image.push_back(d);
  }
  return datafile::Image(start, "*.*", image);
}

const std::vector<Stored> kStored = {
    {"sub", 0x80000010u, 0, 0, 0},
    {"f1.txt", 0x20, 5, 0x3610A686u, 0},
    {"averyveryverylongname.bin", 0x21, 1ull << 32, 0xDEADBEEFu, 1},
};

// Every column but FP, in the order of the format text.
std::string AllHeader(char fill) {
  auto h = [fill](const char* text, size_t width, bool right, size_t gap) {
    std::string t = fill == ' ' ? text : std::string(width, '-');
    return (right ? Right(t, width) : Left(t, width)) + std::string(gap, ' ');
  };
  return h("#", 7, false, 2) + h("IDX", 7, false, 2) + h("UpIDX", 7, false, 2) +
         h("File Name", 12, false, 2) + h("Attr", 11, false, 2) + h("Size", 12, true, 2) +
         h("Create Time", 21, false, 2) + h("Write Time", 21, false, 2) +
         h("Access Time", 21, false, 2) + h("Reseved0", 8, true, 1) + h("Reseved1", 8, true, 2) +
         h("CRC32", 8, false, 2) + h("Long File Name", 18, false, 0);
}

TEST_F(E2eTest, TestModeListsAHandBuiltDataFileWithEveryColumn) {
  MakeFile("data.crc", DataFile("/some/where/", kStored));
  RunResult r = Run({"-mt", "-of", "NO ID UP FS AT SZ TC TW TA R0 R1 CC FL", "data.crc"});
  EXPECT_EQ(r.status, kExitClean);
  std::string head = AllHeader(' ');
  std::string line = AllHeader('-');
  const std::string created = kTime, written = "10-Sep-2001   1:46:40",
                    accessed = " 9-Sep-2001   2:46:40";
  auto row = [&](unsigned no, unsigned id, unsigned up, const std::string& shortName,
                 const std::string& attr, const std::string& size, const std::string& crc,
                 const std::string& name) {
    return Left(std::to_string(no), 8) + " " + Left(std::to_string(id), 8) + " " +
           Left(std::to_string(up), 8) + " " + Left(shortName, 12) + "  " + attr + "  " +
           Right(size, 12) + "  " + created + "  " + written + "  " + accessed + "  " +
           "       7 " + "     ABC  " + crc + "  " + Left(name, 18) + "\n";
  };
  auto total = [&](unsigned files, unsigned dirs, const std::string& size) {
    return line + "\nTotal:          Files: " + Left(std::to_string(files), 6) +
           " Directories: " + Left(std::to_string(dirs), 6) + " Size: " + size + "\n\n";
  };
  std::string expected = "\nSystem clock:   {*}\nFile mask   :   *.*\n\n/some/where/\n\n" + head +
                         "\n" + line + "\n" +
                         row(1, 0, 0, "sub", "D----------", "-Directory", "        ", "sub") +
                         row(2, 1, 0, "f1.txt", "---A-------", "5", "3610A686", "f1.txt") +
                         total(1, 1, "5") + "/some/where/sub\n\n" + head + "\n" + line + "\n" +
                         row(1, 2, 1, "averyveryveryl", "---AR------", "4294967296", "DEADBEEF",
                             "averyveryverylongname.bin") +
                         total(1, 0, "4294967296") +
                         "Report total:   Files: 2      Directories: 1      Size: 4294967301\n";
  EXPECT_TRUE(MatchText(expected, r.out));
}

TEST_F(E2eTest, TestModeFullPathColumnAndTheDifferentTargetQuestion) {
  MakeFile("data.crc", DataFile("/some/where/", kStored));
  const std::string warning =
      " *** Warning: data.crc - have different target.\n\n     Command line: " + Root() + kPathSep +
      "*.*\n     Data file   : /some/where/*.*\n\n     Continue processing (Y/N) ? ";
  // End of input answers N: no mode runs.
  RunResult no = Run({"-mt", "-fc", "data.crc"});
  EXPECT_EQ(no.status, kExitTrouble);
  EXPECT_EQ(no.out, "");
  EXPECT_TRUE(MatchText(
      std::string(kBanner) + warning + "No.\n\n *** Use:   vantel32 /?\n" + kTimePass, no.err));
  // Other keys are refused until Y comes.
  RunResult yes = Run({"-mt", "-ol", "-of", "NO FP", "-fc", "data.crc"}, "xy");
  EXPECT_EQ(yes.status, kExitClean);
  EXPECT_NE(yes.err.find(warning + "x\n     Please press [Y] or [N]? Yes.\n\n"), std::string::npos);
  std::string line = "-------  --------------------\n";
  EXPECT_TRUE(
      MatchText("\nSystem clock:   {*}\nFile mask   :   *.*\n\n/some/where/\n\n"
                "#        File Name with Path \n" +
                    line +
                    "1        /some/where/sub     \n"
                    "2        /some/where/f1.txt  \n"
                    "3        /some/where/sub" +
                    std::string(1, kPathSep) + "averyveryverylongname.bin\n" + line +
                    "Total:          Files: 2      Directories: 1      Size: 4294967301\n\n"
                    "Report total:   Files: 2      Directories: 1      Size: 4294967301\n",
                yes.out));
  RunResult always = Run({"-mt", "-y", "-fc", "data.crc"});
  EXPECT_EQ(always.status, kExitClean);
  EXPECT_NE(always.err.find(warning + "Yes.\n\n"), std::string::npos);
}

// Test lists data files: a task that names none is a mistake, not an empty catalogue.
TEST_F(E2eTest, TestModeWithoutADataFileWarns) {
  MakeFile("notes.txt", "x");
  const struct {
    std::vector<std::string> args;
    std::string shown;
  } cases[] = {{{"-mt"}, "*.*"}, {{"-mt", "*.crc"}, "*.crc"}};
  for (const auto& c : cases) {
    RunResult r = Run(c.args);
    EXPECT_EQ(kExitTrouble, r.status) << c.shown;
    EXPECT_EQ(std::string::npos, r.out.find("File mask")) << r.out;
    EXPECT_NE(std::string::npos,
              r.err.find(" *** Warning: No data file to list: " + c.shown + "\n"))
        << r.err;
  }
}

}  // namespace
}  // namespace e2e
