// Constants of CRC-32 folding by carry-less multiplication, shared by every processor's kernels:
// blocks of the message are moved forward by multiplying with x^distance mod P.
#pragma once

#include <cstdint>

// x^e mod P in the reflected form the folding multiplies by: bit-reversed, shifted left once.
constexpr uint64_t FoldConstant(unsigned e) {
  uint64_t r = 1;
  for (unsigned i = 0; i < e; ++i) {
    r <<= 1;
    if (r & 0x100000000u) r ^= 0x104C11DB7u;
  }
  uint64_t reflected = 0;
  for (int i = 0; i < 32; ++i) {
    if (r & (uint64_t{1} << i)) reflected |= uint64_t{1} << (31 - i);
  }
  return reflected << 1;
}

// The pair of constants that moves a 128-bit block forward by `bits`.
constexpr uint64_t FoldLow(unsigned bits) {
  return FoldConstant(bits + 32);
}
constexpr uint64_t FoldHigh(unsigned bits) {
  return FoldConstant(bits - 32);
}
