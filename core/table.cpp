// Tables: the three names, the path composers, and marking and dropping subtrees.
#include "core/table.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>

namespace {

void CopyText(char* dst, const char* src) {
  snprintf(dst, MAX_PATH, "%s", src);
}

}  // namespace

Table::Table() {
  strcpy(cStartPath, ".");
  cFileMask[0] = '\0';
  cDataFile[0] = '\0';
}

Table::Table(const Table& other) : argument(other.argument) {
  CopyText(cStartPath, other.cStartPath);
  CopyText(cFileMask, other.cFileMask);
  CopyText(cDataFile, other.cDataFile);
}

Table& Table::operator=(const Table& other) {
  if (this != &other) {
    bNew = 0;
    records.clear();
    CopyText(cStartPath, other.cStartPath);
    CopyText(cFileMask, other.cFileMask);
    CopyText(cDataFile, other.cDataFile);
    argument = other.argument;
  }
  return *this;
}

namespace {

size_t ShortLen(const Record& r) {
  return strnlen(r.cShortName, kShortNameLen);
}
size_t LongLen(const Record& r) {
  return strlen(r.LongName());
}
const char* ShortText(const Record& r) {
  return r.cShortName;
}
const char* LongText(const Record& r) {
  return r.LongName();
}

// Length of the path of records[idx], or -1 when it exceeds limit or the chain is damaged.
// Stopping at the limit also bounds the work on a damaged chain.
template <typename LenFn>
long PathLength(const std::vector<Record>& records, unsigned idx, size_t limit, LenFn len_of) {
  size_t total = 0;
  for (unsigned i = idx;;) {
    total += len_of(records[i]);
    if (total > limit) return -1;
    uint32_t up = records[i].dwUpIdx;
    if (up == 0) break;
    if (up > i) return -1;  // parents always come first
    ++total;
    i = up - 1;
  }
  return total > limit ? -1 : static_cast<long>(total);
}

// Writes the path from the last name backwards, so that no list of ancestors is needed.
template <typename LenFn, typename TextFn>
bool ComposePath(const std::vector<Record>& records, unsigned idx, char* out, size_t limit,
                 LenFn len_of, TextFn text_of) {
  long total = PathLength(records, idx, limit, len_of);
  if (total < 0) return false;
  size_t end = static_cast<size_t>(total);
  out[end] = '\0';
  for (unsigned i = idx;;) {
    size_t n = len_of(records[i]);
    end -= n;
    memcpy(out + end, text_of(records[i]), n);
    uint32_t up = records[i].dwUpIdx;
    if (up == 0) break;
    out[--end] = kPathSep;
    i = up - 1;
  }
  return true;
}

}  // namespace

int Table::ComposeShortPath(unsigned idx, char* out, size_t cap) const {
  if (cap == 0) return kPathTooLong;
  out[0] = '\0';
  if (idx >= records.size()) return kPathTooLong;
  return ComposePath(records, idx, out, cap - 1, ShortLen, ShortText) ? 0 : kPathTooLong;
}

int Table::ComposeLongPath(unsigned idx, char* out, size_t cap) const {
  if (cap == 0) return kPathTooLong;
  out[0] = '\0';
  if (idx >= records.size()) return kPathTooLong;
  if (PathLength(records, idx, kWalkPathLimit - 2, LongLen) >= 0) {
    // Within the long-name limit: the long form or nothing, never a shortened path.
    return ComposePath(records, idx, out, cap - 1, LongLen, LongText) ? 0 : kPathTooLong;
  }
  return ComposeShortPath(idx, out, cap) == 0 ? 1 : kPathTooLong;
}

namespace {

// 8 Mi records (640 MiB of address space): past that the table grows by doubling.
constexpr uint64_t kWalkReserveAtMost = uint64_t{1} << 23;

}  // namespace

// A vector that doubles holds its old and its new array at once while it moves the records.
// Reserved pages that are never written cost address space only, so an estimate above what
// the walk finds costs no memory; a system that will not lend the space leaves it to grow.
void Table::ReserveForWalk() {
  uint64_t estimate = std::min(EntriesOnVolume(cStartPath), kWalkReserveAtMost);
  if (estimate <= records.capacity()) return;
  try {
    records.reserve(static_cast<size_t>(estimate));
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
}

void Table::Compact() {
  size_t n = records.size();
  size_t gone = 0;
  for (size_t i = 0; i < n; ++i) {
    Record& r = records[i];
    uint32_t up = r.dwUpIdx;
    if (!(r.wStatus & stGONE) && up != 0 && up - 1 < i && (records[up - 1].wStatus & stGONE))
      r.wStatus |= stGONE;
    if (r.wStatus & stGONE) ++gone;
  }
  if (gone == 0) return;
  // New 1-based index of every survivor; a survivor's parent always survives.
  std::vector<uint32_t> renumber(n, 0);
  size_t kept = 0;
  for (size_t l = 0; l < n; ++l) {
    if (records[l].wStatus & stGONE) continue;
    renumber[l] = static_cast<uint32_t>(++kept);
    Record& r = records[l];
    if (r.dwUpIdx != 0 && r.dwUpIdx <= n) r.dwUpIdx = renumber[r.dwUpIdx - 1];
    if (kept - 1 != l) records[kept - 1] = std::move(r);
  }
  records.erase(records.begin() + kept, records.end());
}
