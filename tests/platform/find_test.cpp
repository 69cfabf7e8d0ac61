// The find functions: order, wildcards, attributes, sizes and times.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/support/scratch.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Find(const std::string& pattern, bool withDots = false) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA(pattern.c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    std::string name = data.cFileName;
    if (withDots || (name != "." && name != "..")) names.push_back(name);
  } while (FindNextFileA(h, &data));
  EXPECT_TRUE(FindClose(h));
  return names;
}

// One lookup; the attributes, or ~0 when nothing is found.
DWORD Lookup(const std::string& path, WIN32_FIND_DATAA* data) {
  HANDLE h = FindFirstFileA(path.c_str(), data);
  if (h == INVALID_HANDLE_VALUE) return ~0u;
  EXPECT_FALSE(FindNextFileA(h, data)) << "a literal path finds one entry";
  FindClose(h);
  return data->dwFileAttributes;
}

uint64_t Ticks(const FILETIME& ft) {
  return (uint64_t{ft.dwHighDateTime} << 32) | ft.dwLowDateTime;
}

using Names = std::vector<std::string>;

TEST(FindFiles, EnumeratesDotsFirstThenNamesInUpperFoldedOrder) {
  ScratchDir dir;
  for (const char* name : {"_x", "Z", "c", "b", "a.TXT", "A"}) dir.File(name);
  EXPECT_EQ(Find(dir.Path("*"), true), (Names{".", "..", "A", "a.TXT", "b", "c", "Z", "_x"}));
  EXPECT_EQ(Find(dir.Path("*.*"), true), (Names{".", "..", "A", "a.TXT", "b", "c", "Z", "_x"}));
}

TEST(FindFiles, MatchesWin32Wildcards) {
  ScratchDir dir;
  for (const char* name : {"abc", "ac", "abcd", "x.txt", "y.TXT", "a.b.c", "noext"}) dir.File(name);
  EXPECT_EQ(Find(dir.Path("*")), (Names{"a.b.c", "abc", "abcd", "ac", "noext", "x.txt", "y.TXT"}));
  EXPECT_EQ(Find(dir.Path("*.*")), Find(dir.Path("*")));
  EXPECT_EQ(Find(dir.Path("*.txt")), (Names{"x.txt", "y.TXT"}));
  EXPECT_EQ(Find(dir.Path("*.TXT")), (Names{"x.txt", "y.TXT"}));
  EXPECT_EQ(Find(dir.Path("a?c")), (Names{"abc"}));
  EXPECT_EQ(Find(dir.Path("A*")), (Names{"a.b.c", "abc", "abcd", "ac"}));
  EXPECT_EQ(Find(dir.Path("*c")), (Names{"a.b.c", "abc", "ac"}));
  EXPECT_EQ(Find(dir.Path("?b*d")), (Names{"abcd"}));
  EXPECT_EQ(Find(dir.Path("noext.*")), (Names{"noext"}));
  EXPECT_EQ(Find(dir.Path("*.zip")), Names{});
  EXPECT_EQ(Find(dir.Path("missing") + kPathSep + "*"), Names{});
}

TEST(FindFiles, LiteralPathIsOneLookup) {
  ScratchDir dir;
  dir.Dir("sub");
  dir.File("sub" + std::string(1, kPathSep) + "File.dat", "12345");
  WIN32_FIND_DATAA data;
  std::string path = dir.Path("sub") + kPathSep + "File.dat";
  ASSERT_NE(Lookup(path, &data), ~0u);
  EXPECT_STREQ(data.cFileName, "File.dat");
  EXPECT_EQ(data.nFileSizeLow, 5u);
  EXPECT_EQ(data.nFileSizeHigh, 0u);
  EXPECT_EQ(Lookup(dir.Path("sub") + kPathSep + "nosuch", &data), ~0u);
  EXPECT_EQ(Lookup(dir.Path("sub") + kPathSep, &data), ~0u) << "a trailing separator finds nothing";
  if (!kIsWin32) {
    EXPECT_EQ(Lookup(dir.Path("sub") + kPathSep + "FILE.DAT", &data), ~0u) << "exact case";
  }
}

