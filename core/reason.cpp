#include "core/reason.h"

#include <cstdio>
#include <cstring>

void PrintReason(int err) {
  fprintf(stderr, " *** %s\n", strerror(err));
}
