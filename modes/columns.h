// The listing's columns. Each is one row: the code /of names it by, its header and underline,
// and how a record's value is printed. The command-line parser, the listing and the debug dump
// all read this one table, so a column added here is known to all three.
#pragma once

#include <cstddef>

#include "core/table.h"
#include "store/json.h"

struct Column {
  const char* code;
  const char* header;
  const char* underline;
  const char* headFormat;  // printf format of the header and underline cells
  bool last;               // of no fixed width: must be the last column named
  /// Adds the cell of record idx, the number-th row of its list, to the row EndRow writes.
  void (*print)(const Table& t, unsigned idx, unsigned number);
  /// The same value in the JSON report, under key; null for the columns the entry's path
  /// already holds (names) or that number rows of the text lists.
  const char* key;
  void (*value)(JsonLine& line, const Table& t, unsigned idx);
};

extern const Column kColumns[];
extern const size_t kColumnCount;

/// A size as a JSON integer (one past INT64_MAX, which only a damaged catalogue holds, as a
/// string of its digits).
void JsonSize(JsonLine& line, const char* key, uint64_t size);

/// A name or path of the file system as a JSON text (see JsonLine::Bytes), in UTF-8 whatever
/// the build's own text.
void JsonName(JsonLine& line, const char* key, const char* text, size_t len);

/// Writes the row the cells were added to, and its line feed, to standard output.
void EndRow();

/// The column whose code is text (exactly, upper case), or null.
const Column* FindColumn(const char* text);
