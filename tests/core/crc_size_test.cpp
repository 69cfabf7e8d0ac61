// The checksum of a file as large as the walk saw it: a size and its CRC belong together.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/crc32shr.h"
#include "platform/platform.h"

namespace {

TEST(CrcOfSize, ReadsExactlyTheSizeSeenAndRefusesAFileThatShrank) {
  ASSERT_EQ(0, InitMagic());
  std::string path =
      (std::filesystem::temp_directory_path() / ("vantel32-crcsize-" + std::to_string(_getpid())))
          .string();
  std::ofstream(path, std::ios::binary) << "123456789";
  uint32_t whole = 0, same = 0, prefix = 0, shrunk = 1;
  EXPECT_EQ(0, CRCFile(path.c_str(), &whole));
  EXPECT_EQ(0xCBF43926u, whole);  // the check value of CRC-32
  EXPECT_EQ(0, CRCFileOfSize(path.c_str(), 9, FILE_ATTRIBUTE_ARCHIVE, &same));
  EXPECT_EQ(whole, same);
  // Grown since the walk saw 4 bytes: the checksum of those 4 (that of "1234").
  EXPECT_EQ(0, CRCFileOfSize(path.c_str(), 4, FILE_ATTRIBUTE_ARCHIVE, &prefix));
  EXPECT_EQ(0x9BE3E0A3u, prefix);
  // Shrunk below the 20 bytes seen: unknown, 0, and the call says it failed.
  EXPECT_NE(0, CRCFileOfSize(path.c_str(), 20, FILE_ATTRIBUTE_ARCHIVE, &shrunk));
  EXPECT_EQ(0u, shrunk);
  // What the walk saw as a link or a directory is never opened.
  uint32_t link = 1;
  EXPECT_EQ(0, CRCFileOfSize(path.c_str(), 9, FILE_ATTRIBUTE_REPARSE_POINT, &link));
  EXPECT_EQ(0u, link);
  std::remove(path.c_str());
}

TEST(CrcOfSize, AWildcardInANameIsTakenLiterally) {
  if (kIsWin32) GTEST_SKIP() << "Windows names cannot hold '*'";
  ASSERT_EQ(0, InitMagic());
  auto dir =
      std::filesystem::temp_directory_path() / ("vantel32-star-" + std::to_string(_getpid()));
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "a", std::ios::binary) << "abc";
  std::ofstream(dir / "a*", std::ios::binary) << "123456789";
  uint32_t crc = 0;
  EXPECT_EQ(0, CRCFileOfSize((dir / "a*").string().c_str(), 9, FILE_ATTRIBUTE_ARCHIVE, &crc));
  EXPECT_EQ(0xCBF43926u, crc);
  std::filesystem::remove_all(dir);
}

}  // namespace
