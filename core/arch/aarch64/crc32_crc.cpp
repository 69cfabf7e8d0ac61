// CRC-32 with ARMv8's CRC32 instructions. One instruction takes eight bytes but waits for the
// one before it (two or three cycles), so three streams run side by side and their values are
// joined: a value moves past the bytes of the next stream as if followed by that many zeros.
// The function carries its own target attribute, so the file needs no special compile flags.
#include <arm_acle.h>

#include <cstring>

#include "core/crc32_kernels.h"
#include "core/crc32shr.h"
#include "platform/cpu.h"

namespace {

constexpr size_t kStreamBytes = 1024;

// Moving a running value past kStreamBytes zero bytes is linear in its bits: the XOR of one
// table entry per byte of the value. The tables are computed by the compiler.
struct ZeroShift {
  uint32_t table[4][256];
};

constexpr ZeroShift MakeZeroShift(size_t zeros) {
  uint32_t bit[32] = {};
  for (int i = 0; i < 32; ++i) {
    uint32_t c = uint32_t{1} << i;
    for (size_t k = 0; k < 8 * zeros; ++k) c = (c & 1) ? (c >> 1) ^ MagicConst : c >> 1;
    bit[i] = c;
  }
  ZeroShift z{};
  for (int byte = 0; byte < 4; ++byte) {
    for (int v = 0; v < 256; ++v) {
      uint32_t sum = 0;
      for (int j = 0; j < 8; ++j) sum ^= (v >> j & 1) ? bit[8 * byte + j] : 0;
      z.table[byte][v] = sum;
    }
  }
  return z;
}

constexpr ZeroShift kPastStream = MakeZeroShift(kStreamBytes);

uint32_t PastStream(uint32_t crc) {
  const auto& t = kPastStream.table;
  return t[0][crc & 0xFF] ^ t[1][(crc >> 8) & 0xFF] ^ t[2][(crc >> 16) & 0xFF] ^ t[3][crc >> 24];
}

// The build is little-endian, as the instructions expect: the first byte is the lowest.
uint64_t Load64(const unsigned char* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

uint32_t Load32(const unsigned char* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

}  // namespace

bool Crc32ArmCrcAvailable() {
  static const bool available = CpuHasArmCrc32();
  return available;
}

__attribute__((target("+crc"))) uint32_t Crc32ArmCrc(uint32_t crc, const unsigned char* bytes,
                                                     size_t count) {
  const unsigned char* p = bytes;
  for (; count > 0 && (reinterpret_cast<uintptr_t>(p) & 7) != 0; --count) crc = __crc32b(crc, *p++);
  for (; count >= 3 * kStreamBytes; count -= 3 * kStreamBytes, p += 3 * kStreamBytes) {
    uint32_t a = crc, b = 0, c = 0;
    for (size_t i = 0; i < kStreamBytes; i += 8) {
      a = __crc32d(a, Load64(p + i));
      b = __crc32d(b, Load64(p + kStreamBytes + i));
      c = __crc32d(c, Load64(p + 2 * kStreamBytes + i));
    }
    crc = PastStream(PastStream(a) ^ b) ^ c;
  }
  for (; count >= 8; count -= 8, p += 8) crc = __crc32d(crc, Load64(p));
  if (count >= 4) {
    crc = __crc32w(crc, Load32(p));
    p += 4;
    count -= 4;
  }
  for (; count > 0; --count) crc = __crc32b(crc, *p++);
  return crc;
}
