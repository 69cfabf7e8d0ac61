// Which entries a walk takes, under which name, and the path the system is given for each.
#pragma once

#include <cstddef>

#include "core/leftout.h"
#include "core/table.h"

/// Makes the name of a found entry one the system takes back: a name that cannot reach the
/// entry (NameLoss) becomes the entry's 8.3 alias. False, with the name untouched, when it has
/// none.
bool SpellName(WIN32_FIND_DATAA* fd);

/// Whether the entry is taken under its 8.3 alias, its own name lost (SpellName). Such an alias
/// may later be another file's: a deleted file's freed alias, or under Wine the one alias that
/// names differing only in case share.
bool TakenUnderAlias(const WIN32_FIND_DATAA& fd);

/// Bytes that must fit behind an entry's path within MAX_PATH: none for a file; for a directory
/// its separator and, where the pattern counts toward the limit, the search pattern.
size_t PathRoom(const Table& t, bool dir);

/// The entries of one directory of a walk: which of them may enter the table and the path each
/// is opened by. dir is the path the directory was enumerated with (ending with a separator);
/// parent its 1-based record index in t, 0 for the start directory.
class EntryPlace {
 public:
  /// leftOut: entries skipped without a word (Scan's own data files), when not null.
  EntryPlace(const Table& t, unsigned parent, const char* dir, const LeftOut* leftOut = nullptr);

  /// Whether the entry may enter the table, its name made usable (SpellName). Skipped, each
  /// with one warning: a name without a usable form, a name with a line break (the data file
  /// holds one name per line), an entry whose path passes the limit even in 8.3 form. path
  /// (2*MAX_PATH bytes) receives the path of an accepted entry, as Path gives it.
  bool Accept(WIN32_FIND_DATAA* fd, char* path);
  /// The path of an accepted entry, into out (2*MAX_PATH bytes): behind dir, or behind the
  /// directory's 8.3 path when that is what fits.
  bool Path(const WIN32_FIND_DATAA& fd, char* out);
  /// Whether the entry Accept refused last was refused for its path alone: it is there, but
  /// past the limit.
  bool TooLong() const { return tooLong_; }

 private:
  const char* ShortDir();

  const Table& t_;
  unsigned parent_;
  const char* dir_;
  const LeftOut* leftOut_;
  bool shortReady_ = false;
  bool tooLong_ = false;
  char shortDir_[2 * MAX_PATH];
};

/// Puts the path of record idx behind the first base bytes of path (a buffer of 2*MAX_PATH
/// that starts with the start path): the long path while it fits MAX_PATH, else the 8.3 path
/// where aliases resolve; a directory gets its separator. False when no form fits: the entry
/// is then skipped (the walk has already warned about it).
bool ComposeDirPath(const Table& t, unsigned idx, char* path, size_t base);
bool ComposeFilePath(const Table& t, unsigned idx, char* path, size_t base);
