// Looking up one entry by its exact name.
#pragma once

#include "platform/platform.h"

/// FindFirstFileA for one entry named literally. A POSIX name may hold '*' or '?', and the
/// lookup then lists siblings: only the entry of exactly that name is returned.
HANDLE FindExactFileA(const char* path, WIN32_FIND_DATAA* fd);
