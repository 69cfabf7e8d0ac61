// Entries that only POSIX file systems have, so that tests can build hostile trees: a FIFO, a
// listening-socket node, and a name made of any bytes. Each returns 0 on success, 1 on failure,
// and -1 where this platform cannot make it.
#pragma once

#include <string>
#include <vector>

int MakeFifo(const char* path);
int MakeSocketNode(const char* path);
/// Creates a file dir/name (name taken as raw bytes, any value but NUL and the separator).
int MakeRawName(const char* dir, const std::string& name);

// Permission bits do not bind root. Sets *prefix to the command words under which a child
// program is bound by them all the same (empty when this process is not root) and returns 0;
// -1 where permission bits cannot make an entry unreadable here or no such command exists.
int PermissionBoundPrefix(std::vector<std::string>* prefix);
