// Hostile trees: names of every byte, deep and wide trees, links, FIFOs and sockets, trees that
// change while the program reads them. Each case checks what the user sees and that the
// catalogue stays whole.
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/torture.h"
#include "tests/support/bytes.h"
#include "tests/support/nodes.h"

namespace fs = std::filesystem;

namespace e2e {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// How a name appears in a report: control bytes and DEL as '?'.
std::string Shown(const std::string& name) {
  std::string out = name;
  for (char& c : out)
    if ((c > 0 && c < 0x20) || c == 0x7F) c = '?';
  return out;
}

// Rows "size  crc  full path" of a listing made with /of "SZ CC FP" (directories have no CRC).
struct Row {
  uint64_t size;
  uint32_t crc;
  std::string path;
};
std::vector<Row> FileRows(const std::string& out, const std::string& root) {
  std::vector<Row> rows;
  for (const std::string& line : Lines(out)) {
    size_t at = line.find(root);
    if (at != 24 || line.find("-Directory") != std::string::npos) continue;
    rows.push_back({std::strtoull(line.c_str(), nullptr, 10),
                    static_cast<uint32_t>(std::strtoul(line.c_str() + 14, nullptr, 16)),
                    line.substr(at)});
  }
  return rows;
}

class TortureTree : public TortureTest {};

TEST_F(TortureTree, NamesOfEveryByteAreListedAndScannedLosslessly) {
  MakeDir("names");
  std::set<std::string> kept;
  for (int b = 1; b < 256; ++b) {
    if (b == '/') continue;
    std::string name = std::string("n") + static_cast<char>(b) + "z";
    int rc = MakeRawName(Path("names").c_str(), name);
    if (rc < 0) GTEST_SKIP() << "Windows names cannot hold control bytes, '*' or '?'";
    ASSERT_EQ(0, rc) << "byte " << b;
    if (b != '\n' && b != '\r') kept.insert(name);
  }
  for (std::string name : {" lead", "trail ", "*", "?", "a\\b", "-ms", "-s", "--", "\xff\xfe",
                           "\xc3(", "\xe2\x82", ".hidden"}) {
    ASSERT_EQ(0, MakeRawName(Path("names").c_str(), name));
    kept.insert(name);
  }
  const std::string dir = Path("names") + "/";
  const std::string skipped = " *** Warning: Name with a line break skipped: " + dir + "n\n";

  RunResult info = RunBounded({"-s", "-ol", "-of", "SZ CC FP", Path("names")});
  EXPECT_EQ(kExitTrouble, info.status);
  EXPECT_EQ(2u, Count(info.err, skipped)) << info.err;
  std::vector<std::string> lines = Lines(info.out);
  for (const std::string& name : kept) {
    std::string row = "           0  00000000  " + Shown(dir + name);
    EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), row)) << "missing row " << row;
  }
  EXPECT_NE(std::string::npos, info.out.find("Files: " + std::to_string(kept.size()) + " "));

  std::vector<std::string> scan = {"-ms", "-s", Path("names")};
  RunResult first = RunBounded(scan);
  EXPECT_EQ(kExitTrouble, first.status);
  EXPECT_EQ("", first.out);
  EXPECT_EQ(2u, Count(first.err, skipped));
  RunResult second = RunBounded(scan);
  EXPECT_EQ(kExitTrouble, second.status);
  EXPECT_EQ("\n\n", second.out);  // nothing changed, nothing reported

  int code = -1;
  Table t = ReadCatalogue(Path("vantel32.crc"), &code);
  ASSERT_EQ(0, code);
  std::set<std::string> stored;
  for (const Record& r : t.records) stored.insert(r.LongName());
  EXPECT_EQ(kept, stored);
}

