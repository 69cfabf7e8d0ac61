// Text forms of time stamps and attribute bits.
#include "store/format.h"

#include <cstdio>

namespace {

const char* const kMonths[13] = {"",    "Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Shown for a stamp that has no calendar date: as wide as a real one, plainly not one. (The
// question marks are escaped so that no compiler reads a trigraph in them.)
constexpr char kNoDate[] = "00-\?\?\?-0000  00:00:00";

struct AttrLetter {
  char letter;
  uint32_t bit;
};

// 0x40 is tested exactly: the older headers' encrypted bit, today's device bit.
constexpr AttrLetter kAttrLetters[11] = {
    {'D', 0x10},  {'S', 0x4},   {'H', 0x2},    {'A', 0x20},  {'R', 0x1},   {'E', 0x40},
    {'C', 0x800}, {'T', 0x100}, {'O', 0x1000}, {'F', 0x200}, {'P', 0x400},
};

}  // namespace

// A stamp with its top bit set is refused before the local offset is added: west of UTC the
// sum could otherwise wrap back into range and show a date in the year 30828.
void FormatFileTime(const FILETIME* ft, char* out, int fill) {
  FILETIME local;
  SYSTEMTIME st;
  if ((ft->dwHighDateTime & 0x80000000u) != 0 || !FileTimeToLocalFileTime(ft, &local) ||
      !FileTimeToSystemTime(&local, &st) || st.wMonth < 1 || st.wMonth > 12) {
    snprintf(out, kTimeTextSize, "%s", kNoDate);
    return;
  }
  // "%.4d" is the zero-flag form "%04.4d": the precision alone gives the leading zeros.
  const char* format = fill != 0 ? "%02d-%s-%.4d  %02d:%.2d:%.2d" : "%2d-%s-%.4d  %2d:%.2d:%.2d";
  snprintf(out, kTimeTextSize, format, st.wDay, kMonths[st.wMonth], st.wYear, st.wHour, st.wMinute,
           st.wSecond);
}

void FormatAttributes(uint32_t attr, char* out) {
  for (int i = 0; i < 11; ++i) out[i] = (attr & kAttrLetters[i].bit) ? kAttrLetters[i].letter : '-';
  out[11] = '\0';
}

void FormatAttributeChanges(uint32_t oldAttr, uint32_t newAttr, char* out) {
  char* p = out;
  for (const AttrLetter& a : kAttrLetters) {
    // Entries are matched as files or as directories: the directory bit never differs.
    if (a.bit == FILE_ATTRIBUTE_DIRECTORY || ((oldAttr ^ newAttr) & a.bit) == 0) continue;
    *p++ = a.letter;
    *p++ = (newAttr & a.bit) ? '+' : '-';
    *p++ = ' ';
  }
  *p = '\0';
}

const char* ShowPlain(const char* text, char* out, size_t cap) {
  size_t i = 0;
  for (; text[i] != '\0' && i + 1 < cap; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    out[i] = (c < 0x20 || c == 0x7F) ? '?' : text[i];
  }
  out[i] = '\0';
  return out;
}
