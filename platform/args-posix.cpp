// The command line as the program reads it: POSIX arguments are bytes, taken as they are.
#include "platform/platform.h"

char** ProgramArguments(int* argc, char** argv, std::vector<std::string>* refused) {
  (void)argc;
  refused->clear();
  return argv;
}
