// Whose a catalogue is: an entry another user may have planted in a directory everyone writes,
// and what a save carries over beyond mode and owner (extended attributes, ACLs included).
#pragma once

/// Whether `name`, or the file it leads to when it is a symbolic link, is owned by neither this
/// process's user nor root and lies in a directory that everyone may write (such as /tmp):
/// whoever planted it there may read and change it, so it is no catalogue of ours.
bool IsPlantedInSharedDir(const char* name);

/// Whether `name` is a regular file of this process's user that only its owner may use (mode
/// 0600), as a save makes its temporary file. Where no POSIX owner and mode are kept (Win32),
/// any entry passes and its contents decide.
bool IsOwnPrivateFile(const char* name);

/// What a save could not carry over from the file it replaces.
struct CarriedOver {
  int attrError = 0;        // extended attributes not copied: why (access left to the owner)
  bool otherLinks = false;  // the old file has other names, which keep its old contents
};

/// Gives the open file `fd` the extended attributes of `existing` (its POSIX ACL included),
/// after KeepFileMode. Where they cannot be copied, fd keeps no group or other access.
CarriedOver KeepExtendedAttributes(const char* existing, int fd);
