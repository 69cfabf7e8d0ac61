// The listing's column table: codes, headers, underlines and the cell of each record.
#include "modes/columns.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include "modes/report.h"
#include "platform/utf8.h"
#include "store/format.h"

namespace {

// A row is made in memory and written with one call, its cells without printf: a listing of
// many rows spent most of its time parsing the same formats again and in the stream's calls.
std::string row;

void Put(const char* text, size_t len) {
  row.append(text, len);
}

void PutText(const char* text) {
  row.append(text);
}

// One number as printf's format puts it.
void PutNumber(const char* format, unsigned value) {
  char text[24];
  snprintf(text, sizeof text, format, value);
  PutText(text);
}

// text, then blanks up to width and the gap after the cell (as "%-Ns" and the gap).
void PutLeft(const char* text, size_t width, const char* gap) {
  static const char kBlanks[] = "                    ";
  size_t len = strlen(text);
  Put(text, len);
  for (; len < width; len += sizeof kBlanks - 1)
    Put(kBlanks, std::min(width - len, sizeof kBlanks - 1));
  PutText(gap);
}

void PrintNumber(const Table&, unsigned, unsigned number) {
  PutNumber("%-8u ", number);
}

void PrintIndex(const Table&, unsigned idx, unsigned) {
  PutNumber("%-8u ", idx);
}

void PrintUpIndex(const Table& t, unsigned idx, unsigned) {
  PutNumber("%-8u ", static_cast<unsigned>(t.records[idx].dwUpIdx));
}

void PrintShortName(const Table& t, unsigned idx, unsigned) {
  char shortName[kShortNameLen + 1] = {};
  memcpy(shortName, t.records[idx].cShortName, kShortNameLen);
  EndOnCharacter(shortName, kShortNameLen);
  CharToOemA(shortName, shortName);
  PutLeft(shortName, 12, "  ");
}

void PrintAttributes(const Table& t, unsigned idx, unsigned) {
  char text[kAttrTextSize];
  FormatAttributes(t.records[idx].dwAttr, text);
  PutLeft(text, 0, "  ");
}

void PrintSize(const Table& t, unsigned idx, unsigned) {
  const Record& r = t.records[idx];
  if (r.IsDir()) {
    PutText("  -Directory  ");
    return;
  }
  // "%12" PRId64 "  ": a size read from a data file may pass INT64_MAX and show negative.
  char text[24];
  char* p = text + sizeof text;
  int64_t size = static_cast<int64_t>(r.qwSize);
  uint64_t v = size < 0 ? 0 - r.qwSize : r.qwSize;
  do *--p = static_cast<char>('0' + v % 10);
  while ((v /= 10) != 0);
  if (size < 0) *--p = '-';
  size_t len = static_cast<size_t>(text + sizeof text - p);
  if (len < 12) Put("            ", 12 - len);
  Put(p, len);
  Put("  ", 2);
}

void PrintTime(const FILETIME& ft) {
  char text[kTimeTextSize];
  FormatFileTime(&ft, text, 0);
  PutLeft(text, 0, "  ");
}

void PrintCreateTime(const Table& t, unsigned idx, unsigned) {
  PrintTime(t.records[idx].ftCreate);
}

void PrintWriteTime(const Table& t, unsigned idx, unsigned) {
  PrintTime(t.records[idx].ftWrite);
}

void PrintAccessTime(const Table& t, unsigned idx, unsigned) {
  PrintTime(t.records[idx].ftAccess);
}

void PrintReserved0(const Table& t, unsigned idx, unsigned) {
  PutNumber("%8X ", static_cast<unsigned>(t.records[idx].dwReserved0));
}

void PrintReserved1(const Table& t, unsigned idx, unsigned) {
  PutNumber("%8X  ", static_cast<unsigned>(t.records[idx].dwReserved1));
}

void PrintCrc(const Table& t, unsigned idx, unsigned) {
  const Record& r = t.records[idx];
  if (r.IsDir()) {
    Put("          ", 10);
    return;
  }
  static const char kHex[] = "0123456789ABCDEF";
  char text[10] = {0, 0, 0, 0, 0, 0, 0, 0, ' ', ' '};
  for (int i = 0; i < 8; ++i) text[i] = kHex[(r.dwCRC >> (28 - 4 * i)) & 0xF];
  Put(text, sizeof text);
}

void PrintLongName(const Table& t, unsigned idx, unsigned) {
  const char* name = t.records[idx].LongName();
  char oem[MAX_PATH];
  if (strlen(name) < sizeof oem) {
    CharToOemA(name, oem);
    PutLeft(oem, 18, "");
    return;
  }
  std::string copy = name;
  CharToOemA(&copy[0], &copy[0]);
  PutLeft(copy.c_str(), 18, "");
}

void PrintFullPath(const Table& t, unsigned idx, unsigned) {
  char path[2 * MAX_PATH];
  PutLeft(ShownPath(t, static_cast<long>(idx), path), 20, "");
}

// The JSON values of the columns: numbers as integers, times in ISO 8601, a CRC as 8 digits
// or null where it means nothing.
void IndexValue(JsonLine& j, const Table&, unsigned idx) {
  j.Int("index", idx);
}

void UpIndexValue(JsonLine& j, const Table& t, unsigned idx) {
  uint32_t up = t.records[idx].dwUpIdx;
  if (up == 0) {
    j.Null("parent");  // the start path
  } else {
    j.Int("parent", static_cast<int64_t>(up) - 1);
  }
}

void ShortNameValue(JsonLine& j, const Table& t, unsigned idx) {
  const char* name = t.records[idx].cShortName;
  JsonName(j, "short_name", name, strnlen(name, kShortNameLen));
}

void AttributesValue(JsonLine& j, const Table& t, unsigned idx) {
  char text[kAttrTextSize];
  FormatAttributes(t.records[idx].dwAttr & ~atNOMATCH, text);
  j.Text("attributes", text);
}

void SizeValue(JsonLine& j, const Table& t, unsigned idx) {
  const Record& r = t.records[idx];
  JsonSize(j, "size", r.IsDir() ? 0 : r.qwSize);
}

void CreateValue(JsonLine& j, const Table& t, unsigned idx) {
  j.Time("create", t.records[idx].ftCreate);
}

void WriteValue(JsonLine& j, const Table& t, unsigned idx) {
  j.Time("write", t.records[idx].ftWrite);
}

void AccessValue(JsonLine& j, const Table& t, unsigned idx) {
  j.Time("access", t.records[idx].ftAccess);
}

void Reserved0Value(JsonLine& j, const Table& t, unsigned idx) {
  j.Int("reserved0", t.records[idx].dwReserved0);
}

void Reserved1Value(JsonLine& j, const Table& t, unsigned idx) {
  j.Int("reserved1", t.records[idx].dwReserved1);
}

// A CRC means something only for a file with contents that was checksummed: a stored non-empty
// file with CRC 0 never was (/nc).
void CrcValue(JsonLine& j, const Table& t, unsigned idx) {
  const Record& r = t.records[idx];
  bool known = !r.IsDir() && (r.dwAttr & 0x440) == 0 && (r.dwCRC != 0 || r.qwSize == 0);
  if (known) {
    j.Crc("crc", r.dwCRC);
  } else {
    j.Null("crc");
  }
}

}  // namespace

