// Text forms of time stamps and attribute bits shared by the reports.
#pragma once

#include <cstdint>

#include "platform/platform.h"

constexpr int kTimeTextSize = 32;
constexpr int kAttrTextSize = 12;

// Local time of a UTC stamp, 21 characters for years 1000 to 9999. fill != 0: zero-padded
// day and hour; 0: space-padded. out holds at least kTimeTextSize bytes.
void FormatFileTime(const FILETIME* ft, char* out, int fill);

// Eleven letters or dashes (D S H A R E C T O F P) and a NUL.
void FormatAttributes(uint32_t attr, char* out);
