// The data file: hand-made files read field by field, probe codes, damaged files, saves.
#include "store/datafile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "app/state.h"
#include "core/progress.h"
#include "core/table.h"
#include "tests/support/bytes.h"
#include "tests/support/filelimit.h"
#include "tests/support/scratch.h"

namespace fs = std::filesystem;

namespace {

// Built by hand from the format table, never by the writer: three records, then three names.
// Record 0 begins with a blank (the count line must end at its line feed); record 1 fills its
// short name without a terminator; record 2 has bytes after the NUL of its short name.
const unsigned char kFixture[] =
    "VNT CRC Ver. 2.01\n/start/\n*.TXT\n3\n"
    // 0: " sub dir", a directory with the no-match mark, at the top
    " sub dir\0\0\0\0\0\0"              // short name
    "\x10\x00\x00\x80"                  // attributes 0x80000010
    "\x04\x03\x02\x01\xb0\xa0\xc0\x01"  // created 0x01C0A0B0'01020304
    "\x14\x13\x12\x11\xb1\xa1\xc1\x01"  // accessed
    "\x24\x23\x22\x21\xb2\xa2\xc2\x01"  // written
    "\0\0\0\0\0\0\0\0\0\0\0\0"          // size, reserved 0
    "\0\0\0\0\0\0\0\0\0\0\0\0"          // reserved 1, CRC, parent
    // 1: a file in record 0
    "ABCDEFGHIJKLMN"                    // short name, all 14 bytes used
    "\x21\x00\x00\x00"                  // attributes
    "\xef\xcd\xab\x89\xf4\xe3\xd2\x01"  // created
    "\x01\x00\x00\x00\x00\x00\x00\x00"  // accessed
    "\xff\xff\xff\xff\xff\xff\xff\x7f"  // written
    "\x89\x67\x45\x23\x01\x00\x00\x00"  // size 0x123456789
    "\x44\x33\x22\x11\x88\x77\x66\x55"  // reserved 0 and 1
    "\xef\xbe\xad\xde\x01\x00\x00\x00"  // CRC, parent 1
    // 2: a file at the top without a long name
    "X.TXT\0ZZ\0\0\0\0\0\0"             // short name, junk after its NUL
    "\x01\x00\x00\x00"                  // attributes
    "\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0"  // created, accessed
    "\x00\x00\x00\x00\x00\x00\x00\x80"  // written, top bit set
    "\xff\xff\xff\xff\xff\xff\xff\xff"  // size
    "\xff\xff\xff\xff\x00\x00\x00\x00"  // reserved 0 and 1
    "\x01\x00\x00\x00\x00\x00\x00\x00"  // CRC, parent 0
    " sub dir\n"
    "a file, named \xe9.txt\n"
    "\n";
const std::string kFixtureBytes(reinterpret_cast<const char*>(kFixture), sizeof kFixture - 1);
constexpr size_t kHeaderBytes = 34;  // the four header lines above

class DataFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(scratch_.Made());
    file_ = (dir_ / "data.crc").string();
    snprintf(table_.cDataFile, MAX_PATH, "%s", file_.c_str());
    snprintf(table_.cStartPath, MAX_PATH, "keep");
  }

  // Runs fn with standard error captured and returns what it printed.
  template <typename Fn>
  std::string Stderr(Fn fn) {
    testing::internal::CaptureStderr();
    fn();
    return testing::internal::GetCapturedStderr();
  }

  // Off a console only the lines that stay are printed, with the mark the locale shows.
  static std::string Shown(const std::string& text) {
    std::string shown;
    for (char c : text) shown += c == '\376' ? std::string(ProgressMark()) : std::string(1, c);
    return shown;
  }

  std::string Readed(unsigned n) {
    char line[256];
    snprintf(line, sizeof line, " \376 Readed %6u  ", n);
    return Shown(line + file_ + "\n");
  }

  ScratchDir scratch_;
  const fs::path& dir_ = scratch_.Root();
  std::string file_;
  Table table_;
};

