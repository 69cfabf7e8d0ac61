// Warnings where a task's tree or catalogue does not bear out what the command line asked for.
#include "modes/asked.h"

#include <cstdio>
#include <cstring>

#include "core/record.h"
#include "core/tell.h"

bool NothingMatches(const Table& t) {
  if (strpbrk(t.cFileMask, "*?") != nullptr) return false;
  // Directories the walk passed through only to reach deeper levels carry the no-match mark.
  for (const Record& r : t.records)
    if (!(r.dwAttr & atNOMATCH)) return false;
  const char* shown = t.argument.empty() ? t.cFileMask : t.argument.c_str();
  Tell(" *** Warning: Nothing matches the file mask: %s\n", shown);
  return true;
}

bool NoDataFileToList(const Table& t) {
  if (t.cDataFile[0] != '\0') return false;
  const char* shown = t.argument.empty() ? t.cFileMask : t.argument.c_str();
  Tell(" *** Warning: No data file to list: %s\n", shown);
  return true;
}

void WarnFirstLevelOnly(const Table& t, uint32_t sub) {
  if (sub) return;
  for (const Record& r : t.records) {
    if (r.dwUpIdx != 0) {
      Tell(" *** Warning: Without -s only the first level is checked: %s\n", t.cDataFile);
      return;
    }
  }
}
