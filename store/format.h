// Text forms of time stamps and attribute bits shared by the reports.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

constexpr int kTimeTextSize = 32;
constexpr int kAttrTextSize = 12;

/// Local time of a UTC stamp, 21 characters for years 1000 to 9999. fill != 0: zero-padded
/// day and hour; 0: space-padded. out holds at least kTimeTextSize bytes.
void FormatFileTime(const FILETIME* ft, char* out, int fill);

/// Appends to text (FormatFileTime's) the fraction of a second of ft, with digits digits (1
/// to 7). out holds at least kTimeTextSize bytes.
void AppendSecondFraction(const FILETIME* ft, int digits, char* text);

/// Ends a short name of the full kShortNameLen bytes before a UTF-8 character that the cut to
/// that length split (POSIX names are UTF-8), so that the name shows as text; text is changed.
void EndOnCharacter(char* text, size_t fullLength);

/// Eleven letters or dashes (D S H A R E C T O F P) and a NUL.
void FormatAttributes(uint32_t attr, char* out);

/// "S+ H- ": for each attribute but the directory bit that differs between oldAttr and newAttr,
/// in the order above, its letter and whether newAttr has it. out holds kAttrChangeTextSize.
constexpr int kAttrChangeTextSize = 31;
void FormatAttributeChanges(uint32_t oldAttr, uint32_t newAttr, char* out);

/// A copy of text with control bytes (C0 and DEL) shown as '?': texts read from a data file
/// are printed unconverted, and must not drive the terminal.
const char* ShowPlain(const char* text, char* out, size_t cap);
