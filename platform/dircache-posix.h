// Reaching the entries of a walked tree by descriptor: below a walk's start path no link is
// followed, and a directory is opened relative to its parent's descriptor, so that a tree's
// owner who swaps a folder for a link while the walk runs never leads it outside the tree.
#pragma once

#include <errno.h>

/// The descriptor of the directory that holds `path`, with *name set to the last component, for
/// the *at calls. Below a start path the directory is reached without following links: from the
/// descriptor of its own parent when that was the last one looked up, else from the start
/// path's descriptor. AT_FDCWD with *name = path when the path ends with '/' or lies below no
/// start path and its directory cannot be opened. -1 (errno set) when a directory below a
/// start path cannot be reached: it is gone, not a directory now, or a link now.
/// A directory stays cached for a tenth of a second at most; each thread has its own.
int CachedParentDir(const char* path, const char** name);

/// Drops the cached directory: a new enumeration starts a new look at the tree.
void ForgetCachedParentDir();

/// Opens the directory at `path` for listing, as CachedParentDir reaches directories: relative
/// to its parent's descriptor, never through a link below a start path. -1 with errno.
int OpenListedDir(const char* path);

/// Opens the entry `name` of the directory dir without following a link: openat2 with
/// RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS where the kernel has it (cachedOnly adds
/// RESOLVE_CACHED: EAGAIN when the name would have to come from the device), O_NOFOLLOW
/// otherwise (cachedOnly then opens as without it). O_CLOEXEC is added. -1 with errno.
int OpenEntryAt(int dir, const char* name, int flags, bool cachedOnly);

/// The one descriptor policy of the program's opens: open() (an int, negative with errno set) is
/// tried; short of descriptors (EMFILE, ENFILE: the program's own limit) the thread's cached
/// directories are given up and, when `wait`, it waits for another thread to close a descriptor
/// and tries again, giving up only when no open of the process has succeeded for seconds (the
/// limit is too low for the program itself: the entry is then warned about, not waited on for
/// ever). wait false: the caller holds descriptors itself and gives them up first.
int OpenWaitingForDescriptor(int (*open)(void*), void* arg, bool wait);
/// Tells the policy that a descriptor was given back: waiting opens are making progress.
void NoteDescriptorClosed();
template <typename Open>
int OpenWaitingForDescriptor(Open open, bool wait) {
  return OpenWaitingForDescriptor([](void* f) { return (*static_cast<Open*>(f))(); }, &open, wait);
}

/// Runs lookup(dir, name) (an int, negative on failure with errno set) in the directory that
/// holds path, as CachedParentDir reaches it. When it fails for a name or directory that is
/// gone, or for lack of descriptors, the cached directories are dropped and it runs once more
/// afresh: the directory may have been replaced since it was cached, or its descriptor be the
/// one that was missing.
template <typename Lookup>
int AtParent(const char* path, Lookup lookup) {
  for (int attempt = 0;; ++attempt) {
    const char* name;
    int dir = CachedParentDir(path, &name);
    int result = dir == -1 ? -1 : lookup(dir, name);
    int error = errno;
    bool again = error == ENOENT || error == ENOTDIR || error == EMFILE || error == ENFILE;
    if (result >= 0 || attempt > 0 || !again) return result;
    ForgetCachedParentDir();
    errno = error;
  }
}
