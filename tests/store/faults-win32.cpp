// Fault injection for the save tests, Win32: none is possible in a static program; console
// events are.
#include <windows.h>

#include "tests/store/faults.h"

namespace {

HANDLE handled = nullptr;

BOOL WINAPI KeepAlive(DWORD) {
  SetEvent(handled);
  return TRUE;
}

}  // namespace

bool PrepareConsoleEvent() {
  if (handled == nullptr) handled = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  // A console of our own: the event reaches no other process.
  FreeConsole();
  return handled != nullptr && AllocConsole() && SetConsoleCtrlHandler(KeepAlive, TRUE);
}

bool SendConsoleEvent() {
  return GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) &&
         WaitForSingleObject(handled, 10000) == WAIT_OBJECT_0;
}

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
