// Table-driven CRC-32 kernels. The tables are computed by the compiler, so they are ready
// before any code runs and need no start-up call.
#include <array>

#include "core/crc32_kernels.h"
#include "core/crc32shr.h"

namespace {

constexpr int kSlices = 16;
using SliceTables = std::array<std::array<uint32_t, 256>, kSlices>;

// Slice 0 is the classic byte table; slice k is the CRC of a byte followed by k zero bytes.
constexpr SliceTables MakeSliceTables() {
  SliceTables t{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? (c >> 1) ^ MagicConst : c >> 1;
    t[0][n] = c;
  }
  for (int k = 1; k < kSlices; ++k) {
    for (int n = 0; n < 256; ++n) t[k][n] = (t[k - 1][n] >> 8) ^ t[0][t[k - 1][n] & 0xFF];
  }
  return t;
}

constexpr SliceTables kTables = MakeSliceTables();

}  // namespace

uint32_t Crc32Bytewise(uint32_t crc, const unsigned char* bytes, size_t count) {
  const auto& t = kTables[0];
  for (size_t i = 0; i < count; ++i) crc = (crc >> 8) ^ t[(crc ^ bytes[i]) & 0xFF];
  return crc;
}

uint32_t Crc32Slicing(uint32_t crc, const unsigned char* bytes, size_t count) {
  const auto& t = kTables;
  const unsigned char* p = bytes;
  // Bytes are combined one by one rather than loaded as words, so byte order never matters.
  for (; count >= 16; count -= 16, p += 16) {
    crc = t[15][(crc ^ p[0]) & 0xFF] ^ t[14][((crc >> 8) ^ p[1]) & 0xFF] ^
          t[13][((crc >> 16) ^ p[2]) & 0xFF] ^ t[12][(crc >> 24) ^ p[3]] ^ t[11][p[4]] ^
          t[10][p[5]] ^ t[9][p[6]] ^ t[8][p[7]] ^ t[7][p[8]] ^ t[6][p[9]] ^ t[5][p[10]] ^
          t[4][p[11]] ^ t[3][p[12]] ^ t[2][p[13]] ^ t[1][p[14]] ^ t[0][p[15]];
  }
  return Crc32Bytewise(crc, p, count);
}