TEST_F(DataFileTest, ReadsHandBuiltFileFieldByField) {
  WriteBytes(file_, kFixtureBytes);
  int rc = -1;
  std::string err = Stderr([&] { rc = ReadDataFile(table_); });
  EXPECT_EQ(0, rc);
  EXPECT_EQ(Readed(3), err);
  EXPECT_STREQ("/start/", table_.cStartPath);
  EXPECT_STREQ("*.TXT", table_.cFileMask);
  ASSERT_EQ(3u, table_.records.size());
  const Record& d = table_.records[0];
  EXPECT_EQ(0, memcmp(" sub dir\0\0\0\0\0\0", d.cShortName, 14));
  EXPECT_EQ(0x80000010u, d.dwAttr);
  EXPECT_EQ(0x01020304u, d.ftCreate.dwLowDateTime);
  EXPECT_EQ(0x01C0A0B0u, d.ftCreate.dwHighDateTime);
  EXPECT_EQ(0x11121314u, d.ftAccess.dwLowDateTime);
  EXPECT_EQ(0x01C2A2B2u, d.ftWrite.dwHighDateTime);
  EXPECT_STREQ(" sub dir", d.LongName());
  const Record& f = table_.records[1];
  EXPECT_EQ(0, memcmp("ABCDEFGHIJKLMN", f.cShortName, 14));
  EXPECT_EQ(0x7FFFFFFFu, f.ftWrite.dwHighDateTime);
  EXPECT_EQ(0x123456789u, f.qwSize);
  EXPECT_EQ(0x11223344u, f.dwReserved0);
  EXPECT_EQ(0x55667788u, f.dwReserved1);
  EXPECT_EQ(0xDEADBEEFu, f.dwCRC);
  EXPECT_EQ(1u, f.dwUpIdx);
  EXPECT_STREQ("a file, named \xe9.txt", f.LongName());
  const Record& x = table_.records[2];
  EXPECT_EQ(0, memcmp("X.TXT\0\0\0\0\0\0\0\0\0", x.cShortName, 14));
  EXPECT_EQ(0x80000000u, x.ftWrite.dwHighDateTime);
  EXPECT_EQ(UINT64_MAX, x.qwSize);
  EXPECT_EQ(nullptr, x.pLongName);

  // Written back, the same bytes, except the junk that reading dropped.
  std::string expected = kFixtureBytes;
  expected.replace(kHeaderBytes + 2 * kRecordBytes + 6, 2, 2, '\0');
  table_.records[1].wStatus = stGONE;
  std::string saved = Stderr([&] { EXPECT_EQ(0, SaveDataFile(table_, 0)); });
  EXPECT_EQ(expected, ReadBytes(file_));
  EXPECT_EQ(Shown(" \376 Saved       3  " + file_ + "\n"), saved);
  EXPECT_EQ(1, std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));

  Stderr([&] { EXPECT_EQ(0, ReadDataFile(table_)); });
  EXPECT_EQ(0, table_.records[1].wStatus);
}

TEST_F(DataFileTest, EmptyTableAndLinesAtTheLimit) {
  table_.cStartPath[0] = '\0';
  snprintf(table_.cFileMask, MAX_PATH, "*.*");
  Stderr([&] { EXPECT_EQ(0, SaveDataFile(table_, 0)); });
  EXPECT_EQ("VNT CRC Ver. 2.01\n\n*.*\n0\n", ReadBytes(file_));
  std::string err = Stderr([&] { EXPECT_EQ(0, ReadDataFile(table_)); });
  EXPECT_EQ(Readed(0), err);

  // Lines of MAX_PATH-1 bytes read back whole (a longer one is damaged, below).
  std::string longest(MAX_PATH - 1, 'n');
  snprintf(table_.cStartPath, MAX_PATH, "%s", longest.c_str());
  snprintf(table_.cFileMask, MAX_PATH, "%s", longest.c_str());
  Record r;
  r.SetLongName(longest.c_str());
  table_.records.assign(2, r);
  Stderr([&] { EXPECT_EQ(0, SaveDataFile(table_, 0)); });
  Stderr([&] { EXPECT_EQ(0, ReadDataFile(table_)); });
  ASSERT_EQ(2u, table_.records.size());
  EXPECT_EQ(longest, table_.records[1].LongName());
  EXPECT_EQ(longest, table_.cStartPath);
  EXPECT_EQ(longest, table_.cFileMask);
}

TEST_F(DataFileTest, RejectedSignatures) {
  struct Case {
    std::string bytes, message;
    int code;
  } cases[] = {
      {"", "\n** Error: This is not data file.\n\n", 2},
      {"VNT CRC\n", "\n** Error: This is not data file.\n\n", 2},
      {"VNT CRC Ver. 1.00\n/\n*.*\n0\n",
       "\n** Error: Different version of data file. Error: Requires ver. 2.01\n", 3},
  };
  for (const Case& c : cases) {
    WriteBytes(file_, c.bytes);
    std::string err = Stderr([&] { EXPECT_EQ(1, ReadDataFile(table_)) << c.bytes; });
    EXPECT_EQ(c.message + Readed(0), err);
    EXPECT_STREQ("keep", table_.cStartPath);
    table_.records.resize(1);
    EXPECT_EQ(c.code, TestFile(table_, file_.c_str())) << c.bytes;
    EXPECT_TRUE(table_.records.empty());
  }
}

