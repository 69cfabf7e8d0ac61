// Processors other than x86-64: the carry-less multiply kernels are never chosen, and calling
// one anyway still gives the right value through the table kernel.
#include "core/crc32_kernels.h"

bool Crc32ClmulAvailable() {
  return false;
}

uint32_t Crc32Clmul(uint32_t crc, const unsigned char* bytes, size_t count) {
  return Crc32Slicing(crc, bytes, count);
}

bool Crc32Vpclmul256Available() {
  return false;
}

uint32_t Crc32Vpclmul256(uint32_t crc, const unsigned char* bytes, size_t count) {
  return Crc32Slicing(crc, bytes, count);
}

bool Crc32VpclmulAvailable() {
  return false;
}

uint32_t Crc32Vpclmul(uint32_t crc, const unsigned char* bytes, size_t count) {
  return Crc32Slicing(crc, bytes, count);
}
