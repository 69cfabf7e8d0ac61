// One rule for every mode: a catalogue is loaded whole or refused.
#include "modes/catalogue.h"

#include "store/datafile.h"

int LoadCatalogue(Table& t) {
  if (ReadDataFile(t) != 0) return 1;
  // A header the reader turned away leaves an empty table, like an empty catalogue does.
  if (!t.records.empty()) return 0;
  Table probe;
  return TestFile(probe, t.cDataFile) == kDataFileFound ? 0 : 1;
}
