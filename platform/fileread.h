// Reading the files the walk has just found: opened without a second look at what they are, and
// read only as far as memory holds them, so that a reader busy with the processor can hand a
// file that must come from the device to one that may wait for it.
#pragma once

/// Opens for reading a file the walk found to be a regular file, as _open does but without
/// asking again what it is: a link put in its place is not followed, and a directory or device
/// fails or ends at its first read. -1 with errno set.
int OpenWalkedFile(const char* path);

/// Like _read, but -1 with errno EAGAIN when the bytes would have to be waited for (not yet in
/// the page cache). Where the system cannot tell, it reads as _read does.
int ReadCached(int fd, void* buf, unsigned count);
