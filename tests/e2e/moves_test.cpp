// --moves end to end: files and directories moved or renamed, reported as moves by Scan and
// Compare.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "core/crc32shr.h"
#include "platform/platform.h"
#include "tests/support/e2e.h"
#include "tests/support/nodes.h"

namespace e2e {
namespace {

// One step of the CRC-32 register (reflected, as the engine runs it) and its inverse for a zero
// byte, to forge a collision.
uint32_t Step(uint32_t reg, unsigned char byte) {
  reg ^= byte;
  for (int bit = 0; bit < 8; ++bit) reg = (reg >> 1) ^ (0xEDB88320u & (0u - (reg & 1)));
  return reg;
}

uint32_t Unstep(uint32_t reg) {
  for (uint32_t i = 0; i < 256; ++i)
    if ((Step(i, 0) >> 24) == (reg >> 24)) return ((reg ^ Step(i, 0)) << 8) | i;
  return 0;
}

uint32_t Register(const std::string& bytes) {
  uint32_t reg = 0xFFFFFFFFu;
  for (char c : bytes) reg = Step(reg, static_cast<unsigned char>(c));
  return reg;
}

// prefix and four bytes with the CRC-32 of target: four bytes xor into the register and four
// zero steps follow, a linear map that Unstep undoes.
std::string Forge(const std::string& prefix, const std::string& target) {
  uint32_t reg = Register(target);
  for (int i = 0; i < 4; ++i) reg = Unstep(reg);
  uint32_t word = reg ^ Register(prefix);
  std::string out = prefix;
  for (int i = 0; i < 4; ++i) out += static_cast<char>((word >> (8 * i)) & 0xFF);
  return out;
}

const char kReport[] = "\n\n-----------------------------------------------  {*}\n\n";

class MovesTest : public E2eTest {
 protected:
  // /nt: the tests change the tree faster than a clock tick.
  RunResult Scan(std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"-ms", "-s", "-nt"};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(Path("tree"));
    return Run(args);
  }

  void Move(const std::string& from, const std::string& to) {
    MakeDir(std::filesystem::path(to).parent_path().generic_string());
    std::filesystem::rename(Path(from), Path(to));
  }

