// One rule for every mode: a catalogue is loaded whole or refused.
#include "modes/catalogue.h"

#include <cstdio>

#include "core/tell.h"
#include "platform/owner.h"
#include "store/datafile.h"

int LoadCatalogue(Table& t, Progress shown) {
  if (RefusedAsPlanted(t.cDataFile)) {
    t.records.clear();
    return 1;
  }
  return ReadDataFile(t, shown);
}

bool RefusedAsPlanted(const char* name) {
  if (!IsPlantedInSharedDir(name)) return false;
  Tell(" *** Error: Data file owned by another user in a shared directory: %s\n", name);
  return true;
}

void PrintNotDataFile(const char* name) {
  Tell(" *** Error: %s is mot data file for vantel32\n", name);
}

void PrintUndefinedTestResult(int code) {
  Tell(" *** Internal Error: Table::TestFile() returns undefined value:%u\n",
       static_cast<unsigned>(code));
}
