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

/// Whether missing file from and new file to hold the same bytes now: asked where both can still
/// be read, so that a shared size and CRC-32 alone does not make a move.
using SameBytesCheck = std::function<bool(uint32_t from, uint32_t to)>;

/// Pairs the missing and new records of t and sets stMOVED on both records of every pair and on
/// every entry of a moved directory, so that the new and missing lists leave them out. Names are
/// kept where they can be: a missing file or folder takes a new one of its own name first.
/// With sameBytes, every pair of files with contents, also within a moved folder, must pass it.
/// Returns the moves in the order of their new places (the walk order). Linear in the table's
/// size, and in the bytes of the pairs under sameBytes.
std::vector<Move> FindMoves(Table& t, const SameBytesCheck& sameBytes = nullptr);

/// "> File: old\n    to: new\n" or "> Dir:  ...", with the paths shown as the new and missing
/// lists show them.
void PrintMove(const Table& t, const Move& m);
