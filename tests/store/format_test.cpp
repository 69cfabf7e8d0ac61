// Time stamps and attribute letters as the reports print them.
#include "store/format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

constexpr uint64_t kTicksPerSecond = 10000000;
constexpr uint64_t kUnixEpoch = 11644473600;  // seconds from 1601 to 1970

// The stamp that shows as the given UTC wall time in this zone: the conversion adds the offset
// in force now, the same for every stamp, so the test holds in any zone on either build.
FILETIME LocalStamp(uint64_t unixSeconds) {
  FILETIME probe = {0, 0x01C00000}, local;
  EXPECT_TRUE(FileTimeToLocalFileTime(&probe, &local));
  auto ticks = [](const FILETIME& f) { return uint64_t(f.dwHighDateTime) << 32 | f.dwLowDateTime; };
  uint64_t t = (unixSeconds + kUnixEpoch) * kTicksPerSecond - (ticks(local) - ticks(probe));
  return FILETIME{static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)};
}

std::string Format(const FILETIME& ft, int fill) {
  char out[kTimeTextSize];
  FormatFileTime(&ft, out, fill);
  return out;
}

TEST(FormatFileTimeTest, BothFillForms) {
  FILETIME morning = LocalStamp(983783223);  // 5 March 2001 09:07:03
  EXPECT_EQ("05-Mar-2001  09:07:03", Format(morning, 2));
  EXPECT_EQ(" 5-Mar-2001   9:07:03", Format(morning, 0));
  FILETIME midnight = LocalStamp(983750400);
  EXPECT_EQ("05-Mar-2001  00:00:00", Format(midnight, 1));
  EXPECT_EQ(" 5-Mar-2001   0:00:00", Format(midnight, 0));
  EXPECT_EQ("31-Dec-9999  23:59:59", Format(LocalStamp(253402300799), 2));
  EXPECT_EQ(" 1-Jan-10000   0:00:00", Format(LocalStamp(253402300800), 0));  // "%.4d": no cut
}

TEST(FormatFileTimeTest, StampsWithoutADateStayWellFormed) {
  const FILETIME stamps[] = {{0, 0x80000000u}, {0xFFFFFFFFu, 0xFFFFFFFFu}, {0, 0}};
  for (const FILETIME& ft : stamps) {
    for (int fill : {0, 2}) {
      std::string text = Format(ft, fill);
      EXPECT_EQ(21u, text.size()) << text;
      EXPECT_EQ("  ", text.substr(11, 2)) << text;
    }
  }
  EXPECT_EQ("00-\?\?\?-0000  00:00:00", Format(FILETIME{0, 0x80000000u}, 2));
}

TEST(FormatAttributesTest, LettersInOrder) {
  char out[kAttrTextSize];
  auto text = [&](uint32_t attr) {
    memset(out, 'x', sizeof out);
    FormatAttributes(attr, out);
    return std::string(out);
  };
  EXPECT_EQ("D--A-------", text(0x30));
  EXPECT_EQ("-----------", text(0));
  EXPECT_EQ("-SH-R------", text(0x7));
  EXPECT_EQ("DSHARECTOFP", text(0xFFFFFFFF));
  EXPECT_EQ("-----------", text(0x80000000u | 0x80 | 0x2000 | 0x4000));
  EXPECT_EQ("-----E----P", text(0x440));
}

}  // namespace
