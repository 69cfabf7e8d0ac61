// How a walk takes a name the ANSI code page lost: through its alias, or skipped with a warning.
#include "core/entrypath.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/leftout.h"
#include "core/table.h"
#include "tests/support/scratch.h"

namespace {

WIN32_FIND_DATAA Found(const char* name, const char* alias) {
  WIN32_FIND_DATAA fd = {};
  fd.dwFileAttributes = FILE_ATTRIBUTE_ARCHIVE;
  snprintf(fd.cFileName, sizeof fd.cFileName, "%s", name);
  snprintf(fd.cAlternateFileName, sizeof fd.cAlternateFileName, "%s", alias);
  return fd;
}

// A name that came back with '?' is the code page's loss on Win32, and a name like any other
// on POSIX.
TEST(EntryPlace, ALostNameTakesItsAliasOrIsSkippedWithAWarning) {
  Table t;
  snprintf(t.cStartPath, MAX_PATH, "top%c", kPathSep);
  snprintf(t.cFileMask, MAX_PATH, "*.*");
  EntryPlace place(t, 0, t.cStartPath);
  char path[2 * MAX_PATH];

  WIN32_FIND_DATAA aliased = Found("???.txt", "DOM~1.TXT");
  testing::internal::CaptureStderr();
  EXPECT_TRUE(place.Accept(&aliased, path));
  EXPECT_EQ("", testing::internal::GetCapturedStderr());
  EXPECT_STREQ(kIsWin32 ? "DOM~1.TXT" : "???.txt", aliased.cFileName);

  WIN32_FIND_DATAA bare = Found("???.txt", "");
  testing::internal::CaptureStderr();
  EXPECT_EQ(!kIsWin32, place.Accept(&bare, path));
  std::string err = testing::internal::GetCapturedStderr();
  if (kIsWin32) {
    EXPECT_EQ(
        std::string(" *** Warning: Name not representable in the ANSI code page, skipped: top") +
            kPathSep + "???.txt\n",
        err);
  } else {
    EXPECT_EQ("", err);
  }
}

// A run leaves out its own data files only: another run's rules, or none, walk them.
TEST(EntryPlace, LeavesOutTheDataFilesOfItsOwnRunOnly) {
  ScratchDir dir;
  dir.File("own.crc", "x");
  dir.File("other.crc", "y");
  Table t;
  snprintf(t.cStartPath, MAX_PATH, "%s", dir.Path().c_str());
  LeftOut first, second;
  first.Add(dir.Path("own.crc").c_str());
  second.Add(dir.Path("other.crc").c_str());
  const struct {
    const LeftOut* leftOut;
    bool own, other;  // walked
  } cases[] = {{&first, false, true}, {&second, true, false}, {nullptr, true, true}};
  for (const auto& c : cases) {
    EntryPlace place(t, 0, t.cStartPath, c.leftOut);
    char path[2 * MAX_PATH];
    WIN32_FIND_DATAA own = Found("own.crc", ""), other = Found("other.crc", "");
    EXPECT_EQ(c.own, place.Accept(&own, path));
    EXPECT_EQ(c.other, place.Accept(&other, path));
  }
}

}  // namespace
