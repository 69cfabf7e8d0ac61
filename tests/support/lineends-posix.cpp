// POSIX streams have no text mode: nothing to change.
#include "tests/support/lineends.h"

void UsePlainLineEnds() {}
