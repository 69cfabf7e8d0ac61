// Helpers shared by the tree walk and by Scan and Compare, which walk live trees too.
#pragma once

#include <cerrno>
#include <cstddef>

#include "core/table.h"

/// out = a followed by b; false (out untouched) when that does not fit cap bytes.
bool JoinText(char* out, size_t cap, const char* a, const char* b);

/// Whether a mask matches every name ("*" or "*.*"), so that no directory misses it.
bool MaskMatchesAll(const char* mask);

/// Leaves the entry `path` names (and, for a link, the file it leads to) out of every later
/// walk of this run: Scan's own data file, which its save changes, so a catalogue kept inside
/// the tree it describes does not report itself changed on every run.
void LeaveOutOfWalks(const char* path);
bool IsLeftOut(const char* dir, const char* name);

/// Whether an entry found in dir may enter a table: names with a line break are refused (the
/// data file holds one name per line), and so are paths over the limit; each with a warning.
bool AcceptEntry(const char* dir, const char* name);

/// After a find call returned nothing: 0 when the directory was read to its end (nothing
/// matched, no more entries); ENOENT or ENOTDIR when it is gone; any other error number when
/// it exists but could not be read.
int FindFailure();
inline bool IsGone(int error) {
  return error == ENOENT || error == ENOTDIR;
}

/// " *** Warning: <reason>: <dir><name>\n" on standard error, control bytes masked: an entry
/// left out (or given CRC 0) never goes unmentioned.
void WarnSkipped(int error, const char* dir, const char* name = "");

/// Puts the long path of record idx behind the first base bytes of path (a buffer of
/// 2*MAX_PATH that starts with the start path); a directory gets its separator. False when
/// the path does not fit what the system accepts: the entry is then skipped.
bool ComposeDirPath(const Table& t, unsigned idx, char* path, size_t base);
bool ComposeFilePath(const Table& t, unsigned idx, char* path, size_t base);
