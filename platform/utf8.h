// Names as UTF-8 text for reports that must be UTF-8 (the JSON report).
#pragma once

#include <cstddef>
#include <string>

/// A name or path of the program's ANSI text as UTF-8. POSIX names are bytes, already UTF-8 by
/// convention: they come back as they are. Win32: converted from the ANSI code page.
std::string AnsiToUtf8(const char* text, size_t len);
