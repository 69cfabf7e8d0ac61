// The hostile-entry helpers on Windows: none is available.
#include "tests/support/nodes.h"

// Windows has neither FIFOs nor socket nodes in the file system, and refuses the control
// bytes and wildcards that the raw names are made to hold.
int MakeFifo(const char*) {
  return -1;
}
int MakeSocketNode(const char*) {
  return -1;
}
int MakeRawName(const char*, const std::string&) {
  return -1;
}

// Windows has no permission bits that a test could take away this simply.
int PermissionBoundPrefix(std::vector<std::string>*) {
  return -1;
}
