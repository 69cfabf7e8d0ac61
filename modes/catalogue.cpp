// One rule for every mode: a catalogue is loaded whole or refused.
#include "modes/catalogue.h"

#include "store/datafile.h"

int LoadCatalogue(Table& t) {
  return ReadDataFile(t);
}
