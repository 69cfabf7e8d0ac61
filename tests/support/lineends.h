// The line ends of the test programs' own output.
#pragma once

/// Standard output written with "\n" line ends on every platform. ctest reads a test program's
/// list of cases from it, and a "\r" left from Win32 text mode would name cases that do not
/// exist (and run none of them).
void UsePlainLineEnds();