TEST_F(DataFileTest, TestFileCodes) {
  WriteBytes(file_, kFixtureBytes);
  table_.records.resize(1);
  EXPECT_EQ(0, TestFile(table_, file_.c_str()));
  EXPECT_STREQ("/start/", table_.cStartPath);
  EXPECT_STREQ("*.TXT", table_.cFileMask);
  EXPECT_TRUE(table_.records.empty());

  table_.records.resize(1);
  EXPECT_EQ(1, TestFile(table_, dir_.string().c_str()));
  EXPECT_EQ(4, TestFile(table_, (dir_ / "missing").string().c_str()));
  EXPECT_EQ(1u, table_.records.size());
  WriteBytes(file_, kFixtureBytes.substr(0, kHeaderBytes - 1));  // count line without its end
  EXPECT_EQ(2, TestFile(table_, file_.c_str()));
  EXPECT_STREQ("/start/", table_.cStartPath);
}

// Whatever the writer would not write is damaged, for ReadDataFile and TestFile alike.
TEST_F(DataFileTest, DamagedFilesAreRefused) {
  auto withByte = [](size_t record, size_t at, char value) {
    std::string b = kFixtureBytes;
    b[kHeaderBytes + record * kRecordBytes + at] = value;
    return b;
  };
  auto withParent = [&](size_t record, char parent) { return withByte(record, kAtUpIdx, parent); };
  auto withCount = [](const std::string& count) {
    return "VNT CRC Ver. 2.01\n/start/\n*.TXT\n" + count + "\n" +
           kFixtureBytes.substr(kHeaderBytes);
  };
  const std::string header = "VNT CRC Ver. 2.01\n/start/\n";
  const std::string names = kFixtureBytes.substr(kHeaderBytes + 3 * kRecordBytes);
  const std::string tooLong(MAX_PATH, 'p');
  std::string crlf = kFixtureBytes;
  for (size_t at = kHeaderBytes; at-- > 0;)
    if (crlf[at] == '\n') crlf.insert(at, "\r");
  const std::string cases[] = {
      header.substr(0, 18),                               // the signature alone
      header.substr(0, 21),                               // cut in the start path
      header,                                             // no mask line
      kFixtureBytes.substr(0, kHeaderBytes - 1),          // count line without its end
      kFixtureBytes.substr(0, kHeaderBytes + 100),        // in the records
      kFixtureBytes.substr(0, kFixtureBytes.size() - 5),  // in the names
      kFixtureBytes.substr(0, kFixtureBytes.size() - 1),  // last name without its end
      kFixtureBytes + "x",                                // a byte after the last name
      kFixtureBytes + "more\n",                           // a name more than the count
      withCount("2"),                                     // the same: a count one short
      withCount("4"),                                     // a name and a record fewer
      withCount(""),
      withCount("none"),
      withCount("03"),
      withCount("+3"),
      withCount(" 3"),
      withCount("3 "),
      withCount("3\r"),                                     // counts "%u" never writes
      crlf,                                                 // header converted to CR LF
      "VNT CRC Ver. 2.01 \n/start/\n*.TXT\n0\n",            // more after the signature
      header + "*.*\n4000000000\n" + std::string(60, 'x'),  // a count the file cannot hold
      header + "*.*\n4294967297\n",                         // no 32-bit count
      "VNT CRC Ver. 2.01\n" + tooLong + "\n*.*\n0\n",       // start path over the limit
      header + tooLong + "\n0\n",                           // mask over the limit
      header + std::string("*.\0*\n0\n", 6),                // a NUL in the mask
      withParent(0, 2),                                     // parent further on
      withParent(0, 1),                                     // a directory its own parent
      withParent(2, 2),                                     // parent is a file
      withByte(1, kAtAttr + 3, '\x80'),                     // a file with the no-match mark
      kFixtureBytes.substr(0, kFixtureBytes.size() - names.size()) + tooLong + "\n\n\n",
      kFixtureBytes.substr(0, kFixtureBytes.size() - 2) + std::string("\0\n", 2),
  };
  for (const std::string& bytes : cases) {
    SCOPED_TRACE(testing::PrintToString(bytes.substr(0, 40)));
    WriteBytes(file_, bytes);
    snprintf(table_.cStartPath, MAX_PATH, "keep");
    std::string err = Stderr([&] { EXPECT_EQ(1, ReadDataFile(table_)); });
    EXPECT_EQ("\n** Error: Data file is damaged: " + file_ + "\n" + Readed(0), err);
    EXPECT_TRUE(table_.records.empty());
    EXPECT_EQ(0u, table_.records.capacity());
    EXPECT_STREQ("keep", table_.cStartPath);
    bool damaged = false;
    EXPECT_EQ(2, TestFile(table_, file_.c_str(), &damaged));
    EXPECT_TRUE(damaged);
    EXPECT_STREQ("keep", table_.cStartPath);
  }
}