// Builds root/level_dir/level_dir/... depth levels deep with a file in each, going down with
// the current directory because the full paths soon outgrow what the system takes at once.
void MakeDeepTree(const std::string& root, int depth, const char* name = "level_dir") {
  fs::path saved = fs::current_path();
  fs::current_path(root);
  for (int i = 0; i < depth; ++i) {
    std::ofstream("f.txt") << i;
    fs::create_directory(name);
    fs::current_path(name);
  }
  fs::current_path(saved);
}

// Removes it from the bottom up, for the same reason.
void RemoveDeepTree(const std::string& root, const char* name = "level_dir") {
  fs::path saved = fs::current_path();
  fs::current_path(root);
  int depth = 0;
  while (fs::is_directory(name)) {
    fs::current_path(name);
    ++depth;
  }
  for (; depth > 0; --depth) {
    fs::current_path("..");
    fs::remove_all(name);
  }
  fs::current_path(saved);
}

// Every entry left out makes the run end in trouble, so a script learns that it is incomplete.
TEST_F(TortureTree, PathsBeyondTheLimitAreSkippedNeverCut) {
  if (kIsWin32) GTEST_SKIP() << "Windows cannot enter directories past MAX_PATH to build it";
  MakeDir("deep");
  MakeDeepTree(Path("deep"), 1000);
  struct Cleanup {
    std::string root;
    ~Cleanup() { RemoveDeepTree(root); }
  } cleanup{Path("deep")};

  RunResult info = RunBounded({"-s", "-ol", "-of", "FP", Path("deep")});
  EXPECT_EQ(kExitTrouble, info.status);
  size_t listed = 0, deepest = 0;
  for (const std::string& line : Lines(info.out)) {
    if (line.compare(0, Root().size(), Root()) != 0 || line == Path("deep") + "/") continue;
    ++listed;
    EXPECT_LT(line.size(), kWalkPathLimit);
    // The test's own library looks paths up whole, as far as the system's limit.
    if (line.size() < MAX_PATH) {
      EXPECT_TRUE(fs::exists(fs::symlink_status(line))) << "not a real path: " << line;
    }
    deepest = std::max(deepest, line.size());
  }
  // Everything that fits is there (a file and a directory per level), nothing else.
  EXPECT_GT(listed, 2u * 300);
  EXPECT_GT(deepest + 2 * sizeof("level_dir"), kWalkPathLimit);
  EXPECT_NE(std::string::npos, info.err.find(" *** Warning: File name too long: " + Path("deep")));

  std::vector<std::string> scan = {"-ms", "-s", Path("deep")};
  EXPECT_EQ(kExitTrouble, RunBounded(scan).status);
  RunResult again = RunBounded(scan);
  EXPECT_EQ(kExitTrouble, again.status);
  EXPECT_EQ("\n\n", again.out);
  int code = -1;
  Table t = ReadCatalogue(Path("vantel32.crc"), &code);
  ASSERT_EQ(0, code);
  EXPECT_EQ(listed, t.records.size());
  for (const std::string& rel : StoredPaths(t)) {
    std::string path = t.cStartPath + rel;
    if (path.size() < MAX_PATH) {
      EXPECT_TRUE(fs::exists(fs::symlink_status(path))) << "stored path is no real path: " << path;
    }
  }
  EXPECT_EQ(kExitTrouble, RunBounded({"-md", "-s", Path("deep")}).status);
}

// Past the system's PATH_MAX: each folder is opened from its parent's descriptor, so a tree of
// 4,000 levels is listed, checksummed and stored whole.
TEST_F(TortureTree, FourThousandLevelsAreListedWhole) {
  if (kIsWin32) GTEST_SKIP() << "Windows cannot enter directories past MAX_PATH to build it";
  MakeDir("deep");
  MakeDeepTree(Path("deep"), 4000, "d");
  struct Cleanup {
    std::string root;
    ~Cleanup() { RemoveDeepTree(root, "d"); }
  } cleanup{Path("deep")};
  for (const char* jobs : {"--jobs=1", "--jobs=8"}) {
    RunResult info = RunBounded({jobs, "-s", Path("deep")});
    EXPECT_EQ(kExitClean, info.status) << jobs << info.err.substr(0, 300);
    EXPECT_TRUE(Has(info.out, "Report total:   Files: 4000   Directories: 4000")) << jobs;
  }
  EXPECT_EQ(kExitClean, RunBounded({"-ms", "-s", Path("deep")}).status);
  RunResult again = RunBounded({"-ms", "-s", Path("deep")});
  EXPECT_EQ(kExitClean, again.status) << again.err.substr(0, 300);
  EXPECT_EQ("\n\n", again.out);
}

