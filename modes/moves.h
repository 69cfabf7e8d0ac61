// Moves and renames among the entries a reconciled table lists as missing (stGONE) and new
// (stNEW): a missing file and a new file with the same size and CRC-32 are one file moved, and
// a missing directory whose every entry reappears in the same places under one new directory
// is one directory moved (links, devices and empty files by their names and kinds). Only the
// report changes: the records and their stNEW and stGONE marks stay as they are, so the saved
// table is the same with and without the pairing.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "core/table.h"

struct Move {
  uint32_t from = 0;  // index of the missing record
  uint32_t to = 0;    // index of the new record
  bool isDir = false;
};

/// Sorts missing and new files that share a size and CRC-32 into classes of equal bytes, read
/// where both sides can still be read, so that a shared size and CRC-32 alone does not make a
/// move: (*classes)[i] for records[i], -1 for a file that cannot be read.
using ContentClasses =
    std::function<void(const std::vector<uint32_t>& records, std::vector<int32_t>* classes)>;

/// Pairs the missing and new records of t and sets stMOVED on both records of every pair and on
/// every entry of a moved directory, so that the new and missing lists leave them out. Names are
/// kept where they can be: a missing file or folder takes a new one of its own name first.
/// With classes, the files of every pair, also within a moved folder, must share a class; every
/// new file of the same size and CRC is a candidate, however many there are. Returns the moves
/// in the order of their new places (the walk order). Linear in the table's size, and in the
/// bytes of the files classes reads.
std::vector<Move> FindMoves(Table& t, const ContentClasses& classes = nullptr);

/// "> File: old\n    to: new\n" or "> Dir:  ...", with the paths shown as the new and missing
/// lists show them.
void PrintMove(const Table& t, const Move& m);
