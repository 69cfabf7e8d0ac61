// The checksum of a file as large as the walk saw it: a size and its CRC belong together.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/crc32shr.h"
#include "core/reason.h"
#include "platform/platform.h"
#include "tests/support/scratch.h"

namespace {

TEST(CrcOfSize, ReadsExactlyTheSizeSeenAndRefusesAFileThatShrank) {
  ASSERT_EQ(0, InitMagic());
  ScratchDir dir;
  dir.File("f", "123456789");
  std::string path = dir.Path("f");
  uint32_t whole = 0, same = 0, prefix = 0, shrunk = 1;
  EXPECT_EQ(0, CRCFile(path.c_str(), &whole));
  EXPECT_EQ(0xCBF43926u, whole);  // the check value of CRC-32
  EXPECT_EQ(0, CRCFileOfSize(path.c_str(), 9, FILE_ATTRIBUTE_ARCHIVE, &same));
  EXPECT_EQ(whole, same);
  // Grown since the walk saw 4 bytes: the checksum of those 4 (that of "1234").
  EXPECT_EQ(0, CRCFileOfSize(path.c_str(), 4, FILE_ATTRIBUTE_ARCHIVE, &prefix));
  EXPECT_EQ(0x9BE3E0A3u, prefix);
  // Shrunk below the 20 bytes seen: unknown, 0, and the call says so (not as an I/O error).
  EXPECT_EQ(kReasonShrank, CRCFileOfSize(path.c_str(), 20, FILE_ATTRIBUTE_ARCHIVE, &shrunk));
  EXPECT_EQ(0u, shrunk);
  // What the walk saw as a link or a directory is never opened.
  uint32_t link = 1;
  EXPECT_EQ(0, CRCFileOfSize(path.c_str(), 9, FILE_ATTRIBUTE_REPARSE_POINT, &link));
  EXPECT_EQ(0u, link);
}

TEST(CrcOfSize, AWildcardInANameIsTakenLiterally) {
  if (kIsWin32) GTEST_SKIP() << "Windows names cannot hold '*'";
  ASSERT_EQ(0, InitMagic());
  ScratchDir dir;
  dir.File("a", "abc");
  dir.File("a*", "123456789");
  uint32_t crc = 0;
  EXPECT_EQ(0, CRCFileOfSize(dir.Path("a*").c_str(), 9, FILE_ATTRIBUTE_ARCHIVE, &crc));
  EXPECT_EQ(0xCBF43926u, crc);
}

}  // namespace