TEST_F(TortureTree, ADirectoryOfTwentyThousandFiles) {
  if (kIsWin32) GTEST_SKIP() << "creating 20,000 files under Wine takes minutes";
  constexpr int kFiles = 20000;
  MakeDir("wide");
  for (int i = 0; i < kFiles; ++i) {
    char name[32];
    snprintf(name, sizeof name, "/file%05d.txt", i);
    std::ofstream(Path("wide") + name) << (i % 100);
  }
  RunResult info = RunBounded({"-s", Path("wide")});
  EXPECT_EQ(kExitClean, info.status);
  EXPECT_NE(std::string::npos, info.out.find("Files: 20000 ")) << info.out.substr(0, 400);
  std::vector<std::string> scan = {"-ms", "-s", Path("wide")};
  EXPECT_EQ(kExitClean, RunBounded(scan).status);
  RunResult again = RunBounded(scan);
  EXPECT_EQ("\n\n", again.out);
  RunResult dupes = RunBounded({"-md", "-s", Path("wide")});
  EXPECT_EQ(kExitClean, dupes.status);
  EXPECT_NE(std::string::npos, dupes.out.find(Path("wide/file00000.txt")));
}

TEST_F(TortureTree, LinksFifosAndSocketsAreRecordedNeverFollowedNorOpened) {
  MakeFile("special/a.txt", "alpha");
  MakeFile("special/sub/b.txt", "beta");
  int fifo = MakeFifo(Path("special/pipe").c_str());
  if (fifo < 0) GTEST_SKIP() << "Windows has no FIFOs or socket nodes";
  ASSERT_EQ(0, fifo);
  ASSERT_EQ(0, MakeSocketNode(Path("special/sock").c_str()));
  fs::create_directory_symlink(".", Path("special/loop"));
  fs::create_directory_symlink("..", Path("special/sub/back"));
  fs::create_symlink("self", Path("special/self"));
  fs::create_symlink("y", Path("special/x"));
  fs::create_symlink("x", Path("special/y"));

  RunResult info = RunBounded({"-s", "-ol", "-of", "AT SZ CC FP", Path("special")}, 60);
  ASSERT_EQ(kExitClean, info.status) << "137: the program hung";
  EXPECT_NE(std::string::npos, info.out.find("Files: 7      Directories: 3 ")) << info.out;
  EXPECT_EQ(std::string::npos, info.out.find("loop/")) << "a link was followed";

  std::vector<std::string> scan = {"-ms", "-s", Path("special")};
  ASSERT_EQ(kExitClean, RunBounded(scan, 60).status);
  RunResult again = RunBounded(scan, 60);
  EXPECT_EQ(kExitClean, again.status);
  EXPECT_EQ("\n\n", again.out);
  int code = -1;
  Table t = ReadCatalogue(Path("vantel32.crc"), &code);
  ASSERT_EQ(0, code);
  EXPECT_EQ(10u, t.records.size());  // nine entries and sub
  for (const Record& r : t.records) {
    std::string name = r.LongName();
    if (name == "pipe" || name == "sock") {
      EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_DEVICE), r.dwAttr & 0x7F);
    }
    if (name != "a.txt" && name != "b.txt") {
      EXPECT_EQ(0u, r.dwCRC) << name;
    }
  }

  // Empty files group; links, pipes and sockets have no contents and never do.
  MakeFile("special/e1", "");
  MakeFile("special/e2", "");
  RunResult dupes = RunBounded({"-md", "-s", Path("special")}, 60);
  EXPECT_EQ(kExitClean, dupes.status);
  EXPECT_NE(std::string::npos, dupes.out.find(Path("special/e2")));
  for (const char* name : {"pipe", "sock", "loop", "self", "/x\n", "/y\n"})
    EXPECT_EQ(std::string::npos, dupes.out.find(name)) << name << " grouped:\n" << dupes.out;
}

