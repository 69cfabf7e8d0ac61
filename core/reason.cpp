// The system's reason after an error message: one line, " *** " and the text of the error number.
#include "core/reason.h"

#include <cstdio>
#include <cstring>

#include "core/tell.h"
#include "platform/fileread.h"

const char* ReasonText(int err) {
  if (err == kReasonShrank) return "File shrank while it was read";
  if (err == kErrorNotRegular) return "Not a regular file";
  if (err == kErrorChanged) return "Changed while being read";
  return strerror(err);
}

void PrintReason(int err) {
  Tell(" *** %s\n", ReasonText(err));
}