TEST(FindFiles, AttributesAndSizes) {
  ScratchDir dir;
  dir.Dir("d");
  dir.File("f", std::string(70000, 'x'));
  dir.File("ro");
  fs::permissions(dir.Path("ro"),
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  WIN32_FIND_DATAA data;
  EXPECT_EQ(Lookup(dir.Path("d"), &data) & 0x31, 0x10u);
  EXPECT_EQ(data.nFileSizeLow, 0u);
  EXPECT_EQ(Lookup(dir.Path("f"), &data) & 0x31, 0x20u);
  EXPECT_EQ(data.nFileSizeLow, 70000u);
  EXPECT_EQ(Lookup(dir.Path("ro"), &data) & 0x31, 0x21u);
  EXPECT_EQ(data.cAlternateFileName[0], 0) << "short names need no alias";
}

TEST(FindFiles, PosixKindsMapToWin32Attributes) {
  if (kIsWin32) GTEST_SKIP() << "dot files, links and FIFOs have no such meaning on Windows";
  ScratchDir dir;
  dir.Dir("d");
  dir.File("f", "abc");
  dir.File(".hidden");
  fs::create_symlink(dir.Path("f"), dir.Path("lf"));
  fs::create_directory_symlink(dir.Path("d"), dir.Path("ld"));
  fs::create_symlink(dir.Path("gone"), dir.Path("dangling"));
  ASSERT_EQ(std::system(("mkfifo '" + dir.Path("fifo") + "'").c_str()), 0);
  WIN32_FIND_DATAA data;
  EXPECT_EQ(Lookup(dir.Path(".hidden"), &data), 0x22u);
  EXPECT_EQ(Lookup(dir.Path("lf"), &data), 0x400u);
  EXPECT_EQ(data.nFileSizeLow, 0u) << "a link has no size of its own";
  EXPECT_EQ(Lookup(dir.Path("ld"), &data), 0x410u);
  EXPECT_EQ(Lookup(dir.Path("dangling"), &data), 0x400u);
  EXPECT_EQ(Lookup(dir.Path("fifo"), &data), 0x40u);
  EXPECT_EQ(Lookup("/dev/null", &data) & ~0x1u, 0x40u);
  // The same answers come from a directory scan, "." and ".." not hidden.
  HANDLE h = FindFirstFileA(dir.Path("*").c_str(), &data);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  std::vector<std::pair<std::string, DWORD>> seen;
  do seen.emplace_back(data.cFileName, data.dwFileAttributes);
  while (FindNextFileA(h, &data));
  FindClose(h);
  EXPECT_EQ(seen, (std::vector<std::pair<std::string, DWORD>>{{".", 0x10},
                                                              {"..", 0x10},
                                                              {".hidden", 0x22},
                                                              {"d", 0x10},
                                                              {"dangling", 0x400},
                                                              {"f", 0x20},
                                                              {"fifo", 0x40},
                                                              {"ld", 0x410},
                                                              {"lf", 0x400}}));
}

TEST(FindFiles, TimesAreFileTimesSince1601) {
  ScratchDir dir;
  dir.File("new");
  WIN32_FIND_DATAA data;
  ASSERT_NE(Lookup(dir.Path("new"), &data), ~0u);
  int64_t unixSeconds = static_cast<int64_t>(Ticks(data.ftLastWriteTime) / 10000000) - 11644473600;
  EXPECT_LE(std::llabs(unixSeconds - static_cast<int64_t>(std::time(nullptr))), 5);
  EXPECT_NE(Ticks(data.ftCreationTime), 0u);

  if (kIsWin32) GTEST_SKIP() << "the C++ runtime sets file times at coarser steps on Windows";
  // Stamps a whole second apart from the epoch plus fractions: the 100 ns part must survive and
  // the remainder below 100 ns must be cut.
  auto base = fs::last_write_time(dir.Path("new"));
  auto whole =
      fs::file_time_type(std::chrono::duration_cast<std::chrono::seconds>(base.time_since_epoch()));
  fs::last_write_time(dir.Path("new"), whole + std::chrono::nanoseconds(123456789));
  ASSERT_NE(Lookup(dir.Path("new"), &data), ~0u);
  EXPECT_EQ(Ticks(data.ftLastWriteTime) % 10000000, 1234567u);
  fs::last_write_time(dir.Path("new"), whole + std::chrono::nanoseconds(99));
  ASSERT_NE(Lookup(dir.Path("new"), &data), ~0u);
  EXPECT_EQ(Ticks(data.ftLastWriteTime) % 10000000, 0u);
}

}  // namespace
