// Lines that a carriage return rewrites must fit the console: one that wraps leaves its first
// part behind, and the console fills with stale half-lines.
#pragma once

#include <string>

/// Text as a console `columns` wide shows it without wrapping: every part that a carriage return
/// or a line feed ends is cut to columns - 1 (the last column wraps on some consoles). utf8: the
/// console shows UTF-8, so a sequence is one character and never cut, and one of three or four
/// bytes counts two columns, as it may be wide; otherwise a byte is a column.
std::string FitToConsole(const std::string& text, int columns, bool utf8);

/// The checksum pass's progress line without its carriage return, columns - 1 wide: the path,
/// cut in the middle when it is too long ("..."), and the files done of the total.
std::string ChecksumProgressText(const std::string& path, unsigned done, unsigned total,
                                 int columns, bool utf8);
