// The system's reason after an error message: one line, " *** " and the text of the error number.
#include "core/reason.h"

#include <cstdio>
#include <cstring>

void PrintReason(int err) {
  fprintf(stderr, " *** %s\n", strerror(err));
}
