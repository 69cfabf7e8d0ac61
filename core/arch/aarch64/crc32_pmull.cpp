// CRC-32 by folding with ARMv8's 64-bit polynomial multiply (PMULL), as the x86-64 kernels fold
// with PCLMULQDQ: blocks move forward by multiplying with x^distance mod P, and the last 16
// bytes go through the table kernel. Every function carries its own target attribute, so the
// file needs no special compile flags; callers ask Crc32PmullAvailable() first.
#include <arm_neon.h>

#include "core/crc32_fold.h"
#include "core/crc32_kernels.h"
#include "platform/cpu.h"

namespace {

// The constants are template arguments, so that the compiler computes them.
template <unsigned kBits>
__attribute__((target("+crypto"))) inline poly64x2_t FoldPair() {
  constexpr uint64_t kLow = FoldLow(kBits), kHigh = FoldHigh(kBits);
  return vreinterpretq_p64_u64(vcombine_u64(vcreate_u64(kLow), vcreate_u64(kHigh)));
}

__attribute__((target("+crypto"))) inline uint8x16_t Load(const unsigned char* p) {
  return vld1q_u8(p);
}

// x folded forward by the distance of k, added to the block that sits there: the low halves
// multiplied together, and the high halves.
__attribute__((target("+crypto"))) inline uint8x16_t Fold(uint8x16_t x, poly64x2_t k,
                                                          uint8x16_t at) {
  const poly64x2_t xp = vreinterpretq_p64_u8(x);
  const uint8x16_t lo =
      vreinterpretq_u8_p128(vmull_p64(vgetq_lane_p64(xp, 0), vgetq_lane_p64(k, 0)));
  const uint8x16_t hi = vreinterpretq_u8_p128(vmull_high_p64(xp, k));
  return veorq_u8(veorq_u8(lo, hi), at);
}

// The folded remainder is 16 message bytes whose CRC from a zero register is the running value.
__attribute__((target("+crypto"))) uint32_t Finish(uint8x16_t x, const unsigned char* p, size_t n) {
  const poly64x2_t k128 = FoldPair<128>();
  for (; n >= 16; n -= 16, p += 16) x = Fold(x, k128, Load(p));
  unsigned char rest[16];
  vst1q_u8(rest, x);
  return Crc32Slicing(Crc32Slicing(0, rest, 16), p, n);
}

}  // namespace

bool Crc32PmullAvailable() {
  static const bool available = CpuHasArmPmull();
  return available;
}

// Eight chains, as on x86-64: a fold waits two or three cycles for its multiplications, and
// the larger cores start one or more every cycle. 32 vector registers hold them without spills.
__attribute__((target("+crypto"))) uint32_t Crc32Pmull(uint32_t crc, const unsigned char* bytes,
                                                       size_t count) {
  if (count < 16) return Crc32Slicing(crc, bytes, count);
  const unsigned char* p = bytes;
  uint8x16_t x0 = veorq_u8(Load(p), vreinterpretq_u8_u32(vsetq_lane_u32(crc, vdupq_n_u32(0), 0)));
  if (count < 128) return Finish(x0, p + 16, count - 16);
  uint8x16_t x1 = Load(p + 16), x2 = Load(p + 32), x3 = Load(p + 48);
  uint8x16_t x4 = Load(p + 64), x5 = Load(p + 80), x6 = Load(p + 96), x7 = Load(p + 112);
  p += 128;
  count -= 128;
  const poly64x2_t k1024 = FoldPair<1024>();
  for (; count >= 128; count -= 128, p += 128) {
    x0 = Fold(x0, k1024, Load(p));
    x1 = Fold(x1, k1024, Load(p + 16));
    x2 = Fold(x2, k1024, Load(p + 32));
    x3 = Fold(x3, k1024, Load(p + 48));
    x4 = Fold(x4, k1024, Load(p + 64));
    x5 = Fold(x5, k1024, Load(p + 80));
    x6 = Fold(x6, k1024, Load(p + 96));
    x7 = Fold(x7, k1024, Load(p + 112));
  }
  const poly64x2_t k128 = FoldPair<128>();
  uint8x16_t x = Fold(Fold(Fold(x0, k128, x1), k128, x2), k128, x3);
  x = Fold(Fold(Fold(Fold(x, k128, x4), k128, x5), k128, x6), k128, x7);
  return Finish(x, p, count);
}
