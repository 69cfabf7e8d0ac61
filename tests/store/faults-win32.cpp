// Fault injection for the save tests, Win32: none is possible in a static program.
#include "tests/store/faults.h"

// Nothing to interpose in a static Win32 program, and no POSIX owners.
bool CanInjectFaults() {
  return false;
}
void ArmFault(int, int, int) {}
std::string DisarmFault() {
  return "";
}
int FirstWriteMode() {
  return -1;
}
std::vector<int> CleanupSignals() {
  return {};
}
bool GetOwner(const std::string&, Owner*) {
  return false;
}
bool SetOwner(const std::string&, const Owner&) {
  return false;
}
bool MayGiveAway() {
  return false;
}
