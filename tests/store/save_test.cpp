// The save: what it takes over, what it keeps, and what a failure or a signal at any call
// leaves behind (the old catalogue, byte for byte, and no temporary file).
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "app/state.h"
#include "core/table.h"
#include "store/datafile.h"
#include "tests/store/faults.h"
#include "tests/support/bytes.h"
#include "tests/support/filelimit.h"

namespace fs = std::filesystem;

namespace {

class SaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int serial = 0;
    dir_ = fs::temp_directory_path() /
           ("vantel-save-" + std::to_string(_getpid()) + "-" + std::to_string(serial++));
    fs::create_directories(dir_);
    file_ = (dir_ / "data.crc").string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  // A table for `path` with n records named after `tag`.
  static Table Make(const std::string& path, unsigned n, const std::string& tag) {
    Table t;
    snprintf(t.cDataFile, MAX_PATH, "%s", path.c_str());
    snprintf(t.cStartPath, MAX_PATH, "/start/");
    snprintf(t.cFileMask, MAX_PATH, "*.*");
    for (unsigned i = 0; i < n; ++i) {
      t.records.emplace_back();
      t.records.back().SetLongName((tag + "-" + std::to_string(i) + "-some-longer-name").c_str());
      t.records.back().dwCRC = i;
    }
    return t;
  }

  // Saves t quietly; its result. With failAt, that call of the save fails (ArmFault), and
  // *call names it ("" when the save made fewer calls).
  static int Save(Table& t, std::string* err = nullptr, int failAt = 0,
                  std::string* call = nullptr) {
    testing::internal::CaptureStderr();
    if (failAt > 0) ArmFault(failAt, EIO);
    int rc = SaveDataFile(t, 0);
    std::string hit = DisarmFault();
    std::string text = testing::internal::GetCapturedStderr();
    if (err) *err = text;
    if (call) *call = hit;
    return rc;
  }

  static int Read(Table& t) {
    testing::internal::CaptureStderr();
    int rc = ReadDataFile(t);
    testing::internal::GetCapturedStderr();
    return rc;
  }

  std::set<std::string> Entries() const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.insert(e.path().filename().string());
    return names;
  }

  fs::path dir_;
  std::string file_;
};

// Failure injected at every call of the save in turn: each one either fails the save with a
// message and the system's reason, keeping the old catalogue byte for byte with its owner and
// mode, or (a failure after the rename) leaves the new one complete. No temporary file stays.
TEST_F(SaveTest, AFailureAtAnyCallKeepsTheOldCatalogue) {
  if (!CanInjectFaults()) GTEST_SKIP() << "no C library to interpose in the Win32 build";
  Table old = Make(file_, 3, "old");
  ASSERT_EQ(0, Save(old));
  // Owned by another user when the test may give files away, so the owner is set too.
  Owner was;
  ASSERT_TRUE(GetOwner(file_, &was));
  was.mode = 0640;
  if (MayGiveAway()) was.uid = was.gid = 65534;
  ASSERT_TRUE(SetOwner(file_, was));
  ASSERT_TRUE(GetOwner(file_, &was));
  const std::string oldBytes = ReadBytes(file_);

  Table t = Make(file_, 40000, "new");  // a few megabytes: several writes
  t.stamp = old.stamp;                  // as if t had been read from the old file
  std::set<std::string> failedCalls;
  std::string newBytes;
  for (int k = 1; k < 1000; ++k) {
    SCOPED_TRACE("call " + std::to_string(k));
    std::string err, call;
    int rc = Save(t, &err, k, &call);
    if (k == 1) {
      EXPECT_EQ(0600, FirstWriteMode()) << "the temporary file was readable by others";
    }
    Owner now;
    ASSERT_TRUE(GetOwner(file_, &now));
    EXPECT_EQ(was.uid, now.uid);
    EXPECT_EQ(was.gid, now.gid);
    EXPECT_EQ(was.mode, now.mode);
    EXPECT_EQ(std::set<std::string>{"data.crc"}, Entries());
    if (rc != 0) {
      SCOPED_TRACE(call);
      failedCalls.insert(call);
      EXPECT_EQ(oldBytes, ReadBytes(file_));
      EXPECT_NE(std::string::npos,
                err.find("output file: " + file_ + "\n *** Input/output error\n"))
          << err;
      continue;
    }
    if (newBytes.empty()) newBytes = ReadBytes(file_);
    EXPECT_EQ(newBytes, ReadBytes(file_));
    if (call.empty()) break;  // every call of the save went through
    std::ofstream(file_, std::ios::binary | std::ios::trunc) << oldBytes;  // the same file
  }
  std::set<std::string> expected = {"write", "fsync", "fchmod", "close", "rename"};
  if (MayGiveAway()) expected.insert("fchown");
  EXPECT_EQ(expected, failedCalls);
  Table back;
  snprintf(back.cDataFile, MAX_PATH, "%s", file_.c_str());
  ASSERT_EQ(0, Read(back));
  EXPECT_EQ(40000u, back.records.size());
}

