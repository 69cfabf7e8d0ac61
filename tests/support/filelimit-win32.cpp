// The file-size limit on Windows: not available.
#include "tests/support/filelimit.h"

// Windows has no per-process file-size limit.
int RunWithFileSizeLimit(long, int (*)(void*), void*) {
  return -1;
}
