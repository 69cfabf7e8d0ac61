// Opening a file that is to be read, on POSIX: only a regular file is taken.
#pragma once

#include <sys/stat.h>

/// openat(dir, name, flags) with O_CLOEXEC and O_NONBLOCK added, kept only when the entry
/// opened is a regular file; *st is its status. O_NONBLOCK keeps the open of a FIFO that
/// replaced the file from waiting for a writer; it has no effect on a regular file and stays
/// set. -1 with errno set; EACCES for a directory, as Windows refuses one, and kErrorNotRegular
/// (platform/fileread.h) for a FIFO, socket or device.
int OpenRegularAt(int dir, const char* name, int flags, struct stat* st);