struct SignalRun {
  Table* table;
  int sig;
};

int SaveHitBySignal(void* arg) {
  SignalRun* run = static_cast<SignalRun*>(arg);
  ArmFault(2, 0, run->sig);  // the second write: the temporary file holds a part
  return SaveDataFile(*run->table, 0) == 0 ? 0 : 1;
}

// SIGINT, SIGTERM and SIGHUP during the save end the process by that signal, without the
// temporary file.
TEST_F(SaveTest, ASignalDuringTheSaveTakesTheTemporaryFileAlong) {
  if (CleanupSignals().empty()) GTEST_SKIP() << "the Win32 build has no signals to test here";
  Table old = Make(file_, 3, "old");
  ASSERT_EQ(0, Save(old));
  const std::string oldBytes = ReadBytes(file_);
  Table t = Make(file_, 40000, "new");
  t.stamp = old.stamp;
  for (int sig : CleanupSignals()) {
    SignalRun run{&t, sig};
    EXPECT_EQ(128 + sig, RunWithFileSizeLimit(1L << 30, SaveHitBySignal, &run)) << sig;
    EXPECT_EQ(oldBytes, ReadBytes(file_));
    EXPECT_EQ(std::set<std::string>{"data.crc"}, Entries()) << sig;
  }
}

// Ctrl-C, Ctrl-Break or closing the console while the temporary file is written takes it along
// with the process, although it is still open.
TEST_F(SaveTest, AConsoleEventDuringTheSaveTakesTheTemporaryFileAlong) {
  if (!PrepareConsoleEvent()) GTEST_SKIP() << "console events are Win32's";
  char tmp[MAX_PATH];
  int fd = CreateTemporary(file_.c_str(), tmp, sizeof tmp);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(5, _write(fd, "half ", 5));
  ASSERT_TRUE(SendConsoleEvent());
  _close(fd);  // as the end of the process closes it
  ForgetTemporary();
  EXPECT_TRUE(Entries().empty());
}

// The owner, group and mode of the old file stay; a new catalogue gets what a plain create
// would give it.
TEST_F(SaveTest, OwnerAndModeAreKept) {
  Owner o;
  Table t = Make(file_, 3, "a");
  ASSERT_EQ(0, Save(t));
  if (!GetOwner(file_, &o)) GTEST_SKIP() << "no POSIX owners and modes in the Win32 build";
  EXPECT_EQ(0600, o.mode & 0600);  // a plain create: 0666 less the umask
  o.mode = 0604;
  if (MayGiveAway()) o.uid = o.gid = 65534;  // root scanning another user's catalogue
  ASSERT_TRUE(SetOwner(file_, o));
  ASSERT_EQ(0, Save(t));
  Owner now;
  ASSERT_TRUE(GetOwner(file_, &now));
  EXPECT_EQ(o.uid == -1 ? now.uid : o.uid, now.uid);
  EXPECT_EQ(o.gid == -1 ? now.gid : o.gid, now.gid);
  EXPECT_EQ(0604, now.mode);
}

