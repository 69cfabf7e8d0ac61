// One rule for every mode: a catalogue is loaded whole or refused.
#include "modes/catalogue.h"

#include <cstdio>

#include "store/datafile.h"

int LoadCatalogue(Table& t) {
  return ReadDataFile(t);
}

void PrintNotDataFile(const char* name) {
  fprintf(stderr, " *** Error: %s is mot data file for vantel32\n", name);
}

void PrintUndefinedTestResult(int code) {
  fprintf(stderr, " *** Internal Error: Table::TestFile() returns undefined value:%u\n",
          static_cast<unsigned>(code));
}
