// FILETIME conversions and the C runtime's date and time texts.
#include <stdlib.h>
#include <time.h>

#include "platform/platform.h"

namespace {

constexpr uint64_t kTicksPerSecond = 10000000;

uint64_t Ticks(const FILETIME* ft) {
  return (static_cast<uint64_t>(ft->dwHighDateTime) << 32) | ft->dwLowDateTime;
}

// The UTC offset in force now, in seconds. Listings convert millions of stamps, so it is
// computed again only when the clock's second or the TZ variable has changed.
long CurrentUtcOffset() {
  static time_t cachedAt = -1;
  static const char* cachedTz = nullptr;
  static long offset = 0;
  time_t now = time(nullptr);
  const char* tz = getenv("TZ");
  if (now != cachedAt || tz != cachedTz) {
    tzset();
    struct tm local;
    offset = localtime_r(&now, &local) ? local.tm_gmtoff : 0;
    cachedAt = now;
    cachedTz = tz;
  }
  return offset;
}

// Days since 1970-01-01 to a proleptic Gregorian date (H. Hinnant's civil_from_days).
void CivilFromDays(int64_t z, int64_t* y, unsigned* m, unsigned* d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp < 10 ? mp + 3 : mp - 9;
  *y = static_cast<int64_t>(yoe) + era * 400 + (*m <= 2);
}

char* FormatNow(char* buf, const char* format) {
  time_t now = time(nullptr);
  struct tm local;
  if (!localtime_r(&now, &local) || strftime(buf, 9, format, &local) != 8) buf[0] = 0;
  return buf;
}

}  // namespace

BOOL FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local) {
  uint64_t t = Ticks(utc) + static_cast<uint64_t>(static_cast<int64_t>(CurrentUtcOffset()) *
                                                  static_cast<int64_t>(kTicksPerSecond));
  local->dwLowDateTime = static_cast<DWORD>(t);
  local->dwHighDateTime = static_cast<DWORD>(t >> 32);
  return TRUE;
}

BOOL FileTimeToSystemTime(const FILETIME* ft, SYSTEMTIME* st) {
  uint64_t t = Ticks(ft);
  if (t >> 63) return FALSE;
  constexpr int64_t kDays1601To1970 = 134774;
  uint64_t secs = t / kTicksPerSecond;
  int64_t days = static_cast<int64_t>(secs / 86400);
  unsigned rem = static_cast<unsigned>(secs % 86400);
  int64_t year;
  unsigned month, day;
  CivilFromDays(days - kDays1601To1970, &year, &month, &day);
  st->wYear = static_cast<WORD>(year);
  st->wMonth = static_cast<WORD>(month);
  st->wDayOfWeek = static_cast<WORD>((days + 1) % 7);  // 1601-01-01 was a Monday
  st->wDay = static_cast<WORD>(day);
  st->wHour = static_cast<WORD>(rem / 3600);
  st->wMinute = static_cast<WORD>(rem / 60 % 60);
  st->wSecond = static_cast<WORD>(rem % 60);
  st->wMilliseconds = static_cast<WORD>(t / 10000 % 1000);
  return TRUE;
}

char* _strdate(char* buf) {
  return FormatNow(buf, "%m/%d/%y");
}

char* _strtime(char* buf) {
  return FormatNow(buf, "%H:%M:%S");
}