// A catalogue that is a link is written through to its target only when it is still the link
// read, to the same file. Anything put at the name since (the link swapped between load and
// save) is refused, and no file anywhere is touched.
TEST_F(SaveTest, ALinkIsWrittenThroughOnlyWhenItIsTheOneRead) {
  if (kIsWin32) GTEST_SKIP() << "the Win32 build replaces a catalogue by its name, link or not";
  std::string real = (dir_ / "real.crc").string();
  std::string victim = (dir_ / "victim").string();
  std::ofstream(victim) << "keep me";
  Table first = Make(real, 2, "real");
  ASSERT_EQ(0, Save(first));
  std::error_code ec;
  fs::create_symlink("real.crc", file_, ec);
  if (ec) GTEST_SKIP() << "no symbolic links here: " << ec.message();

  Table t;
  snprintf(t.cDataFile, MAX_PATH, "%s", file_.c_str());
  ASSERT_EQ(0, Read(t));
  t.records.resize(1);
  ASSERT_EQ(0, Save(t));
  EXPECT_TRUE(fs::is_symlink(file_));
  EXPECT_EQ(fs::path("real.crc"), fs::read_symlink(file_));
  Table back;
  snprintf(back.cDataFile, MAX_PATH, "%s", real.c_str());
  ASSERT_EQ(0, Read(back));
  EXPECT_EQ(1u, back.records.size());
  const std::string realBytes = ReadBytes(real);

  auto plant = [&](const std::string& target) {
    fs::remove(dir_ / "planted");
    fs::create_symlink(target, dir_ / "planted");
    fs::rename(dir_ / "planted", file_);  // in one step, as an attacker would
  };
  const std::string changed = "\n *** Data file changed since it was read\n";
  struct Case {
    const char* what;
    std::function<void()> before;  // sets up what was read
    std::string reason;
  } cases[] = {
      {"the link points elsewhere now", [&] { plant("real.crc"); }, changed},
      {"a file read, a link now",
       [&] {
         fs::remove(file_);
         fs::copy_file(real, file_);
       },
       changed},
      {"nothing read, a link now", [&] { fs::remove(file_); }, "\n *** File exists\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.before();
    Table victimTable;
    snprintf(victimTable.cDataFile, MAX_PATH, "%s", file_.c_str());
    if (fs::exists(file_)) {
      ASSERT_EQ(0, Read(victimTable));
    }
    const std::string readBytes = fs::exists(file_) ? ReadBytes(file_) : "";
    plant("victim");
    std::string err;
    EXPECT_EQ(1, Save(victimTable, &err));
    EXPECT_NE(std::string::npos, err.find("Cannot open output file: " + file_ + c.reason)) << err;
    EXPECT_EQ("keep me", ReadBytes(victim));
    EXPECT_EQ(fs::path("victim"), fs::read_symlink(file_));
    EXPECT_EQ(realBytes, ReadBytes(real));
    std::set<std::string> expected = {"data.crc", "real.crc", "victim"};
    EXPECT_EQ(expected, Entries());
  }
}

// The temporary name is short: a name near the system's limit saves, and saves again over
// itself. Its form is the one the walk knows a killed save's file by.
TEST_F(SaveTest, AnyNameSavesAndTheTemporaryNameIsKnown) {
  std::string longest = (dir_ / std::string(250, 'n')).string();
  Table l = Make(longest, 2, "b");
  std::string err;
  EXPECT_EQ(0, Save(l, &err)) << err;
  EXPECT_EQ(0, Save(l, &err)) << err;
  EXPECT_EQ(std::set<std::string>{std::string(250, 'n')}, Entries());
  const unsigned char random[kTempLetters] = {0, 9, 10, 35, 36, 255, 128, 7, 200, 99};
  char tmp[MAX_PATH];
  ASSERT_GT(ComposeTemporaryPath("d/x.crc", "/", random, tmp, sizeof tmp), 0);
  ASSERT_EQ(0, strncmp(tmp, "d/", 2)) << tmp;
  EXPECT_TRUE(IsTemporaryName(tmp + 2)) << tmp;
}

}  // namespace
