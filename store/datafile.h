// Result codes and format constants of the data file shared by its callers and tests.
#pragma once

/// ReadDataFile: the file opened but is damaged (truncated, a count the file cannot hold, or
/// a parent index that names no earlier directory). The table is left empty; a caller that
/// would save the table must not, so that the damaged file stays for inspection.
constexpr int kDataFileDamaged = 2;

/// The version this build writes and reads; the first line of every data file names it, and the
/// banner shows it.
constexpr const char* kVersion = "2.01";

/// Bytes of one stored record.
constexpr int kRecordBytes = 66;
