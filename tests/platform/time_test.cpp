// FILETIME conversions and the date and time texts.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/platform.h"

namespace {

FILETIME Ft(uint64_t ticks) {
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

uint64_t Ticks(const FILETIME& ft) {
  return (uint64_t{ft.dwHighDateTime} << 32) | ft.dwLowDateTime;
}

std::string Text(const SYSTEMTIME& st) {
  char buf[64];
  snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u.%03u w%u", st.wYear, st.wMonth, st.wDay,
           st.wHour, st.wMinute, st.wSecond, st.wMilliseconds, st.wDayOfWeek);
  return buf;
}

std::string SystemTime(uint64_t ticks) {
  FILETIME ft = Ft(ticks);
  SYSTEMTIME st;
  return FileTimeToSystemTime(&ft, &st) ? Text(st) : "failed";
}

TEST(FileTimeToSystemTime, ConvertsKnownInstants) {
  EXPECT_EQ(SystemTime(0), "1601-01-01 00:00:00.000 w1");
  EXPECT_EQ(SystemTime(94405824000000000), "1900-03-01 00:00:00.000 w4");
  EXPECT_EQ(SystemTime(116444736000000000), "1970-01-01 00:00:00.000 w4");
  EXPECT_EQ(SystemTime(125963012967890000 + 9999), "2000-02-29 12:34:56.789 w2");
  EXPECT_EQ(SystemTime(133801631999990000), "2024-12-31 23:59:59.999 w2");
  EXPECT_EQ(SystemTime(0x7FFFFFFFFFFFFFFF).substr(0, 24), "30828-09-14 02:48:05.477");
}

TEST(FileTimeToSystemTime, FailsWithTheTopBitSet) {
  EXPECT_EQ(SystemTime(0x8000000000000000), "failed");
  EXPECT_EQ(SystemTime(~uint64_t{0}), "failed");
}

TEST(FileTimeToLocalFileTime, AddsTheCurrentOffsetOfTZ) {
  if (kIsWin32) GTEST_SKIP() << "Windows takes the offset from the system zone, not from TZ";
  const char* old = std::getenv("TZ");
  static std::string saved;
  saved = old ? std::string("TZ=") + old : "TZ";  // "TZ" alone unsets it again
  static char india[] = "TZ=IST-5:30";
  static char utc[] = "TZ=UTC0";
  FILETIME utcTime = Ft(133801631999990000), local;

  putenv(india);
  ASSERT_TRUE(FileTimeToLocalFileTime(&utcTime, &local));
  EXPECT_EQ(Ticks(local) - Ticks(utcTime), 198000000000u);  // 5.5 hours
  putenv(utc);
  ASSERT_TRUE(FileTimeToLocalFileTime(&utcTime, &local));
  EXPECT_EQ(Ticks(local), Ticks(utcTime));
  putenv(&saved[0]);
}

TEST(DateAndTimeTexts, HaveTheirFixedShapes) {
  char date[9], time[9];
  std::string d = _strdate(date), t = _strtime(time);
  ASSERT_EQ(d.size(), 8u);
  ASSERT_EQ(t.size(), 8u);
  for (int i : {0, 1, 3, 4, 6, 7}) {
    EXPECT_TRUE(isdigit(static_cast<unsigned char>(d[i]))) << d;
    EXPECT_TRUE(isdigit(static_cast<unsigned char>(t[i]))) << t;
  }
  EXPECT_EQ(d[2], '/');
  EXPECT_EQ(d[5], '/');
  EXPECT_EQ(t[2], ':');
  EXPECT_EQ(t[5], ':');
}

}  // namespace
