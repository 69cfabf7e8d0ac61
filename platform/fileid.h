// Opening a file to compare its bytes, and knowing which file it is. Names of one file (hard
// links, or one path reached by two tasks) have the same identity: the volume and the file's
// index on it.
#pragma once

#include <cstdint>

struct FileId {
  uint64_t volume = 0;
  uint64_t index = 0;
};

inline bool operator==(const FileId& a, const FileId& b) {
  return a.volume == b.volume && a.index == b.index;
}

/// Opens the regular file at path for reading as OpenWalkedFile does (wait: for a descriptor),
/// as a C-runtime descriptor (read with _read, close with _close), and gives the identity and
/// the size of the file that was opened. -1 when it cannot be opened or is no regular file (a
/// link, a directory, a device, a pipe), with errno saying why (kErrorNotRegular for a device
/// or a pipe).
int OpenFileId(const char* path, FileId* id, uint64_t* size, bool wait = true);
