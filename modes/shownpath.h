// A record's path as the reports show it.
#pragma once

#include "core/table.h"

/// The start path followed by record idx's long relative path, in the console's code page,
/// into out (2*MAX_PATH bytes); idx < 0 gives the start path alone, and so does a path too
/// long for any buffer. Returns out.
const char* ShownPath(const Table& t, long idx, char* out);
