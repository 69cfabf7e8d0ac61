// A POSIX name is its bytes: every entry is reached by the name it came back with.
#include "platform/platform.h"

const char* NameLoss(const WIN32_FIND_DATAA&) {
  return nullptr;
}
