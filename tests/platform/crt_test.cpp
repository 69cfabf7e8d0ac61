// The C-runtime subset: full paths, path splitting, OEM text, low-level files, switches.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/fileid.h"
#include "platform/fileread.h"
#include "platform/platform.h"
#include "tests/support/bytes.h"
#include "tests/support/scratch.h"

namespace {

const std::string kSep(1, kPathSep);

std::string FullPath(const std::string& rel, size_t max = MAX_PATH) {
  char buf[MAX_PATH];
  const char* r = _fullpath(buf, rel.c_str(), max);
  return r ? r : "(null)";
}

TEST(FullPath, ResolvesDotsLexicallyAgainstTheCurrentDirectory) {
  const std::string cwd = std::filesystem::current_path().string();
  EXPECT_EQ(FullPath("."), cwd);
  EXPECT_EQ(FullPath("a" + kSep + "." + kSep + "b" + kSep + ".." + kSep + "c"),
            cwd + kSep + "a" + kSep + "c");
  EXPECT_EQ(FullPath("*.txt"), cwd + kSep + "*.txt");
  // Windows keeps a trailing separator; here only the root has one.
  EXPECT_EQ(FullPath("d" + kSep), cwd + kSep + "d" + (kIsWin32 ? kSep : ""));
  EXPECT_EQ(FullPath("x", cwd.size() + 2), "(null)") << "the result and its NUL must fit";
  EXPECT_EQ(FullPath("x", cwd.size() + 3), cwd + kSep + "x");
}

TEST(FullPath, PosixRootAndLinks) {
  if (kIsWin32) GTEST_SKIP() << "POSIX paths";
  EXPECT_EQ(FullPath("/"), "/");
  EXPECT_EQ(FullPath("/.."), "/");
  EXPECT_EQ(FullPath("//a//./b/"), "/a/b");
  ScratchDir dir;
  dir.Dir("target");
  dir.Dir("target/inner");
  std::filesystem::create_directory_symlink(dir.Path("target/inner"), dir.Path("link"));
  EXPECT_EQ(FullPath(dir.Path("link/..")), FullPath(dir.Path(""))) << "links are not followed";
}

TEST(SplitPath, SplitsAtTheLastSeparatorAndDot) {
  char drive[_MAX_DRIVE], dir[_MAX_DIR], fname[_MAX_FNAME], ext[_MAX_EXT];
  auto split = [&](const std::string& path) {
    _splitpath(path.c_str(), drive, dir, fname, ext);
    return std::string(drive) + "|" + dir + "|" + fname + "|" + ext;
  };
  EXPECT_EQ(split(kSep + "d.x" + kSep + "sub" + kSep + "a.b.txt"),
            "|" + kSep + "d.x" + kSep + "sub" + kSep + "|a.b|.txt");
  EXPECT_EQ(split("d.x" + kSep + "name"), "|d.x" + kSep + "|name|");
  EXPECT_EQ(split(".profile"), "|||.profile");
  EXPECT_EQ(split("*.*"), "||*|.*");
  EXPECT_EQ(split(""), "|||");
  _splitpath(("a" + kSep + "b.c").c_str(), nullptr, nullptr, fname, nullptr);
  EXPECT_STREQ(fname, "b");
}

TEST(CharToOem, ControlBytesBecomeQuestionMarks) {
  if (kIsWin32) GTEST_SKIP() << "Windows converts to the OEM code page instead";
  char text[] = "a\x01z\x1f\x7f \xc3\xa9";
  char out[sizeof text];
  ASSERT_TRUE(CharToOemA(text, out));
  EXPECT_STREQ(out, "a?z?? \xc3\xa9");
  ASSERT_TRUE(CharToOemA(text, text));
  EXPECT_STREQ(text, out);
}

TEST(LowLevelFiles, ReadsRegularFilesOnly) {
  ScratchDir dir;
  dir.File("f", "hello");
  int fd = _open(dir.Path("f").c_str(), _O_RDONLY | _O_BINARY);
  ASSERT_GE(fd, 0);
  char buf[16];
  EXPECT_EQ(_read(fd, buf, sizeof buf), 5);
  EXPECT_EQ(_read(fd, buf, sizeof buf), 0);
  EXPECT_EQ(_close(fd), 0);
  EXPECT_EQ(_access(dir.Path("f").c_str(), 4), 0);
  EXPECT_EQ(_open(dir.Path("nosuch").c_str(), _O_RDONLY), -1);
  EXPECT_EQ(_open(dir.Path("").c_str(), _O_RDONLY), -1) << "a directory is not read";

  if (kIsWin32) GTEST_SKIP() << "no FIFOs on Windows";
  ASSERT_EQ(std::system(("mkfifo '" + dir.Path("fifo") + "'").c_str()), 0);
  // Neither blocks nor reads, and each says what the entry is.
  const struct {
    std::string path;
    int error;
  } cases[] = {{dir.Path("fifo"), kErrorNotRegular},
               {"/dev/null", kErrorNotRegular},
               {dir.Path(""), EACCES}};
  for (const auto& c : cases) {
    errno = 0;
    EXPECT_EQ(_open(c.path.c_str(), _O_RDONLY), -1) << c.path;
    EXPECT_EQ(errno, c.error) << c.path;
    FileId id;
    uint64_t size = 0;
    errno = 0;
    EXPECT_EQ(OpenFileId(c.path.c_str(), &id, &size), -1) << c.path;
    EXPECT_EQ(errno, c.error == EACCES ? EISDIR : c.error) << c.path;
  }
}

TEST(LowLevelFiles, MoveReplacesOnlyWhenAsked) {
  ScratchDir dir;
  dir.File("new", "new");
  dir.File("old", "old");
  const std::string from = dir.Path("new"), to = dir.Path("old");
  EXPECT_FALSE(MoveFileExA(from.c_str(), to.c_str(), 0));
  EXPECT_EQ(ReadBytes(to), "old");
  EXPECT_TRUE(
      MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
  EXPECT_EQ(ReadBytes(to), "new");
  EXPECT_EQ(_access(from.c_str(), 0), -1);
  EXPECT_EQ(_unlink(to.c_str()), 0);
}

TEST(SwitchArguments, TellSwitchesFromPaths) {
  EXPECT_TRUE(IsSwitchArgument("-s"));
  EXPECT_TRUE(IsSwitchArgument("/s"));
  EXPECT_TRUE(IsSwitchArgument("/mscan"));
  EXPECT_FALSE(IsSwitchArgument("-"));
  EXPECT_FALSE(IsSwitchArgument("name"));
  EXPECT_FALSE(IsSwitchArgument(""));
  // POSIX paths start with '/': the root alone, any deeper path and an existing top-level
  // name are paths there.
  const std::filesystem::path temp = std::filesystem::temp_directory_path();
  const std::string top = "/" + std::next(temp.begin())->string();
  EXPECT_TRUE(IsSwitchArgument("/"));
  EXPECT_FALSE(IsSwitchArgument("/.") && !kIsWin32);
  EXPECT_EQ(IsSwitchArgument("/no/such/dir"), kIsWin32);
  EXPECT_EQ(IsSwitchArgument(top.c_str()), kIsWin32);
}

}  // namespace
