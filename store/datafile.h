// The data file of a table: its reader, writer and test, with their codes and format constants.
#pragma once

#include "core/progress.h"
#include "core/table.h"

/// The version this build writes and reads; the first line of every data file names it, and the
/// banner shows it.
constexpr const char* kVersion = "2.01";

/// Bytes of one stored record, and where its fields stand in it (little-endian numbers; the
/// short name first, kShortNameLen bytes).
constexpr int kRecordBytes = 66;
enum RecordOffset : int {
  kAtAttr = 14,
  kAtCreate = 18,
  kAtAccess = 26,
  kAtWrite = 34,
  kAtSize = 42,
  kAtReserved0 = 50,
  kAtReserved1 = 54,
  kAtCrc = 58,
  kAtUpIdx = 62,
};

/// The refusal of a damaged data file, said alike by the reader and by Scan.
void PrintDataFileDamaged(const char* name);

/// What TestFile finds under a name. The values are fixed: the callers and their tests
/// have always known them as 0 to 4.
enum TestFileResult : int {
  kDataFileFound = 0,  // a data file of this version; its start path and mask are taken
  kCannotOpen = 1,     // something of that name that cannot be opened as a file
  kNotDataFile = 2,    // a file, but not a data file
  kOtherVersion = 3,   // a data file of another version
  kNoSuchFile = 4,     // nothing of that name
};

/// Loads t's data file into t (its records, start path and mask): 0; or 1, the table left
/// empty, when the file cannot be opened or read or is no intact data file of this version
/// (said on standard error). A caller must not save a refused table: the file stays as it was.
int ReadDataFile(Table& t, Progress shown = Progress());
/// Writes t to its data file through a temporary file. readOnly: says so and writes nothing.
int SaveDataFile(Table& t, bool readOnly, Progress shown = Progress());
/// Whether a save of the data file `name` could be made now: 0, or the error number that
/// stops it (its folder missing or not writable, the file read-only). Tried with a temporary
/// file that is removed at once, so that a walk of hours is not made for nothing.
int CheckSaveRoom(const char* name);
/// "\n** Error: Cannot open output file: %s\n" and the reason, as a failed save says it.
void PrintCannotSave(const char* name, int err);
/// What name holds; a data file of this version gives t its start path and mask. *damaged
/// (when given) tells a damaged data file of this version from other kNotDataFile.
TestFileResult TestFile(Table& t, const char* name, bool* damaged = nullptr);
