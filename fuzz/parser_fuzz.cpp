// libFuzzer target for the command-line parser. The input is an argument vector, arguments
// separated by NUL bytes. The parser runs in a scratch directory that holds a data file, a
// file that is no data file and a directory, so that seeds can name all three; standard input
// is empty, so the yes/no question is answered N at once. Whatever the arguments, the parser
// must leave bounded texts, at most one mode, and a usable task list for a run it accepts.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/front.h"
#include "app/state.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kMaxArgs = 64;

void Check(bool ok, const char* what) {
  if (ok) return;
  fprintf(stderr, "parser_fuzz: %s (cmd %08X)\n", what, cmd);
  abort();
}

// The scratch directory becomes the current one for the whole run and is removed at exit.
struct Scratch {
  fs::path dir;
  Scratch() {
    dir = fs::temp_directory_path() / ("vantel-parser-fuzz-" + std::to_string(getpid()));
    fs::create_directories(dir / "tree" / "sub");
    std::ofstream(dir / "tree" / "a.txt") << "alpha";
    std::ofstream(dir / "plain.txt") << "not a data file\n";
    std::ofstream(dir / "vantel32.crc") << "VNT CRC Ver. 2.01\n"
                                        << (dir / "tree").string() << "/\n*.*\n0\n";
    std::ofstream(dir / "old.crc") << "VNT CRC Ver. 1.00\n/x/\n*.*\n0\n";
    fs::current_path(dir);
    int empty = open("/dev/null", O_RDONLY);
    if (empty >= 0) dup2(empty, STDIN_FILENO);
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
};

bool Bounded(const char* text, size_t size) {
  return strnlen(text, size) < size;
}

bool EndsWithSeparator(const char* path) {
  size_t len = strlen(path);
  return len > 0 && path[len - 1] == kPathSep;
}

int CountModes(uint32_t word) {
  int n = 0;
  for (uint32_t bit : {cmCRC, cmSCAN, cmDFF, cmTEST, cmCOMP}) n += (word & bit) ? 1 : 0;
  return n;
}

void CheckState() {
  Check(Bounded(cOutputFormat, kOutputFormatSize), "output format unbounded");
  for (const Table& t : tables) {
    Check(Bounded(t.cStartPath, MAX_PATH), "start path unbounded");
    Check(Bounded(t.cFileMask, MAX_PATH), "file mask unbounded");
    Check(Bounded(t.cDataFile, MAX_PATH), "data file name unbounded");
    Check(t.records.empty(), "the parser left records in a task");
  }
  if (cmd & (cmERR | cmHELP)) return;
  Check(CountModes(cmd) == 1, "an accepted run without exactly one mode");
  Check(!tables.empty(), "an accepted run without a task");
  if (cmd & cmCOMP) Check(tables.size() <= 2, "Compare accepted more than two tasks");
  for (const Table& t : tables) {
    // A task read from a data file carries the target recorded there, whatever it is.
    if (t.cDataFile[0] == '\0') Check(EndsWithSeparator(t.cStartPath), "start path open-ended");
    if (cmd & cmSCAN) Check(t.cDataFile[0] != '\0', "a Scan task without a data file");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Scratch scratch;
  std::vector<std::vector<char>> store;
  store.push_back({'v', 'a', 'n', 't', 'e', 'l', '3', '2', '\0'});
  const char* p = reinterpret_cast<const char*>(data);
  const char* end = p + size;
  while (p < end && store.size() <= kMaxArgs) {
    const char* nul = static_cast<const char*>(memchr(p, 0, static_cast<size_t>(end - p)));
    const char* stop = nul ? nul : end;
    store.emplace_back(p, stop);
    store.back().push_back('\0');
    p = stop + 1;
  }
  std::vector<char*> argv;
  for (auto& arg : store) argv.push_back(arg.data());
  argv.push_back(nullptr);

  tables.clear();
  cmd = cmNOSW;
  snprintf(cOutputFormat, kOutputFormatSize, "%s", "FS SZ TW CC FL");
  ParseCommandLine(static_cast<int>(store.size()), argv.data());
  CheckState();
  tables.clear();
  return 0;
}
