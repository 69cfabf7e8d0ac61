// The end-to-end harness: expected texts with wildcards, the tree builders, runs of the program.
#include "tests/support/e2e.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/platform.h"
#include "tests/support/process.h"
#include "tests/support/touch.h"

namespace fs = std::filesystem;

namespace e2e {
namespace {

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
    lines.push_back(text.substr(start, nl + 1 - start));
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

// Glob match of one line where kAny is the only wildcard; it never spans a line feed.
bool MatchLine(const std::string& pattern, const std::string& line) {
  const std::string any = kAny;
  size_t star = pattern.find(any);
  if (star == std::string::npos) return pattern == line;
  if (line.compare(0, star, pattern, 0, star) != 0) return false;
  std::string rest = pattern.substr(star + any.size());
  for (size_t at = star; at <= line.size(); ++at) {
    if (MatchLine(rest, line.substr(at))) return true;
    if (at < line.size() && line[at] == '\n') break;
  }
  return false;
}

// Shows line ends and other control bytes, so that a difference in them is visible.
std::string Visible(const std::string& line) {
  std::string shown;
  for (unsigned char c : line) {
    if (c == '\n') {
      shown += "\\n";
    } else if (c == '\r') {
      shown += "\\r";
    } else if (c < 0x20 || c >= 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      shown += buf;
    } else {
      shown += static_cast<char>(c);
    }
  }
  return shown;
}

std::string Normalise(std::string text) {
  if (!kIsWin32) return text;
  std::string plain;
  for (size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) plain += text[i];
  return plain;
}

}  // namespace

std::string Sep(const std::string& path) {
  std::string out = path;
  for (char& c : out)
    if (c == '/') c = kPathSep;
  return out;
}

bool Has(const std::string& text, const std::string& piece) {
  return text.find(piece) != std::string::npos;
}

size_t Count(const std::string& text, const std::string& piece) {
  size_t n = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
  return n;
}

::testing::AssertionResult MatchText(const std::string& expected, const std::string& actual) {
  std::vector<std::string> want = SplitLines(expected);
  std::vector<std::string> got = SplitLines(actual);
  for (size_t i = 0; i < want.size() || i < got.size(); ++i) {
    std::string w = i < want.size() ? want[i] : "";
    std::string g = i < got.size() ? got[i] : "";
    if (i < want.size() && i < got.size() && MatchLine(w, g)) continue;
    return ::testing::AssertionFailure()
           << "line " << i + 1
           << " differs\n  expected: " << (i < want.size() ? Visible(w) : "(end of text)")
           << "\n  actual:   " << (i < got.size() ? Visible(g) : "(end of text)")
           << "\nwhole actual text:\n"
           << actual;
  }
  return ::testing::AssertionSuccess();
}

std::string ProgramPath() {
  std::string exe = VANTEL32_EXE;
  // The Win32 build runs under Wine, whose drive Z: is the Unix root.
  if (kIsWin32 && !exe.empty() && exe[0] == '/') exe = "Z:" + Sep(exe);
  return exe;
}

void E2eTest::SetUp() {
  ASSERT_TRUE(scratch_.Made()) << "cannot create a directory in " << fs::temp_directory_path();
  root_ = scratch_.Root().string();
}

std::string E2eTest::Path(const std::string& rel) const {
  return rel.empty() ? root_ : root_ + kPathSep + Sep(rel);
}

void E2eTest::MakeDir(const std::string& rel) {
  std::error_code ec;
  fs::create_directories(Path(rel), ec);
  ASSERT_FALSE(ec) << "cannot create " << Path(rel) << ": " << ec.message();
}

void E2eTest::MakeFile(const std::string& rel, const std::string& bytes) {
  fs::path file = Path(rel);
  std::error_code ec;
  fs::create_directories(file.parent_path(), ec);
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  ASSERT_TRUE(out.good()) << "cannot write " << file.string();
}

void E2eTest::SetMtime(const std::string& rel, int64_t unix_seconds, uint32_t nanoseconds) {
  ASSERT_EQ(SetWriteTime(Path(rel).c_str(), unix_seconds, nanoseconds), 0)
      << "cannot set the time of " << Path(rel);
}

std::string E2eTest::ReadFile(const std::string& rel) const {
  std::ifstream in(fs::path(Path(rel)), std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

bool E2eTest::Exists(const std::string& rel) const {
  std::error_code ec;
  return fs::exists(fs::symlink_status(Path(rel), ec));
}

RunResult E2eTest::Run(const std::vector<std::string>& args, const std::string& stdin_text,
                       const std::string& cwd, const std::vector<std::string>& env, int seconds) {
  return RunCommand({}, args, stdin_text, cwd, env, seconds);
}

RunResult E2eTest::RunUnder(const std::vector<std::string>& before,
                            const std::vector<std::string>& args, int seconds) {
  return RunCommand(before, args, "", "", {}, seconds);
}

RunResult E2eTest::RunCommand(const std::vector<std::string>& before,
                              const std::vector<std::string>& args, const std::string& stdin_text,
                              const std::string& cwd, const std::vector<std::string>& env,
                              int seconds) {
  std::vector<std::string> argv = before;
  argv.push_back(ProgramPath());
  argv.insert(argv.end(), args.begin(), args.end());
  std::string dir = cwd.empty() ? root_ : fs::path(cwd).is_absolute() ? cwd : Path(cwd);
  ProcessResult done;
  RunResult result;
  std::vector<std::string> vars = {"TZ=UTC", "LC_ALL=C"};
  for (const std::string& v : env) {
    std::string name = v.substr(0, v.find('=') + 1);
    bool replaced = false;
    for (std::string& d : vars)
      if (d.compare(0, name.size(), name) == 0) replaced = true, d = v;
    if (!replaced) vars.push_back(v);
  }
  if (RunProcess(argv, dir, vars, stdin_text, seconds, &done) != 0) {
    ADD_FAILURE() << "cannot start " << argv[0] << " in " << dir;
    return result;
  }
  result.status = done.status;
  result.out = Normalise(done.out);
  result.err = Normalise(done.err);
  return result;
}

}  // namespace e2e
