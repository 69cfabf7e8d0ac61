// The one walker: the entries of a directory under a task's mask, as the tree builder takes
// them into a new table and as Scan and Compare match them against a stored one.
#pragma once

#include <cerrno>

#include "core/rules.h"
#include "core/table.h"

/// Whether a mask matches every name ("*" or "*.*"), so that no directory misses it.
bool MaskMatchesAll(const char* mask);

/// After a find call returned nothing: 0 when the directory was read to its end (nothing
/// matched, no more entries); ENOENT or ENOTDIR when it is gone; any other error number when
/// it exists but could not be read.
int FindFailure();
inline bool IsGone(int error) {
  return error == ENOENT || error == ENOTDIR;
}

/// One entry of a listed directory, its name made usable and accepted (EntryPlace).
struct FoundEntry {
  const WIN32_FIND_DATAA* fd;
  const char* path;  // the path it is opened by (EntryPlace::Path)
  bool dir;
  bool noMatch;  // a directory whose name misses the mask: kept only to reach deeper levels
  // A directory on another device than the one listed, under --one-file-system: recorded as
  // an entry but not entered, as a link is not.
  bool otherDevice;
  // A regular file known by name and kind only, when the visitor defers files: its size, times
  // and read-only bit come when its reader opens it.
  bool deferred = false;
};

/// What a listing hands on, in two runs: first every entry the mask matches, files and
/// directories, in the order the system lists them; then every subdirectory, in the order of
/// the listing of all names (under a mask that matches every name, each right after its
/// Entry), marked noMatch where the mask misses it.
class DirVisitor {
 public:
  virtual bool DefersFiles() const { return false; }
  virtual void Entry(const FoundEntry& e) = 0;
  virtual void Subdir(const FoundEntry& e) = 0;
  /// An entry the listing holds whose path passes the limit, already warned about: it exists,
  /// so what is known of it must not be taken for gone.
  virtual void Unreached(const WIN32_FIND_DATAA&) {}

 protected:
  ~DirVisitor() = default;
};

/// Lists the directory dir (its path, ending with a separator) of table t under t's mask;
/// parent is its 1-based record index, 0 for the start directory. Entries the walk leaves out
/// are skipped, each with its warning; those the rules' patterns cover, silently. Returns 0, or the
/// error number when the directory is gone or could not be read (nothing more is handed on then;
/// the caller says so).
int ListDirectory(const Table& t, unsigned parent, const char* dir, const WalkRules& rules,
                  DirVisitor& visitor);
