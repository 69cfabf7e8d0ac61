// Entries that only POSIX file systems have, so that tests can build hostile trees: a FIFO, a
// listening-socket node, and a name made of any bytes. Each returns 0 on success, 1 on failure,
// and -1 where this platform cannot make it.
#pragma once

#include <string>

int MakeFifo(const char* path);
int MakeSocketNode(const char* path);
// Creates a file dir/name (name taken as raw bytes, any value but NUL and the separator).
int MakeRawName(const char* dir, const std::string& name);
