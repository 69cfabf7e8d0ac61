// Records: the short name rule, and copies that own their long names.
#include "core/record.h"

#include <cstring>

#include "core/names.h"

namespace {

// Bounded copy that NUL-fills the rest of the field (no terminator when all 14 are used).
void CopyShort(char out[kShortNameLen], const char* src) {
  size_t i = 0;
  for (; i < kShortNameLen && src[i] != '\0'; ++i) out[i] = src[i];
  for (; i < kShortNameLen; ++i) out[i] = '\0';
}

}  // namespace

void MakeShortName(const WIN32_FIND_DATAA& fd, char out[kShortNameLen]) {
  CopyShort(out, fd.cAlternateFileName[0] != '\0' ? fd.cAlternateFileName : fd.cFileName);
}

bool ShortNamesEqual(const char* a, const char* b) {
  return strncmp(a, b, kShortNameLen) == 0;
}

bool ShortNameChanged(const Record& r, const char* now) {
  if (ShortNamesEqual(r.cShortName, now)) return false;
  // The first bytes of the long name stand where no alias exists (the POSIX build, a Windows
  // volume without 8.3 names): an alias on one side only is how a build writes the name.
  char bare[kShortNameLen];
  CopyShort(bare, r.LongName());
  return !ShortNamesEqual(r.cShortName, bare) && !ShortNamesEqual(now, bare);
}

Record::Record(const WIN32_FIND_DATAA& fd, uint32_t upIdx)
    : dwAttr(fd.dwFileAttributes),
      ftCreate(fd.ftCreationTime),
      ftAccess(fd.ftLastAccessTime),
      ftWrite(fd.ftLastWriteTime),
      dwReserved0(fd.dwReserved0),
      qwSize((uint64_t(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow),
      dwReserved1(fd.dwReserved1),
      pLongName(NewName(fd.cFileName)),
      dwUpIdx(upIdx) {
  MakeShortName(fd, cShortName);
}

Record::Record(const Record& other) {
  CopyFields(other);
  pLongName = NewName(other.pLongName);
}

Record::Record(Record&& other) noexcept {
  CopyFields(other);
  pLongName = other.pLongName;
  other.pLongName = nullptr;
}

Record& Record::operator=(const Record& other) {
  if (this != &other) {
    char* name = NewName(other.pLongName);
    DeleteName(pLongName);
    CopyFields(other);
    pLongName = name;
  }
  return *this;
}

Record& Record::operator=(Record&& other) noexcept {
  if (this != &other) {
    DeleteName(pLongName);
    CopyFields(other);
    pLongName = other.pLongName;
    other.pLongName = nullptr;
  }
  return *this;
}

Record::~Record() {
  DeleteName(pLongName);
}

void Record::SetLongName(const char* name) {
  DeleteName(pLongName);
  pLongName = NewName(name);
}

// Every field but the long name, which the callers copy or take over.
void Record::CopyFields(const Record& other) {
  dwAttr = other.dwAttr;
  ftCreate = other.ftCreate;
  ftAccess = other.ftAccess;
  ftWrite = other.ftWrite;
  qwSize = other.qwSize;
  dwReserved0 = other.dwReserved0;
  dwReserved1 = other.dwReserved1;
  if (other.cShortName[0] != '\0') {
    memcpy(cShortName, other.cShortName, kShortNameLen);
  } else {
    CopyShort(cShortName, other.LongName());
  }
  dwCRC = other.dwCRC;
  wStatus = other.wStatus;
  dwUpIdx = other.dwUpIdx;
}
