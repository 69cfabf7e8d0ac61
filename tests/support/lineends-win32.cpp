// Win32 text mode turns "\n" into "\r\n": standard output is switched to binary mode.
#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "tests/support/lineends.h"

void UsePlainLineEnds() {
  fflush(stdout);
  _setmode(_fileno(stdout), _O_BINARY);
}
