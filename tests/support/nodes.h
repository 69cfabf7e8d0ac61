// Entries that tests build hostile trees from: a FIFO, a listening-socket node and a name made
// of any bytes (POSIX only), and names or paths the ANSI functions of Win32 cannot make. Each
// returns 0 on success, 1 on failure, and -1 where this platform cannot make it.
#pragma once

#include <string>
#include <vector>

int MakeFifo(const char* path);
int MakeSocketNode(const char* path);
/// Creates a file dir/name (name taken as raw bytes, any value but NUL and the separator).
int MakeRawName(const char* dir, const std::string& name);
/// The same on the host's own file system where the Win32 build runs under Wine, through the
/// host's shell: names that Wine shows alike can be made there. One byte of contents, and one
/// write time for all (2017-07-14), so that such files differ in their contents alone.
int MakeHostRawName(const std::string& dir, const std::string& name, char contents);

// Permission bits do not bind root. Sets *prefix to the command words under which a child
// program is bound by them all the same (empty when this process is not root) and returns 0;
// -1 where permission bits cannot make an entry unreadable here or no such command exists.
int PermissionBoundPrefix(std::vector<std::string>* prefix);

// Sets *prefix to the command words under which a child program can start no thread (root's
// own limit does not bind it, so root's child runs as nobody) and returns 0; -1 where no such
// limit exists.
int ThreadlessPrefix(std::vector<std::string>* prefix);

// Creates a directory, or a file holding *contents, at an absolute path written in UTF-8,
// whatever the ANSI code page: on Windows through the wide functions, with no MAX_PATH limit.
int MakeUtf8Entry(const std::string& path, const std::string* contents);

/// Takes the locks any reader of a file can: flock's exclusive lock and a read lock of the open
/// file, on a descriptor open for reading only. The descriptor (close it to drop them), or -1.
int TakeReaderLocks(const std::string& path);

// Removes the tree at an absolute path written in UTF-8, as MakeUtf8Entry made it: on Windows
// through the wide functions, which reach names such as "CON" or "dir." and any depth.
void RemoveUtf8Tree(const std::string& path);

/// Swaps two entries of a folder in one step (renameat2 with RENAME_EXCHANGE), so that each name
/// always names one of them: 0, 1 on failure, -1 where this platform cannot.
int ExchangeEntries(const char* a, const char* b);

/// Mounts an empty file system of its own (tmpfs) on the directory at path, creating it: 0, or
/// -1 with *why saying what is missing (the right to mount, or mounts on this platform).
int MountScratchFs(const char* path, std::string* why);
void UnmountScratchFs(const char* path);
