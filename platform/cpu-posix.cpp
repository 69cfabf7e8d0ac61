// The processor's optional instructions. On 64-bit ARM Linux the kernel lists them in the
// auxiliary vector (reading the ID registers directly would trap where the kernel hides them).
#include "platform/cpu.h"

#if defined(__aarch64__) && defined(__linux__)
#include <asm/hwcap.h>
#include <sys/auxv.h>

bool CpuHasArmCrc32() {
  return (getauxval(AT_HWCAP) & HWCAP_CRC32) != 0;
}

bool CpuHasArmPmull() {
  return (getauxval(AT_HWCAP) & HWCAP_PMULL) != 0;
}
#else
bool CpuHasArmCrc32() {
  return false;
}

bool CpuHasArmPmull() {
  return false;
}
#endif
