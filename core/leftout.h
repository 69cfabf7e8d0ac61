// Entries a run's walks leave out: the data files Scan is about to rewrite.
#pragma once

#include <string>
#include <vector>

#include "platform/save.h"

class LeftOut {
 public:
  /// Leaves the entry `path` names (and, for a link, the file it leads to) out of every later
  /// walk given these rules: Scan's own data file, which its save changes, so a catalogue kept
  /// inside the tree it describes does not report itself changed on every run. Temporary files
  /// of a save that was killed, beside it, are warned about (not removed: they may be all that
  /// is left of a catalogue) and left out as well.
  void Add(const char* path);
  /// Whether the entry name of the directory dir (its path, ending with a separator) is left out.
  bool Covers(const char* dir, const char* name) const;

 private:
  struct Entry {
    std::string name;
    EntryId id;
  };
  void AddEntry(const char* path);
  bool IsSaveDir(const char* dir) const;
  bool Known(const FileId& dir) const;

  std::vector<Entry> entries_;
  // The directories the data files are saved in: temporary files there are left out too.
  std::vector<FileId> saveDirs_;
};