// A count of a hundred million in a file that holds almost nothing on disk is refused before
// anything is reserved for it.
TEST_F(DataFileTest, ASparseFileWithAHugeCount) {
  WriteBytes(file_, "VNT CRC Ver. 2.01\n/\n*.*\n100000000\n");
  std::error_code ec;
  fs::resize_file(file_, uint64_t(100000000) * (kRecordBytes + 1) + 100, ec);
  if (ec) GTEST_SKIP() << "cannot make a sparse file here: " << ec.message();
  Stderr([&] { EXPECT_EQ(1, ReadDataFile(table_)); });
  EXPECT_EQ(0u, table_.records.capacity());
  EXPECT_EQ(2, TestFile(table_, file_.c_str()));
}

// A read that fails is an error of its own, with the system's reason; never "not a data file".
TEST_F(DataFileTest, AReadErrorIsReportedAsOne) {
  if (kIsWin32) GTEST_SKIP() << "needs a file whose read fails: /proc/self/mem";
  snprintf(table_.cDataFile, MAX_PATH, "/proc/self/mem");
  std::string err = Stderr([&] { EXPECT_EQ(1, ReadDataFile(table_)); });
  EXPECT_NE(std::string::npos, err.find("\n** Error: Cannot read input file: /proc/self/mem\n"
                                        " *** Input/output error\n"))
      << err;
  bool damaged = true;
  EXPECT_EQ(1, TestFile(table_, "/proc/self/mem", &damaged));
  EXPECT_FALSE(damaged);
}

TEST_F(DataFileTest, OpenAndCreateFailures) {
  std::string err = Stderr([&] { EXPECT_EQ(1, ReadDataFile(table_)); });
  EXPECT_EQ("\n** Error: Cannot open input file: " + file_ + "\n *** No such file or directory\n",
            err);
  snprintf(table_.cDataFile, MAX_PATH, "%s", dir_.string().c_str());
  Stderr([&] { EXPECT_EQ(1, ReadDataFile(table_)); });

  // Read-only: nothing is created.
  snprintf(table_.cDataFile, MAX_PATH, "%s", file_.c_str());
  err = Stderr([&] { EXPECT_EQ(0, SaveDataFile(table_, cmRO | cmSCAN)); });
  EXPECT_EQ(Shown(" \376 Not saved changes. Read-Only mode for: " + file_ + "\n"), err);
  EXPECT_FALSE(fs::exists(file_));

  std::string nowhere = (dir_ / "no" / "data.crc").string();
  snprintf(table_.cDataFile, MAX_PATH, "%s", nowhere.c_str());
  err = Stderr([&] { EXPECT_EQ(1, SaveDataFile(table_, 0)); });
  EXPECT_EQ(
      "\n** Error: Cannot open output file: " + nowhere + "\n *** No such file or directory\n",
      err);

  // A directory where no data file was read is not taken over, nor written into.
  fs::create_directory(dir_ / "taken");
  std::string taken = (dir_ / "taken").string();
  snprintf(table_.cDataFile, MAX_PATH, "%s", taken.c_str());
  err = Stderr([&] { EXPECT_EQ(1, SaveDataFile(table_, 0)); });
  EXPECT_EQ("\n** Error: Cannot open output file: " + taken + "\n *** File exists\n", err);
  EXPECT_EQ(1, std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
  EXPECT_TRUE(fs::is_empty(dir_ / "taken"));
}

TEST_F(DataFileTest, FailedWriteKeepsTheOldFile) {
  WriteBytes(file_, kFixtureBytes);
  Stderr([&] { EXPECT_EQ(0, ReadDataFile(table_)); });
  Record r;
  r.SetLongName("a name of some thirty characters");
  table_.records.assign(50000, r);
  std::string err;
  int status = 0;
  err = Stderr([&] {
    status = RunWithFileSizeLimit(
        64 * 1024, [](void* t) { return SaveDataFile(*static_cast<Table*>(t), 0); }, &table_);
  });
  if (status == -1) GTEST_SKIP() << "no file-size limit for child processes on this platform";
  EXPECT_EQ(1, status);
  EXPECT_NE(std::string::npos,
            err.find("\n** Error: Cannot write output file: " + file_ + "\n *** File too large\n"))
      << err;
  EXPECT_EQ(kFixtureBytes, ReadBytes(file_));
  EXPECT_EQ(1, std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
}

}  // namespace
