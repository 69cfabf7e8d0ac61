// The listing's column table: codes, headers, underlines and the cell of each record.
#include "modes/columns.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include "modes/report.h"
#include "store/format.h"

namespace {

void PrintNumber(const Table&, unsigned, unsigned number) {
  printf("%-8u ", number);
}

void PrintIndex(const Table&, unsigned idx, unsigned) {
  printf("%-8u ", idx);
}

void PrintUpIndex(const Table& t, unsigned idx, unsigned) {
  printf("%-8u ", static_cast<unsigned>(t.records[idx].dwUpIdx));
}

void PrintShortName(const Table& t, unsigned idx, unsigned) {
  char shortName[kShortNameLen + 1] = {};
  memcpy(shortName, t.records[idx].cShortName, kShortNameLen);
  CharToOemA(shortName, shortName);
  printf("%-12s  ", shortName);
}

void PrintAttributes(const Table& t, unsigned idx, unsigned) {
  char text[kAttrTextSize];
  FormatAttributes(t.records[idx].dwAttr, text);
  printf("%s  ", text);
}

void PrintSize(const Table& t, unsigned idx, unsigned) {
  const Record& r = t.records[idx];
  if (r.IsDir()) {
    printf("%12s  ", "-Directory");
  } else {
    printf("%12" PRId64 "  ", static_cast<int64_t>(r.qwSize));
  }
}

void PrintTime(const FILETIME& ft) {
  char text[kTimeTextSize];
  FormatFileTime(&ft, text, 0);
  printf("%s  ", text);
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
  printf("%8X ", static_cast<unsigned>(t.records[idx].dwReserved0));
}

void PrintReserved1(const Table& t, unsigned idx, unsigned) {
  printf("%8X  ", static_cast<unsigned>(t.records[idx].dwReserved1));
}

void PrintCrc(const Table& t, unsigned idx, unsigned) {
  const Record& r = t.records[idx];
  if (r.IsDir()) {
    printf("%-8s  ", " ");
  } else {
    printf("%08X  ", static_cast<unsigned>(r.dwCRC));
  }
}

void PrintLongName(const Table& t, unsigned idx, unsigned) {
  std::string oem = t.records[idx].LongName();
  CharToOemA(&oem[0], &oem[0]);
  printf("%-18s", oem.c_str());
}

void PrintFullPath(const Table& t, unsigned idx, unsigned) {
  char path[2 * MAX_PATH];
  printf("%-20s", ShownPath(t, static_cast<long>(idx), path));
}

}  // namespace

const Column kColumns[] = {
    {"NO", "#", "-------", "%-8s ", false, PrintNumber},
    {"ID", "IDX", "-------", "%-8s ", false, PrintIndex},
    {"UP", "UpIDX", "-------", "%-8s ", false, PrintUpIndex},
    {"FS", "File Name", "------------", "%-12s  ", false, PrintShortName},
    {"AT", "Attr", "-----------", "%-11s  ", false, PrintAttributes},
    {"SZ", "Size", "------------", "%12s  ", false, PrintSize},
    {"TC", "Create Time", "---------------------", "%-21s  ", false, PrintCreateTime},
    {"TW", "Write Time", "---------------------", "%-21s  ", false, PrintWriteTime},
    {"TA", "Access Time", "---------------------", "%-21s  ", false, PrintAccessTime},
    {"R0", "Reseved0", "--------", "%8s ", false, PrintReserved0},
    {"R1", "Reseved1", "--------", "%8s  ", false, PrintReserved1},
    {"CC", "CRC32", "--------", "%-8s  ", false, PrintCrc},
    {"FL", "Long File Name", "------------------", "%-18s", true, PrintLongName},
    {"FP", "File Name with Path", "--------------------", "%-20s", true, PrintFullPath},
};

const size_t kColumnCount = sizeof kColumns / sizeof kColumns[0];

const Column* FindColumn(const char* text) {
  for (const Column& c : kColumns)
    if (strcmp(text, c.code) == 0) return &c;
  return nullptr;
}
