// Text forms of time stamps and attribute bits.
#include "store/format.h"

#include <cstdio>
#include <cstring>

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

// A value below 100 in two places, a lone digit after pad.
char* TwoDigits(unsigned v, char pad, char* p) {
  *p++ = v < 10 ? pad : static_cast<char>('0' + v / 10 % 10);
  *p++ = static_cast<char>('0' + v % 10);
  return p;
}

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
  // As "%2d-%s-%.4d  %2d:%.2d:%.2d" (fill: "%02d" for day and hour) would print it, without a
  // format to parse for each of a listing's rows.
  char pad = fill != 0 ? '0' : ' ';
  char* p = out;
  p = TwoDigits(st.wDay, pad, p);
  *p++ = '-';
  for (const char* m = kMonths[st.wMonth]; *m;) *p++ = *m++;
  *p++ = '-';
  char year[8];
  int n = 0;
  for (unsigned y = st.wYear; y != 0 || n < 4; y /= 10) year[n++] = static_cast<char>('0' + y % 10);
  while (n > 0) *p++ = year[--n];
  *p++ = ' ';
  *p++ = ' ';
  p = TwoDigits(st.wHour, pad, p);
  *p++ = ':';
  p = TwoDigits(st.wMinute, '0', p);
  *p++ = ':';
  p = TwoDigits(st.wSecond, '0', p);
  *p = '\0';
}

void AppendSecondFraction(const FILETIME* ft, int digits, char* text) {
  uint64_t ticks = (static_cast<uint64_t>(ft->dwHighDateTime) << 32) | ft->dwLowDateTime;
  char fraction[8];
  unsigned rest = static_cast<unsigned>(ticks % 10000000u);
  for (int i = 6; i >= 0; --i, rest /= 10) fraction[i] = static_cast<char>('0' + rest % 10);
  size_t len = strlen(text);
  if (len + 1 + static_cast<size_t>(digits) >= kTimeTextSize) return;
  text[len] = '.';
  memcpy(text + len + 1, fraction, static_cast<size_t>(digits));
  text[len + 1 + static_cast<size_t>(digits)] = '\0';
}

void EndOnCharacter(char* text, size_t fullLength) {
  size_t len = strlen(text);
  if (kIsWin32 || len < fullLength) return;
  // Back over continuation bytes to the lead byte of the last character; drop it when the
  // bytes after it are fewer than it announces.
  size_t lead = len;
  while (lead > 0 && lead > len - 4 && (static_cast<unsigned char>(text[lead - 1]) & 0xC0) == 0x80)
    --lead;
  if (lead == 0) return;
  unsigned char c = static_cast<unsigned char>(text[lead - 1]);
  size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
  if (c >= 0xC0 && len - (lead - 1) < need) text[lead - 1] = '\0';
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