void EndRow() {
  row += '\n';
  fwrite(row.data(), 1, row.size(), stdout);
  row.clear();
}

void JsonName(JsonLine& j, const char* key, const char* text, size_t len) {
  // The Win32 build names files in the ANSI code page; JSON text is UTF-8.
  if (kIsWin32) {
    j.Bytes(key, AnsiToUtf8(text, len));
  } else {
    j.Bytes(key, text, len);
  }
}

void JsonSize(JsonLine& j, const char* key, uint64_t size) {
  // Sizes read from a data file may pass INT64_MAX: shown as the unsigned numbers they are.
  if (size <= static_cast<uint64_t>(INT64_MAX)) {
    j.Int(key, static_cast<int64_t>(size));
    return;
  }
  char digits[24];
  snprintf(digits, sizeof digits, "%" PRIu64, size);
  j.Text(key, digits);
}

const Column kColumns[] = {
    {"NO", "#", "-------", "%-8s ", false, PrintNumber, nullptr, nullptr},
    {"ID", "IDX", "-------", "%-8s ", false, PrintIndex, "index", IndexValue},
    {"UP", "UpIDX", "-------", "%-8s ", false, PrintUpIndex, "parent", UpIndexValue},
    {"FS", "File Name", "------------", "%-12s  ", false, PrintShortName, "short_name",
     ShortNameValue},
    {"AT", "Attr", "-----------", "%-11s  ", false, PrintAttributes, "attributes", AttributesValue},
    {"SZ", "Size", "------------", "%12s  ", false, PrintSize, "size", SizeValue},
    {"TC", "Create Time", "---------------------", "%-21s  ", false, PrintCreateTime, "create",
     CreateValue},
    {"TW", "Write Time", "---------------------", "%-21s  ", false, PrintWriteTime, "write",
     WriteValue},
    {"TA", "Access Time", "---------------------", "%-21s  ", false, PrintAccessTime, "access",
     AccessValue},
    {"R0", "Reseved0", "--------", "%8s ", false, PrintReserved0, "reserved0", Reserved0Value},
    {"R1", "Reseved1", "--------", "%8s  ", false, PrintReserved1, "reserved1", Reserved1Value},
    {"CC", "CRC32", "--------", "%-8s  ", false, PrintCrc, "crc", CrcValue},
    {"FL", "Long File Name", "------------------", "%-18s", true, PrintLongName, nullptr, nullptr},
    {"FP", "File Name with Path", "--------------------", "%-20s", true, PrintFullPath, nullptr,
     nullptr},
};

const size_t kColumnCount = sizeof kColumns / sizeof kColumns[0];

const Column* FindColumn(const char* text) {
  for (const Column& c : kColumns)
    if (strcmp(text, c.code) == 0) return &c;
  return nullptr;
}
