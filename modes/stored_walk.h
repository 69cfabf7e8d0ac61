// Compare --stored: the records of a second catalogue stand for Path 2, so that two catalogues
// (of two machines, or of a tree and its copy made elsewhere) compare with neither tree at hand.
#pragma once

#include <cstdint>
#include <vector>

#include "core/table.h"
#include "core/walk.h"

/// A catalogue's records listed directory by directory as a live walk lists the tree they
/// describe: the same entries, in the same order, through the same visitor, so that Compare
/// matches a catalogue with the code that matches a live tree.
class StoredTree {
 public:
  /// mask: the one the live walk would list with (Path 1's).
  StoredTree(const Table& stored, const char* mask);

  /// Hands directory number dir (0: the start directory, j + 1: record j) to visitor as
  /// ListDirectory hands on a live one; dirPath is where it stands, ending with a separator.
  void List(uint32_t dir, const char* dirPath, DirVisitor& visitor);
  /// The record being handed on, while the visitor is called.
  const Record& Current() const { return stored_.records[current_]; }
  uint32_t CurrentIndex() const { return current_; }
  /// The records of directory dir as the tree builder takes them in: subdirectories, then
  /// the files the mask matches.
  std::vector<uint32_t> Children(uint32_t dir) const;
  const Record& At(uint32_t j) const { return stored_.records[j]; }
  /// Whether the mask takes record j as an entry (not only a directory to pass through).
  bool Matches(uint32_t j) const;

 private:
  void Hand(uint32_t j, const char* dirPath, bool noMatch, bool entry, DirVisitor& visitor);

  const Table& stored_;
  const char* mask_;
  bool all_;
  std::vector<std::vector<uint32_t>> children_;  // by directory number, in listing order
  uint32_t current_ = 0;
};
