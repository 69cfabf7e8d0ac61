// Joining path text into fixed buffers, and the one warning line for an entry left unread.
#pragma once

#include <cstddef>

/// out = a followed by b; false (out untouched) when that does not fit cap bytes.
bool JoinText(char* out, size_t cap, const char* a, const char* b);

/// " *** Warning: <reason>: <dir><name>\n" on standard error, control bytes masked: an entry
/// left out (or given CRC 0) never goes unmentioned.
void WarnSkipped(int error, const char* dir, const char* name = "");
