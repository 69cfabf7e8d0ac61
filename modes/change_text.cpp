// The change block's texts.
#include "modes/change_text.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/record.h"
#include "store/format.h"

namespace {

void ShortText(const char* s, char out[kShortNameLen + 1]) {
  memcpy(out, s, kShortNameLen);
  out[kShortNameLen] = '\0';
  EndOnCharacter(out, kShortNameLen);
  CharToOemA(out, out);
}

}  // namespace

void ShortNameChange(const char* stored, const char* now, char* out, size_t cap) {
  char a[kShortNameLen + 1], b[kShortNameLen + 1];
  ShortText(stored, a);
  ShortText(now, b);
  snprintf(out, cap, "%s -> %s", a, b);
}

void TimeChange(const FILETIME& stored, const FILETIME& now, char* out, size_t cap) {
  char a[kTimeTextSize], b[kTimeTextSize];
  FormatFileTime(&stored, a, 2);
  FormatFileTime(&now, b, 2);
  // Stamps apart by less than a second show as many digits of it as tell them apart.
  if (strcmp(a, b) == 0) {
    std::string whole = a;
    for (int digits = 1; digits <= 7; ++digits) {
      snprintf(a, sizeof a, "%s", whole.c_str());
      snprintf(b, sizeof b, "%s", whole.c_str());
      AppendSecondFraction(&stored, digits, a);
      AppendSecondFraction(&now, digits, b);
      if (strcmp(a, b) != 0) break;
    }
  }
  snprintf(out, cap, "%s  ->  %s", a, b);
}

void SizeChange(uint64_t stored, uint64_t now, char* out, size_t cap) {
  snprintf(out, cap, "%" PRId64 " (%+" PRId64 ")", static_cast<int64_t>(now),
           static_cast<int64_t>(now - stored));
}

void CrcChange(uint32_t stored, uint32_t now, char* out, size_t cap) {
  snprintf(out, cap, "%08X  ->  %08X", stored, now);
}
