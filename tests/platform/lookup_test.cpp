// Lookups by path see the tree as it is now, even when many of them go to one directory.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/fileread.h"
#include "platform/platform.h"
#include "tests/support/scratch.h"

namespace {

namespace fs = std::filesystem;

// Size from a literal FindFirstFileA, or -1 when nothing is found.
long long FoundSize(const std::string& path) {
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA(path.c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return -1;
  FindClose(h);
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::string ReadAll(const std::string& path) {
  int fd = _open(path.c_str(), _O_RDONLY | _O_BINARY);
  if (fd < 0) return "(cannot open)";
  char buf[64];
  int n = _read(fd, buf, sizeof buf);
  _close(fd);
  return n < 0 ? "(cannot read)" : std::string(buf, static_cast<size_t>(n));
}

// Puts the directory d aside and makes a new d whose f holds `contents`.
void ReplaceDirectory(const ScratchDir& dir, const std::string& aside,
                      const std::string& contents) {
  std::filesystem::rename(dir.Path("d"), dir.Path(aside));
  dir.Dir("d");
  dir.File("d" + std::string(1, kPathSep) + "f", contents);
}

TEST(Lookups, SeeADirectoryReplacedBeforeTheNextEnumeration) {
  ScratchDir dir;
  dir.Dir("d");
  const std::string f = dir.Path("d") + kPathSep + "f";
  dir.File("d" + std::string(1, kPathSep) + "f", "one");
  EXPECT_EQ(FoundSize(f), 3);
  EXPECT_EQ(ReadAll(f), "one");
  EXPECT_EQ(_access(f.c_str(), 4), 0);

  ReplaceDirectory(dir, "old1", "second");
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA((dir.Path("d") + kPathSep + "*").c_str(), &data);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  FindClose(h);
  EXPECT_EQ(FoundSize(f), 6);
  EXPECT_EQ(ReadAll(f), "second");

  // Without an enumeration in between, a moment later.
  ReplaceDirectory(dir, "old2", "third!!");
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  EXPECT_EQ(FoundSize(f), 7);
  EXPECT_EQ(ReadAll(f), "third!!");
}

// A folder replaced after its parent's listing found it is not listed as the folder found there,
// and the error says what it is now.
TEST(Lookups, AFolderReplacedSinceItsParentsListingIsRefusedWithItsReason) {
  if (kIsWin32) GTEST_SKIP() << "the Win32 build keeps paths";
  using Replace = void (*)(const ScratchDir&);
  const struct {
    const char* now;  // what takes d's place
    Replace replace;
    int error;
  } cases[] = {
      {"folder", [](const ScratchDir& dir) { fs::rename(dir.Path("other"), dir.Path("d")); },
       kErrorChanged},
      {"link",
       [](const ScratchDir& dir) {
         fs::create_directory_symlink(dir.Path("other"), dir.Path("d"));
       },
       ENOTDIR},
      {"file", [](const ScratchDir& dir) { dir.File("d", "x"); }, ENOTDIR},
  };
  for (const auto& c : cases) {
    ScratchDir dir;
    dir.Dir("d");
    dir.Dir("other");
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((dir.Path() + kPathSep + "*").c_str(), &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    while (FindNextFileA(h, &data)) {
    }
    FindClose(h);
    fs::rename(dir.Path("d"), dir.Path("aside"));
    c.replace(dir);
    EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileA((dir.Path("d") + kPathSep + "*").c_str(), &data))
        << c.now;
    EXPECT_EQ(c.error, ErrnoOfFindError(GetLastError())) << c.now;
  }
}

// The start paths a run trusts end with it: the next run takes a path below them as given.
TEST(Lookups, AStartPathIsTrustedOnlyWhileItsRunLasts) {
  if (kIsWin32) GTEST_SKIP() << "the Win32 build keeps paths";
  ScratchDir dir;
  dir.Dir("real");
  dir.File("real" + std::string(1, kPathSep) + "f", "x");
  fs::create_directory_symlink(dir.Path("real"), dir.Path("link"));
  const std::string f = dir.Path("link") + kPathSep + "f";
  auto opens = [&] {
    int fd = OpenWalkedFile(f.c_str());
    if (fd >= 0) _close(fd);
    return fd >= 0;
  };
  {
    WalkRoots run;
    run.Trust(dir.Path().c_str());
    EXPECT_FALSE(opens()) << "a link below a start path is not followed";
  }
  WalkRoots next;
  EXPECT_TRUE(opens()) << "the start path of the run before is not this run's";
}

TEST(Lookups, AccessAfterCloseAsksAgain) {
  ScratchDir dir;
  dir.File("f", "x");
  const std::string f = dir.Path("f");
  EXPECT_EQ(ReadAll(f), "x");
  ASSERT_EQ(_unlink(f.c_str()), 0);
  EXPECT_EQ(_access(f.c_str(), 4), -1);
  EXPECT_EQ(FoundSize(f), -1);
}

}  // namespace
