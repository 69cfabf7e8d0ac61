// Names the ANSI code page cannot spell and paths past MAX_PATH, which the Win32 build reaches
// through 8.3 aliases; catalogues that stay the same bytes. The trees are made through the
// wide functions by the test itself: nothing is set on the host.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "core/crc32_kernels.h"
#include "core/table.h"
#include "tests/support/nodes.h"
#include "platform/platform.h"
#include "tests/support/touch.h"
#include "tests/support/e2e.h"

namespace e2e {
namespace {

std::string Hex(const std::string& bytes) {
  uint32_t crc = Crc32Bytewise(0xFFFFFFFFu, reinterpret_cast<const unsigned char*>(bytes.data()),
                               bytes.size()) ^
                 0xFFFFFFFFu;
  char text[9];
  snprintf(text, sizeof text, "%08X", crc);
  return text;
}

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

class Win32PathsTest : public E2eTest {
 protected:
  void Dir(const std::string& rel) { ASSERT_EQ(0, MakeUtf8Entry(Path(rel), nullptr)) << rel; }
  void File(const std::string& rel, const std::string& text) {
    ASSERT_EQ(0, MakeUtf8Entry(Path(rel), &text)) << rel;
  }

  // Every file row of an "-ol -of 'CC FP'" listing: its path, as printed, must open and hold
  // bytes of the printed checksum. Returns the number of such rows.
  size_t CheckListedFiles(const std::string& listing) {
    std::istringstream lines(listing);
    size_t files = 0;
    for (std::string line; std::getline(lines, line);) {
      // A directory's row has no checksum.
      if (line.size() < 11 || line.compare(8, 2, "  ") != 0 ||
          line.find_first_not_of("0123456789ABCDEF") != 8)
        continue;
      std::string path = line.substr(10);
      std::ifstream in(path, std::ios::binary);
      std::ostringstream bytes;
      bytes << in.rdbuf();
      EXPECT_TRUE(in.good() || in.eof()) << path;
      EXPECT_EQ(line.substr(0, 8), Hex(bytes.str())) << path;
      ++files;
    }
    return files;
  }
};

TEST_F(Win32PathsTest, NamesTheCodePageCannotSpellAreReachedThroughTheirAliases) {
  if (!kIsWin32) GTEST_SKIP() << "POSIX names are bytes: none is lost";
  Dir("tree");
  File("tree/\xD0\xB4\xD0\xBE\xD0\xBC.txt", "house");  // Cyrillic, ???.txt in code page 1252
  File("tree/\xD0\xBC\xD0\xB8\xD1\x80.txt", "peace");  // the same ???.txt
  Dir("tree/\xE6\x97\xA5\xE6\x9C\xAC");                // CJK directory
  File("tree/\xE6\x97\xA5\xE6\x9C\xAC/\xE6\x96\x87.txt", "document");
  File("tree/\xE6\x97\xA5\xE6\x9C\xAC/copy.txt", "house");

  RunResult info = Run({"-s", "-ol", "-of", "CC FP", Path("tree")});
  EXPECT_EQ(kExitClean, info.status);
  EXPECT_EQ(4u, CheckListedFiles(info.out)) << info.out;
  EXPECT_EQ(std::string::npos, info.out.find('?')) << info.out;
  EXPECT_EQ(std::string::npos, info.err.find("Warning")) << info.err;

  // Only the two files of equal contents are duplicates, not the two ???.txt.
  RunResult dup = Run({"-md", "-s", Path("tree")});
  EXPECT_EQ(1u, Count(dup.out, "CRC32:")) << dup.out;
  EXPECT_EQ(1u, Count(dup.out, "CRC32:" + Hex("house"))) << dup.out;

  RunResult first = Run({"-ms", "-s", Path("tree")});
  EXPECT_EQ("", first.out);
  EXPECT_EQ("\n\n", Run({"-ms", "-s", Path("tree")}).out);
  EXPECT_EQ(std::string::npos,
            Run({"-mc", "-s", Path("vantel32.crc"), Path("tree")}).out.find("File:"));
}

TEST_F(Win32PathsTest, PathsPastTheLimitUseTheShortFormOrAreSkippedWithAWarning) {
  if (!kIsWin32) GTEST_SKIP() << "POSIX paths reach PATH_MAX with long names alone";
  // Relative paths past 258 characters are listed in their short form too.
  const std::string a(140, 'a'), b(140, 'b');
  Dir("tree");
  Dir("tree/" + a);
  Dir("tree/" + a + "/" + b);
  File("tree/" + a + "/" + b + "/deep.txt", "deep");
  // Names that are their own 8.3 names: no shorter form exists once these pass the limit.
  std::string chain = "tree/far";
  Dir(chain);
  while (Path(chain).size() < MAX_PATH + 20) {
    chain += "/dddddddd";
    Dir(chain);
  }
  File(chain + "/lost.txt", "lost");

  RunResult info = Run({"-s", "-ol", "-of", "CC FP", Path("tree")});
  EXPECT_EQ(kExitTrouble, info.status);
  EXPECT_EQ(1u, CheckListedFiles(info.out)) << info.out;
  EXPECT_NE(std::string::npos, info.out.find(Hex("deep"))) << info.out;
  EXPECT_EQ(1u, Count(info.err, std::string(" *** Warning: ") + strerror(ENAMETOOLONG) + ": " +
                                    Path(chain.substr(0, chain.find("/dddddddd")))))
      << info.err;

  Run({"-ms", "-s", Path("tree")});
  EXPECT_EQ("\n\n", Run({"-ms", "-s", Path("tree")}).out);
}

TEST_F(Win32PathsTest, TwoSavesOfAnUnchangedTreeAreTheSameBytes) {
  MakeFile("tree/a.txt", "alpha");
  MakeFile("tree/sub/b.txt", "beta");
  MakeFile("tree/sub/deeper/c.txt", "gamma");
  // The first run reads every file, which may move access times once.
  Run({"-ms", "-s", Path("tree"), "-fc", Path("settle.crc")});
  Run({"-ms", "-s", Path("tree"), "-fc", Path("one.crc")});
  Run({"-ms", "-s", Path("tree"), "-fc", Path("two.crc")});
  ASSERT_TRUE(Exists("two.crc"));
  EXPECT_EQ(ReadFile("one.crc"), ReadFile("two.crc"));
  Table t;
  snprintf(t.cDataFile, sizeof t.cDataFile, "%s", Path("two.crc").c_str());
  ASSERT_EQ(0, t.ReadDataFile());
  ASSERT_EQ(5u, t.records.size());
  for (const Record& r : t.records) {
    EXPECT_EQ(0u, r.dwReserved0) << r.LongName();
    EXPECT_EQ(0u, r.dwReserved1) << r.LongName();
  }
}

TEST_F(Win32PathsTest, AHiddenCatalogueStaysHiddenWhenSaved) {
  MakeFile("tree/a.txt", "alpha");
  Run({"-ms", "-s", Path("tree"), "-fc", Path("cat.crc")});
  int hidden = SetHidden(Path("cat.crc").c_str());
  if (hidden < 0) GTEST_SKIP() << "hidden is a leading dot here, not an attribute";
  ASSERT_EQ(0, hidden);
  for (const char* name : {"tree/b.txt", "tree/c.txt"}) {
    MakeFile(name, name);
    RunResult r = Run({"-ms", "-s", Path("tree"), "-fc", Path("cat.crc")});
    EXPECT_NE(std::string::npos, r.out.find("+ File: " + Path(name))) << r.out;
    WIN32_FIND_DATAA fd = {};
    HANDLE h = FindFirstFileA(Path("cat.crc").c_str(), &fd);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    FindClose(h);
    EXPECT_NE(0u, fd.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) << name;
  }
}

}  // namespace
}  // namespace e2e
