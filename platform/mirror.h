// Lines written to standard error, seen as they are written: the JSON report carries the
// warnings and errors that standard error shows, without each message knowing of it.
#pragma once

#include <cstddef>

/// From now on hook sees each line written to standard error (without its line feed), after it
/// was written there. Returns false where the system offers no way (the Win32 build).
bool MirrorStderrLines(void (*hook)(const char* line, size_t len));