  std::string T(const std::string& rel) { return Path("tree/" + rel); }
  std::string Moved(const char* kind, const std::string& from, const std::string& to) {
    return std::string("> ") + kind + T(from) + "\n    to: " + T(to) + "\n";
  }
};

TEST_F(MovesTest, FilesPairWithTheirNewPlacesAndTheCatalogueStaysTheSame) {
  MakeFile("tree/a.txt", "alpha");
  MakeFile("tree/b.txt", "bravo");
  MakeFile("tree/p.txt", "same");
  MakeFile("tree/q.txt", "same");
  MakeFile("tree/gone.txt", "gone");
  MakeFile("tree/empty.txt");
  MakeFile("tree/sub/keep.txt", "keep");
  Scan();
  Move("tree/a.txt", "tree/a2.txt");               // renamed
  Move("tree/b.txt", "tree/sub/b.txt");            // moved to another folder
  Move("tree/p.txt", "tree/sub/zz/p.txt");         // two identical files: each keeps its name,
  Move("tree/q.txt", "tree/sub/q.txt");            // although sub/q.txt comes first in the walk
  std::filesystem::remove(Path("tree/gone.txt"));  // a real deletion
  Move("tree/empty.txt", "tree/sub/empty.txt");    // empty files never pair

  // Files never checksummed pair with nothing.
  RunResult noCrc = Scan({"-nc", "-r", "--moves"});
  EXPECT_EQ(std::string::npos, noCrc.out.find("> File")) << noCrc.out;
  Scan({"-r"});  // reads every file once: the two saving runs below see the same access times

  std::string before = ReadFile("vantel32.crc");
  RunResult plain = Scan();
  std::string savedPlain = ReadFile("vantel32.crc");
  MakeFile("vantel32.crc", before);

  RunResult r = Scan({"--moves"});
  EXPECT_EQ(kExitClean, r.status);
  EXPECT_TRUE(MatchText(std::string(kReport) + "+ File: " + T("sub/empty.txt") +
                            "\n"
                            "+ Dir:  " +
                            T("sub/zz") +
                            "\n\n"
                            "- File: " +
                            T("empty.txt") +
                            "\n"
                            "- File: " +
                            T("gone.txt") + "\n\n" + Moved("File: ", "a.txt", "a2.txt") +
                            Moved("File: ", "b.txt", "sub/b.txt") +
                            Moved("File: ", "q.txt", "sub/q.txt") +
                            Moved("File: ", "p.txt", "sub/zz/p.txt") +
                            "\n"
                            "Files:   0 changed,   2 deleted,   1 new\n"
                            "Dirs :   0 changed,   0 deleted,   1 new\n"
                            "Moved:   4 files,   0 dirs\n",
                        r.out));
  EXPECT_EQ(savedPlain, ReadFile("vantel32.crc"));
  EXPECT_NE(std::string::npos, plain.out.find("- File: " + T("p.txt")));
  EXPECT_EQ(std::string::npos, plain.out.find("Moved:"));

  EXPECT_EQ("\n\n\n", Scan({"--moves"}).out);  // the catalogue is current: nothing to report
}

TEST_F(MovesTest, AFolderMovedWholeIsOneLineAndAChangedFileBreaksItUp) {
  MakeFile("tree/photos/1.jpg", "one");
  MakeFile("tree/photos/2.jpg", "two");
  MakeFile("tree/photos/y2019/3.jpg", "three");
  MakeFile("tree/photos/y2019/empty");
  MakeDir("tree/photos/y2019/nothing");
  Scan();

  Move("tree/photos", "tree/pictures");
  // Nothing new or missing: the two empty lists come before the banner.
  EXPECT_TRUE(MatchText(std::string("\n\n") + kReport + Moved("Dir:  ", "photos", "pictures") +
                            "\n"
                            "Files:   0 changed,   0 deleted,   0 new\n"
                            "Dirs :   0 changed,   0 deleted,   0 new\n"
                            "Moved:   0 files,   1 dirs\n",
                        Scan({"--moves"}).out));

  // Moved into a new folder with one file changed: that file is missing and new, its folder
  // goes with it, and the rest pairs: the untouched subfolder as one move.
  Move("tree/pictures", "tree/archive/pics");
  MakeFile("tree/archive/pics/2.jpg", "TWO");
  EXPECT_TRUE(MatchText(std::string(kReport) + "+ Dir:  " + T("archive") +
                            "\n"
                            "+ Dir:  " +
                            T("archive/pics") +
                            "\n"
                            "+ File: " +
                            T("archive/pics/2.jpg") +
                            "\n\n"
                            "- Dir:  " +
                            T("pictures") +
                            "\n"
                            "- File: " +
                            T("pictures/2.jpg") + "\n\n" +
                            Moved("Dir:  ", "pictures/y2019", "archive/pics/y2019") +
                            Moved("File: ", "pictures/1.jpg", "archive/pics/1.jpg") +
                            "\n"
                            "Files:   0 changed,   1 deleted,   1 new\n"
                            "Dirs :   0 changed,   1 deleted,   2 new\n"
                            "Moved:   1 files,   1 dirs\n",
                        Scan({"--moves"}).out));
}

TEST_F(MovesTest, CompareListsMovesInASectionOfTheirOwnAndOtherModesIgnoreTheOption) {
  for (const char* f : {"q.txt", "x", "s/x"}) {
    MakeFile(std::string("one/big/") + f, f[0] == 'q' ? "q" : "x");
    MakeFile(std::string("two/whole/") + f, f[0] == 'q' ? "q" : "x");
  }
  MakeFile("one/aside/x", "x");  // the same tree as big/s, and first: the larger keeps its part
  MakeFile("one/small2/y", "y");
  MakeFile("two/merged/x", "x");
  MakeFile("two/merged/y", "y");
  MakeFile("one/a.txt", "alpha");
  MakeFile("two/renamed.txt", "alpha");
  MakeFile("one/gone.txt", "gone");
  std::string two = Path("two") + kPathSep;
  auto moved = [&](const char* kind, const std::string& from, const std::string& to) {
    return std::string("> ") + kind + two + Sep(from) + "\n    to: " + two + Sep(to) + "\n";
  };
  RunResult r = Run({"-mc", "-s", "--moves", Path("one"), Path("two")});
  EXPECT_EQ(kExitFinding, r.status);
  EXPECT_TRUE(MatchText(
      std::string("\n") + kReport +
          " *** Compare two file trees.\n *** [ Path 1 ]  -> [ Path 2]\n\n"
          " *** Path 1: " +
          Path("one") + kPathSep + "\n *** Path 2: " + two +
          "\n\n"
          " *** Path 2 contains new files or directories:\n\n"
          "+ Dir:  " +
          two +
          "merged\n\n"
          " *** Path 2 NOT contains files or directories:\n\n"
          "- Dir:  " +
          two + "aside\n- Dir:  " + two + "small2\n- File: " + two +
          "gone.txt\n\n"
          " *** Path 2 contains moved files or directories:\n\n" +
          moved("File: ", "aside/x", "merged/x") + moved("File: ", "small2/y", "merged/y") +
          moved("File: ", "a.txt", "renamed.txt") + moved("Dir:  ", "big", "whole") + "\n",
      r.out));

  EXPECT_EQ(Run({"-md", "-s", Path("one")}).out, Run({"-md", "-s", "--moves", Path("one")}).out);
}

TEST_F(MovesTest, FoldersKeepTheirNamesAndTakeTheirLinksFifosAndEmptyFilesAlong) {
  for (const char* dir : {"a/y", "b/x"}) MakeFile(std::string("tree/") + dir + "/f", "same");
  bool posix = MakeFifo(Path("tree/odd/pipe").c_str()) == 0;
  if (posix) {
    MakeFile("tree/odd/data", "data");
    MakeFile("tree/odd/empty");
    std::filesystem::create_symlink("data", Path("tree/odd/link"));
    std::filesystem::create_directory_symlink(".", Path("tree/odd/here"));
    MakeFile("tree/swap/data", "other");
    std::filesystem::create_symlink("data", Path("tree/swap/link"));
  }
  Scan();
  Move("tree/a/y", "tree/d/z");
  Move("tree/b/x", "tree/c/x");  // the equal folder that kept its name pairs with its name
  std::string moved = Moved("Dir:  ", "b/x", "c/x") + Moved("Dir:  ", "a/y", "d/z");
  if (posix) {
    Move("tree/odd", "tree/e/odd");
    Move("tree/swap", "tree/e/swap");  // its link comes back as a file: not one folder
    std::filesystem::remove(Path("tree/e/swap/link"));
    MakeFile("tree/e/swap/link");
    moved += Moved("Dir:  ", "odd", "e/odd") + Moved("File: ", "swap/data", "e/swap/data");
  }
  std::string out = Scan({"--moves"}).out;
  size_t at = out.find("> ");
  EXPECT_EQ(moved, out.substr(at, out.find("\nFiles:") - at)) << out;
}

TEST_F(MovesTest, CompareOfTwoLiveTreesPairsOnlyTheSameBytes) {
  const std::string text = "the original contents";
  const std::string forged = Forge("THE FORGED BYTES:", text);  // 17 + 4 bytes, same CRC-32
  MakeFile("one/f.txt", text);
  MakeFile("two/a.txt", forged);  // first in the walk: taken by size and CRC alone
  MakeFile("two/b.txt", text);
  MakeFile("one/d/f.txt", text);
  MakeFile("one/d/k.txt", "kept");
  MakeFile("two/e/f.txt", forged);
  MakeFile("two/e/k.txt", "kept");
  ASSERT_EQ(0, InitMagic());
  uint32_t crcs[2] = {1, 2};
  CRCFile(Path("one/f.txt").c_str(), &crcs[0]);
  CRCFile(Path("two/a.txt").c_str(), &crcs[1]);
  ASSERT_EQ(crcs[0], crcs[1]);
  ASSERT_EQ(text.size(), forged.size());

  std::string out = Run({"-mc", "-s", "--moves", Path("one"), Path("two")}).out;
  std::string two = Path("two") + kPathSep;
  // The folder with a forged file is no folder move, and the forged files are new and missing.
  for (const char* line : {"+ File: a.txt", "- File: d/f.txt", "+ File: e/f.txt"})
    EXPECT_NE(std::string::npos, out.find(std::string(line, 8) + two + Sep(line + 8) + "\n"))
        << line << "\n"
        << out;
  size_t at = out.find("\n> ") + 1;
  EXPECT_EQ("> File: " + two + "f.txt\n    to: " + two + "b.txt\n> File: " + two + Sep("d/k.txt") +
                "\n    to: " + two + Sep("e/k.txt") + "\n\n",
            out.substr(at))
      << out;
}

// However many new files share the size and CRC-32 of a missing one, the one with its bytes is
// found: the files are told apart by their bytes, not tried one by one up to a limit.
TEST_F(MovesTest, CompareFindsTheCopyBehindAnyNumberOfForgedCandidates) {
  const std::string text = "the original contents";
  for (int forged : {1, 17, 40}) {
    SCOPED_TRACE(forged);
    std::string one = "one" + std::to_string(forged), two = "two" + std::to_string(forged);
    MakeFile(one + "/f.txt", text);
    for (int i = 0; i < forged; ++i) {
      char prefix[32];
      snprintf(prefix, sizeof prefix, "FORGED BYTES #%03d", i);  // 17 bytes, as the text's
      MakeFile(two + "/a" + std::to_string(100 + i) + ".txt", Forge(prefix, text));
    }
    MakeFile(two + "/z.txt", text);
    std::string out = Run({"-mc", "-s", "--moves", Path(one), Path(two)}).out;
    std::string to = Path(two) + kPathSep;
    EXPECT_NE(out.find("> File: " + to + "f.txt\n    to: " + to + "z.txt\n"), std::string::npos)
        << out;
  }
}

}  // namespace
}  // namespace e2e
