// Time stamps compared within a window.
#include "core/time_window.h"

namespace {

uint64_t Ticks(const FILETIME& t) {
  return (uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime;
}

}  // namespace

bool TimesEqual(const FILETIME& a, const FILETIME& b, uint32_t window) {
  uint64_t x = Ticks(a), y = Ticks(b);
  uint64_t apart = x > y ? x - y : y - x;
  // FILETIME counts 100-nanosecond units: 10,000,000 to the second.
  return apart <= uint64_t{window} * 10000000u;
}