// Runs `change` over and over on another thread for as long as the object lives.
class Churn {
 public:
  template <class Fn>
  explicit Churn(Fn change)
      : worker_([this, change]() mutable {
          for (unsigned n = 0; !stop_; ++n) change(n);
        }) {}
  ~Churn() {
    stop_ = true;
    worker_.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::thread worker_;
};

TEST_F(TortureTree, ATreeThatChangesDuringTheScanLeavesAValidCatalogue) {
  for (int d = 0; d < 20; ++d)
    for (int f = 0; f < 20; ++f)
      MakeFile("live/d" + std::to_string(d) + "/f" + std::to_string(f), std::string(4096, 'x'));
  const std::string live = Path("live");
  std::vector<std::string> scan = {"-ms", "-s", live};
  {
    Churn churn([&live](unsigned n) {
      std::error_code ec;
      std::string dir = live + "/d" + std::to_string(n % 20);
      switch (n % 6) {
        case 0:
          std::ofstream(dir + "/new" + std::to_string(n % 50)) << std::string(n % 9000, 'n');
          break;
        case 1:
          std::ofstream(dir + "/f" + std::to_string(n % 20), std::ios::app)
              << std::string(999, 'g');
          break;
        case 2:
          fs::remove(dir + "/new" + std::to_string((n + 25) % 50), ec);
          break;
        case 3:
          fs::create_directories(live + "/extra" + std::to_string(n % 7) + "/inner", ec);
          std::ofstream(live + "/extra" + std::to_string(n % 7) + "/inner/x") << n;
          break;
        case 4:
          fs::remove_all(live + "/extra" + std::to_string((n + 3) % 7), ec);
          break;
        default:
          fs::resize_file(dir + "/f" + std::to_string(n % 20), n % 5000, ec);
          break;
      }
    });
    for (int run = 0; run < 4; ++run) {
      RunResult r = RunBounded(scan);
      // Files that shrink or vanish while read are trouble, never a crash or a hang.
      ASSERT_LE(r.status, kExitTrouble) << "run " << run << ":\n" << r.err;
      int code = -1;
      Table t = ReadCatalogue(Path("vantel32.crc"), &code);
      EXPECT_EQ(0, code) << "run " << run;
      EXPECT_FALSE(t.records.empty());
    }
    RunResult info = RunBounded({"-s", live});
    EXPECT_LE(info.status, kExitTrouble);
    RunResult dupes = RunBounded({"-md", "-s", live});
    EXPECT_LE(dupes.status, kExitTrouble);
  }
  // Quiet again: one scan takes in the last changes, the next finds nothing.
  EXPECT_EQ(kExitClean, RunBounded(scan).status);
  RunResult settled = RunBounded(scan);
  EXPECT_EQ(kExitClean, settled.status);
  EXPECT_EQ("\n\n", settled.out);
}

// Byte i of every flux file; a file always holds a prefix of this sequence.
char SequenceByte(uint64_t i) {
  return static_cast<char>((i * 7 + i / 251) & 0xFF);
}

uint32_t PrefixCrc(uint64_t size) {
  std::string bytes(size, '\0');
  for (uint64_t i = 0; i < size; ++i) bytes[i] = SequenceByte(i);
  return CrcOf(bytes);
}

TEST_F(TortureTree, FilesThatShrinkOrGrowBetweenWalkAndChecksum) {
  constexpr int kFiles = 6;
  constexpr uint64_t kLarge = 3 << 20;
  std::string seq(kLarge, '\0');
  for (uint64_t i = 0; i < kLarge; ++i) seq[i] = SequenceByte(i);
  for (int f = 0; f < kFiles; ++f) MakeFile("flux/f" + std::to_string(f), seq);
  const std::string flux = Path("flux");
  // A size seen by the walk must come with the checksum of exactly that many bytes, or with 0
  // when the file was cut short under the reader; never with a checksum of other contents.
  auto check = [](uint64_t size, uint32_t crc, const std::string& what) {
    if (crc != 0) {
      EXPECT_EQ(PrefixCrc(size), crc) << what << " size " << size;
    }
  };
  {
    Churn churn([&flux, &seq](unsigned n) {
      std::string file = flux + "/f" + std::to_string(n % kFiles);
      std::error_code ec;
      uint64_t size = fs::file_size(file, ec);
      if (ec) return;
      if (n % 2) {
        fs::resize_file(file, size / 3, ec);  // shrinking keeps a prefix
      } else {
        std::ofstream(file, std::ios::app | std::ios::binary)
            .write(seq.data() + size, static_cast<std::streamsize>(kLarge - size));
      }
    });
    for (int run = 0; run < 4; ++run) {
      RunResult info = RunBounded({"-ol", "-of", "SZ CC FP", flux});
      ASSERT_LE(info.status, kExitTrouble);  // a file cut short under the reader is trouble
      std::vector<Row> rows = FileRows(info.out, Root());
      EXPECT_EQ(static_cast<size_t>(kFiles), rows.size()) << info.out;
      for (const Row& row : rows) check(row.size, row.crc, row.path);
      ASSERT_LE(RunBounded({"-ms", flux}).status, kExitTrouble);
      int code = -1;
      Table t = ReadCatalogue(Path("vantel32.crc"), &code);
      ASSERT_EQ(0, code);
      for (const Record& r : t.records) check(r.qwSize, r.dwCRC, r.LongName());
    }
  }
}

TEST_F(TortureTree, AFileReplacedByADirectoryIsOneGoneAndOneNew) {
  MakeFile("tree/x", "was a file");
  MakeFile("tree/keep.txt", "k");
  std::vector<std::string> scan = {"-ms", "-s", "-nt", Path("tree")};
  ASSERT_EQ(kExitClean, RunBounded(scan).status);
  fs::remove(Path("tree/x"));
  MakeFile("tree/x/in.txt", "inside");
  RunResult r = RunBounded(scan);
  EXPECT_EQ(kExitClean, r.status);
  EXPECT_TRUE(
      MatchText("\n\n-----------------------------------------------  {*}\n\n"
                "+ Dir:  " +
                    Path("tree/x") +
                    "\n"
                    "+ File: " +
                    Path("tree/x/in.txt") +
                    "\n\n"
                    "- File: " +
                    Path("tree/x") +
                    "\n\n"
                    "Files:   0 changed,   1 deleted,   1 new\n"
                    "Dirs :   0 changed,   0 deleted,   1 new\n",
                r.out));
  // And back: the directory with its contents goes, the file comes.
  fs::remove_all(Path("tree/x"));
  MakeFile("tree/x", "a file again");
  r = RunBounded(scan);
  EXPECT_TRUE(
      MatchText("\n\n-----------------------------------------------  {*}\n\n"
                "+ File: " +
                    Path("tree/x") +
                    "\n\n"
                    "- Dir:  " +
                    Path("tree/x") +
                    "\n"
                    "- File: " +
                    Path("tree/x/in.txt") +
                    "\n\n"
                    "Files:   0 changed,   1 deleted,   1 new\n"
                    "Dirs :   0 changed,   1 deleted,   0 new\n",
                r.out));
  EXPECT_EQ("\n\n", RunBounded(scan).out);
}

}  // namespace
}  // namespace e2e
