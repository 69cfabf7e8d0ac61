// Processors other than 64-bit ARM: the ARM kernels are never chosen, and calling one anyway
// still gives the right value through the table kernel.
#include "core/crc32_kernels.h"

bool Crc32ArmCrcAvailable() {
  return false;
}

uint32_t Crc32ArmCrc(uint32_t crc, const unsigned char* bytes, size_t count) {
  return Crc32Slicing(crc, bytes, count);
}

bool Crc32PmullAvailable() {
  return false;
}

uint32_t Crc32Pmull(uint32_t crc, const unsigned char* bytes, size_t count) {
  return Crc32Slicing(crc, bytes, count);
}
