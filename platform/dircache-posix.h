// Lookups of many files in one directory, relative to that directory: a full path is walked
// component by component on every call, and the checksum pass makes three calls per file.
#pragma once

/// The descriptor of the directory that holds the absolute `path`, with *name set to the last
/// component, for the *at calls. AT_FDCWD with *name = path when the path is relative, ends
/// with '/' or its directory cannot be opened: the caller then works on the path as given.
/// A directory stays cached for a tenth of a second at most: a directory renamed away and
/// replaced within that time may still be read as the one it replaced (as a walk that had just
/// listed it would have read it); one removed is caught by StaleCachedParentDir.
/// Each thread has a cache of its own.
int CachedParentDir(const char* path, const char** name);

/// After a lookup through the cached directory failed with ENOENT or ENOTDIR: drops the cache
/// and says whether the lookup is worth repeating by path (the directory may have been
/// replaced). errno is kept.
bool StaleCachedParentDir();

/// Drops the cached directory: a new enumeration starts a new look at the tree.
void ForgetCachedParentDir();
