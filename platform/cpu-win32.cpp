// The Win32 build is made for x86-64 only, where the ARM instructions never exist.
#include "platform/cpu.h"

bool CpuHasArmCrc32() {
  return false;
}

bool CpuHasArmPmull() {
  return false;
}
