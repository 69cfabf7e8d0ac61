// Reading the files the walk has just found: opened without a second look at what they are, and
// read only as far as memory holds them, so that a reader busy with the processor can hand a
// file that must come from the device to one that may wait for it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

/// The start paths of one run's walks: each path itself is taken as the user gave it, but
/// nothing below it is reached through a link. On POSIX every directory below one is opened
/// relative to its parent's descriptor (O_NOFOLLOW | O_DIRECTORY) and every file beneath its
/// directory's descriptor without following links, so that a tree swapped under a running walk
/// never leads it outside the tree. Paths below no start path are taken as given.
/// The lookups by path heed the start paths of the WalkRoots that exist; a run makes its own,
/// and what it trusted ends with it, so that the next run in the process trusts only its own.
class WalkRoots {
 public:
  WalkRoots();
  ~WalkRoots();
  WalkRoots(const WalkRoots&) = delete;
  WalkRoots& operator=(const WalkRoots&) = delete;

  /// Marks path as the start path of a walk.
  void Trust(const char* path);

 private:
  std::vector<std::string> roots_;  // without a trailing separator ("/" stays "/")
  std::string last_;                // the path last trusted, as given
};

/// The one open of every reader of walked files (checksums, first bytes, confirmations): for
/// reading, a file the walk found to be a regular file, without asking again what it is: a link
/// put in its place (or in place of a directory above it, below the start path) is not followed,
/// and a directory or device fails or ends at its first read. Short of descriptors (the
/// program's own limit), it waits for another thread to close one and tries again, unless
/// `wait` is false (the caller holds files itself and gives them up first); it gives up only
/// when no open of the process has succeeded for seconds. -1 with errno set.
int OpenWalkedFile(const char* path, bool wait = true);

/// OpenWalkedFile, but -1 with errno EAGAIN when the file's name (and so its inode) would have
/// to be read from the device first. Where the system cannot tell, it opens as OpenWalkedFile.
int OpenWalkedFileCached(const char* path, bool wait = true);

/// Like _read, but -1 with errno EAGAIN when the bytes would have to be waited for (not yet in
/// the page cache). Where the system cannot tell, it reads as _read does.
int ReadCached(int fd, void* buf, unsigned count);

/// The find data of an entry that a walk left to its reader (below).
struct FileFacts {
  bool found = false;  // false: gone, or it could not be examined at all
  DWORD attributes = 0;
  FILETIME creation = {0, 0};
  FILETIME lastAccess = {0, 0};
  FILETIME lastWrite = {0, 0};
  uint64_t size = 0;

  void Take(const WIN32_FIND_DATAA& fd) {
    found = true;
    attributes = fd.dwFileAttributes;
    creation = fd.ftCreationTime;
    lastAccess = fd.ftLastAccessTime;
    lastWrite = fd.ftLastWriteTime;
    size = (uint64_t{fd.nFileSizeHigh} << 32) | fd.nFileSizeLow;
  }
};

/// FindFirstFileA and FindNextFileA for a walk that reads every file it finds: an entry that
/// the directory lists as a regular file may come back deferred, with its name and kind only
/// (no size, times or read-only bit), so that the one lookup of the file is its reader's open.
/// Windows lists all of it at once and never defers.
HANDLE FindFirstFileDeferringA(const char* pattern, WIN32_FIND_DATAA* data, bool* deferred);
BOOL FindNextFileDeferringA(HANDLE find, WIN32_FIND_DATAA* data, bool* deferred);

/// Whether the directory the find handle last returned lies on another device than the directory
/// searched (a mount point beneath it). POSIX takes both from the listing's own status of them,
/// so no path is looked up again; false when it cannot tell.
bool FoundOnOtherDevice(HANDLE find);

/// Error numbers of the program's own, beyond the system's, that the find functions and the
/// opens of walked files give (GetLastError through ErrnoOfFindError, or errno). They fit in
/// 16 bits, as every reason a file's state keeps must.
/// An entry that is no regular file (a FIFO, a device, a socket): never read, as its reading
/// could wait forever or take what is no file's contents.
constexpr int kErrorNotRegular = 0xFF02;
/// A directory that is no longer the one its parent's listing found: swapped for another since.
constexpr int kErrorChanged = 0xFF03;

/// Opens a deferred file as OpenWalkedFile does (cachedOnly: OpenWalkedFileCached) and learns
/// its find data from the open file, or by its name when it cannot be opened. Returns the
/// descriptor of the regular file, or -1: facts->found false when it is gone (errno ENOENT),
/// could not be looked at, or (cachedOnly, errno EAGAIN) was not looked at for it would wait;
/// otherwise the facts say what it is now (another kind has nothing to read) and errno why it
/// was not opened (0: it was, but is no regular file now).
int OpenDeferredFile(const char* path, FileFacts* facts, bool cachedOnly);
