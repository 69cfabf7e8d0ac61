// One task: start path, mask, data file and the table of records (a tree held by parent index).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/record.h"
#include "platform/platform.h"
#include "platform/save.h"

/// Result of the path composers when the path does not fit the caller's buffer: the output is
/// then the empty string and the caller skips the entry.
constexpr int kPathTooLong = 2;

struct WalkRules;

/// What a data file's name stood for when the file was last read or saved: nothing, or an entry
/// (a link itself) and the file read through it. A save replaces only that.
struct DataFileStamp {
  bool exists = false;
  EntryId entry;
  EntryId file;
};

class Table {
 public:
  int bNew = 0;
  char cStartPath[MAX_PATH];
  char cFileMask[MAX_PATH];
  char cDataFile[MAX_PATH];
  std::string argument;  // the command-line argument the task was made from, as typed
  std::vector<Record> records;
  DataFileStamp stamp;  // set by ReadDataFile and SaveDataFile

  Table();
  /// A copy takes the names and the argument only; records and bNew start afresh.
  Table(const Table& other);
  Table& operator=(const Table& other);
  Table(Table&&) = default;
  Table& operator=(Table&&) = default;

  /// Path of record idx relative to the start path, into out (cap bytes). Short names: 0, or
  /// kPathTooLong. Long names: 0; 1 when the long form exceeds MAX_PATH-2 and the short form
  /// was written; kPathTooLong when neither fits.
  int ComposeShortPath(unsigned idx, char* out, size_t cap) const;
  int ComposeLongPath(unsigned idx, char* out, size_t cap) const;

  /// Room for a walk of the tree under cStartPath, as many records as its volume holds, so
  /// that the table is never copied while the walk grows it. A hint: it may reserve nothing.
  void ReserveForWalk();

  /// Removes every stGONE record and everything beneath it; keeps order and parent links.
  void Compact();

  // The walk (core/walk.cpp) and the checksum pass (core/checksum_run.cpp).
  /// 0, or the error number when dir could not be read (said on standard error).
  /// deferFiles: regular files may be appended with stDEFERRED, their reader to fill them in.
  int ScanDirectory(const char* dir, unsigned parent, const WalkRules& rules,
                    bool deferFiles = false);
  /// Takes in the subtrees of the records from `from` on: the directories among them, and
  /// those found in them in turn, are read in table order, each one's entries appended behind
  /// the last. A link to a directory is recorded but never entered: it could lead back up; nor
  /// is a directory on another device under --one-file-system (stOTHERFS).
  /// visit(i) sees each record i from `from` on once its directory, if any, has been read.
  void ExpandSubtrees(size_t from, const std::function<void(size_t)>& visit, const WalkRules& rules,
                      bool deferFiles = false);
  /// 0, or the error number when the start directory could not be read. found(n), when given,
  /// is told each time the records below n are complete (their directory listed), so that
  /// the files among them can be read while the walk goes on.
  int BuildTree(int recurse, const WalkRules& rules,
                const std::function<void(size_t)>& found = nullptr, bool deferFiles = false);
  void ChecksumPass(const WalkRules& rules);
  /// Reads only the files whose entry in only is non-zero (one entry per record); the others
  /// keep their CRC, and the summary counts the files read.
  /// A table read from a data file is checksummed as its files are now (size and kind looked
  /// up again: stored); one just walked, by the size the walk saw.
  void ChecksumPass(const WalkRules& rules, const std::vector<char>* only, bool stored = false);
  // BuildTree and ChecksumPass with the files read while the walk goes on.
  int BuildAndChecksum(int recurse, const WalkRules& rules);
};
