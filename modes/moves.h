// Moves and renames among the entries a reconciled table lists as missing (stGONE) and new
// (stNEW): a missing file and a new file with the same size and CRC-32 are one file moved, and
// a missing directory whose every entry reappears in the same places under one new directory
// is one directory moved. Only the report changes: the records and their stNEW and stGONE
// marks stay as they are, so the saved table is the same with and without the pairing.
#pragma once

#include <cstdint>
#include <vector>

#include "core/table.h"

struct Move {
  uint32_t from = 0;  // index of the missing record
  uint32_t to = 0;    // index of the new record
  bool isDir = false;
};

/// Pairs the missing and new records of t and sets stMOVED on both records of every pair and on
/// every entry of a moved directory, so that the new and missing lists leave them out. Returns
/// the moves in the order of their new places (the walk order). Linear in the table's size.
std::vector<Move> FindMoves(Table& t);

/// "> File: old\n    to: new\n" or "> Dir:  ...", with the paths shown as the new and missing
/// lists show them.
void PrintMove(const Table& t, const Move& m);
