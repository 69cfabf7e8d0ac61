// One file or directory of a task's table.
#pragma once

#include <cstdint>

#include "platform/platform.h"

/// Bit 31 of dwAttr: a directory kept only to reach deeper levels (its name misses the mask).
constexpr uint32_t atNOMATCH = 0x80000000u;

/// wStatus bits, in memory only.
constexpr uint16_t stDONE = 0x1;
constexpr uint16_t stNEW = 0x4;
constexpr uint16_t stGONE = 0x8;
constexpr uint16_t stMOVED = 0x10;  // one side of a move: left out of the new and missing lists
// A directory on another device, under --one-file-system: recorded, not entered.
constexpr uint16_t stOTHERFS = 0x20;
// A file the walk knows by name and kind only: its reader fills in size, times and attributes
// from the open file, so that the file is looked up once, and beside the walk.
constexpr uint16_t stDEFERRED = 0x40;
// A file its checksum pass could not read (and warned about): its CRC tells nothing.
constexpr uint16_t stUNREAD = 0x80;

/// Entries without contents of their own to read: directories, links (reparse points) and
/// devices, FIFOs and sockets. They get CRC 0 without being opened (a FIFO would block) and are
/// never a copy of anything.
constexpr uint32_t kNoContents =
    FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
inline bool HasContents(uint32_t attr) {
  return (attr & kNoContents) == 0;
}

constexpr int kShortNameLen = 14;

/// The short name of an entry found on disk: its 8.3 alias, else the first 14 bytes of its
/// name, NUL-filled (no terminator when all 14 are used).
void MakeShortName(const WIN32_FIND_DATAA& fd, char out[kShortNameLen]);

// The fields are ordered so that none needs padding: 80 bytes instead of 88, which a table of a
// million records feels.
class Record {
 public:
  uint32_t dwAttr = 0;
  FILETIME ftCreate = {0, 0};
  FILETIME ftAccess = {0, 0};
  FILETIME ftWrite = {0, 0};
  uint32_t dwReserved0 = 0;
  uint64_t qwSize = 0;
  uint32_t dwReserved1 = 0;
  uint32_t dwCRC = 0;
  char* pLongName = nullptr;
  char cShortName[kShortNameLen] = {};
  uint16_t wStatus = 0;
  uint32_t dwUpIdx = 0;

  Record() = default;
  Record(const WIN32_FIND_DATAA& fd, uint32_t upIdx);
  Record(const Record& other);
  Record(Record&& other) noexcept;
  Record& operator=(const Record& other);
  Record& operator=(Record&& other) noexcept;
  ~Record();

  /// Null or empty leaves the record without a long name.
  void SetLongName(const char* name);

  const char* LongName() const { return pLongName ? pLongName : ""; }
  bool IsDir() const { return (dwAttr & FILE_ATTRIBUTE_DIRECTORY) != 0; }

 private:
  void CopyFields(const Record& other);
};

static_assert(sizeof(void*) != 8 || sizeof(Record) == 80, "a field added or moved adds padding");

/// Whether two short names are equal over at most 14 bytes.
bool ShortNamesEqual(const char* a, const char* b);

/// Whether the short name of r changed to now as an alias: not when one of them is only the
/// long name's first bytes, which a build or volume without 8.3 aliases stores instead.
bool ShortNameChanged(const Record& r, const char* now);
