// One rule for every mode: a catalogue is loaded whole or refused.
#include "modes/catalogue.h"

#include <cstdio>

#include "platform/owner.h"
#include "store/datafile.h"

int LoadCatalogue(Table& t) {
  if (RefusedAsPlanted(t.cDataFile)) {
    t.records.clear();
    return 1;
  }
  return ReadDataFile(t);
}

bool RefusedAsPlanted(const char* name) {
  if (!IsPlantedInSharedDir(name)) return false;
  fprintf(stderr, " *** Error: Data file owned by another user in a shared directory: %s\n", name);
  return true;
}

void PrintNotDataFile(const char* name) {
  fprintf(stderr, " *** Error: %s is mot data file for vantel32\n", name);
}

void PrintUndefinedTestResult(int code) {
  fprintf(stderr, " *** Internal Error: Table::TestFile() returns undefined value:%u\n",
          static_cast<unsigned>(code));
}
