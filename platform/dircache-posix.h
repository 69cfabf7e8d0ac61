// Lookups of many files in one directory, relative to that directory: a full path is walked
// component by component on every call, and the checksum pass makes three calls per file.
#pragma once

// The descriptor of the directory that holds the absolute `path`, with *name set to the last
// component, for the *at calls. AT_FDCWD with *name = path when the path is relative, ends
// with '/' or its directory cannot be opened: the caller then works on the path as given.
// A directory stays cached for a tenth of a second at most, so a directory renamed or
// replaced meanwhile is seen as soon as a path lookup made a moment later would see it.
int CachedParentDir(const char* path, const char** name);

// Drops the cached directory: a new enumeration starts a new look at the tree.
void ForgetCachedParentDir();
