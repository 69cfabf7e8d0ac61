#include "modes/report.h"

#include <cerrno>
#include <cstdio>

namespace {

int firstError = 0;
bool told = false;

}  // namespace

int ReportWriteError() {
  errno = 0;
  bool failed = fflush(stdout) != 0;
  int error = errno;
  if ((failed || ferror(stdout)) && firstError == 0) firstError = error != 0 ? error : EIO;
  return firstError;
}

void NoteReportFailureTold() {
  told = true;
}

bool ReportFailureTold() {
  return told;
}
