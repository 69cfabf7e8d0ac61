// What replacing a data file needs beyond the Win32 names: which file a name stands for, the
// file a link stands for, a temporary file that nothing else could have made, the permissions
// and owner of the file being replaced, and a lock against a second Scan of one catalogue.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/fileid.h"

/// One entry of the file system: the file it is (as the duplicate finder knows files), and
/// whether the entry is a symbolic link (or, on Win32, a reparse point).
struct EntryId {
  FileId file;
  bool link = false;
};

/// The entry `path` names; with follow, what a link there leads to. False when there is none.
bool GetEntryId(const char* path, bool follow, EntryId* id);
/// The file open as fd.
bool GetOpenEntryId(int fd, EntryId* id);

/// The path that a save of `name` should replace: the final target when `name` is a symbolic
/// link (so the link stays a link), else `name` itself. False when it does not fit `cap`.
bool ResolveSaveTarget(const char* name, char* out, size_t cap);

/// Creates a new file beside `target` (in its directory, for the rename) under a short name
/// that cannot be guessed, exclusively (it never follows or takes over an existing entry) and
/// readable by its owner only; its path goes to tmp. Until ForgetTemporary, SIGINT, SIGTERM
/// and SIGHUP (on Win32 the console's Ctrl-C, Ctrl-Break and close events) remove it before
/// they end the process. Returns the descriptor, or -1 with errno.
int CreateTemporary(const char* target, char* tmp, size_t cap);
/// CreateTemporary's names: ".vnt-", kTempLetters lower-case letters and digits, ".tmp".
/// Short, so that any name a catalogue may have can be saved; random, so that no other user
/// can know one beforehand (36^10 names: planting them all is out of reach).
constexpr char kTempPrefix[] = ".vnt-";
constexpr char kTempSuffix[] = ".tmp";
constexpr char kTempChars[] = "0123456789abcdefghijklmnopqrstuvwxyz";
constexpr int kTempLetters = 10;
constexpr int kTempAttempts = 100;
constexpr size_t kTempPrefixLen = sizeof kTempPrefix - 1;
/// The path of a temporary file beside target (in the directory its last separator among
/// `separators` ends), named from kTempLetters random bytes. Its length, as snprintf's.
inline int ComposeTemporaryPath(const char* target, const char* separators,
                                const unsigned char* random, char* tmp, size_t cap) {
  int dirLen = 0;
  for (int i = 0; target[i] != '\0'; ++i)
    if (strchr(separators, target[i]) != nullptr) dirLen = i + 1;
  char letters[kTempLetters + 1];
  for (int i = 0; i < kTempLetters; ++i)
    letters[i] = kTempChars[random[i] % (sizeof kTempChars - 1)];
  letters[kTempLetters] = '\0';
  return snprintf(tmp, cap, "%.*s%s%s%s", dirLen, target, kTempPrefix, letters, kTempSuffix);
}
/// Whether `name` has the form of CreateTemporary's names. One left by a save that was killed
/// is no entry of the tree.
inline bool IsTemporaryName(const char* name) {
  if (strncmp(name, kTempPrefix, kTempPrefixLen) != 0) return false;
  for (size_t i = kTempPrefixLen; i < kTempPrefixLen + kTempLetters; ++i)
    if (name[i] == '\0' || strchr(kTempChars, name[i]) == nullptr) return false;
  return strcmp(name + kTempPrefixLen + kTempLetters, kTempSuffix) == 0;
}
/// The temporary file was renamed or removed: no signal removes it any more.
void ForgetTemporary();

/// Gives the open file `fd` the permission bits of `existing`, and its owner and group where
/// this process may set them; without `existing`, the bits a plain create would give (0666
/// less the umask). False with errno when the system refuses a change it should allow.
bool KeepFileMode(const char* existing, int fd);

/// Locks the file `name` stands for until the process ends (the system drops the lock of a
/// process that dies). 0: locked, or no such file yet; 1: another Scan holds the lock. Only a
/// process that may write the file can hold it: a reader cannot keep its owner's Scans out.
int LockDataFile(const char* name);
/// Drops every lock LockDataFile took.
void ReleaseDataFileLocks();
