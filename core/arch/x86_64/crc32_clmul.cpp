// CRC-32 by carry-less multiplication: blocks of the message are folded forward onto later
// blocks (multiplying by x^distance mod P), and the last 16 bytes go through the table kernel.
// Every function carries its own target attribute, so the file needs no special compile flags;
// callers ask the *Available() functions before using a kernel.
#include <immintrin.h>

#include "core/crc32_fold.h"
#include "core/crc32_kernels.h"
#include "platform/platform.h"

namespace {

// A template, so that the constants are computed by the compiler: at run time their loops
// cost more than folding a 64 KiB chunk.
template <unsigned kBits>
__attribute__((target("pclmul,sse4.1"))) inline __m128i FoldPair() {
  constexpr uint64_t kLow = FoldLow(kBits), kHigh = FoldHigh(kBits);
  return _mm_set_epi64x(static_cast<long long>(kHigh), static_cast<long long>(kLow));
}

__attribute__((target("pclmul,sse4.1"))) inline __m128i Load(const unsigned char* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// x folded forward by the distance of k, added to the block that sits there.
__attribute__((target("pclmul,sse4.1"))) inline __m128i Fold(__m128i x, __m128i k, __m128i at) {
  __m128i lo = _mm_clmulepi64_si128(x, k, 0x00);
  __m128i hi = _mm_clmulepi64_si128(x, k, 0x11);
  return _mm_xor_si128(_mm_xor_si128(lo, hi), at);
}

// The folded remainder is 16 message bytes whose CRC from a zero register is the running value.
__attribute__((target("pclmul,sse4.1"))) uint32_t Finish(__m128i x, const unsigned char* p,
                                                         size_t n) {
  const __m128i k128 = FoldPair<128>();
  for (; n >= 16; n -= 16, p += 16) x = Fold(x, k128, Load(p));
  alignas(16) unsigned char rest[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(rest), x);
  return Crc32Slicing(Crc32Slicing(0, rest, 16), p, n);
}

__attribute__((target("avx2,vpclmulqdq"))) inline __m256i Load256(const unsigned char* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

__attribute__((target("avx2,vpclmulqdq"))) inline __m256i Fold256(__m256i x, __m256i k,
                                                                  __m256i at) {
  __m256i lo = _mm256_clmulepi64_epi128(x, k, 0x00);
  __m256i hi = _mm256_clmulepi64_epi128(x, k, 0x11);
  return _mm256_xor_si256(_mm256_xor_si256(lo, hi), at);
}

template <unsigned kBits>
__attribute__((target("avx2,vpclmulqdq"))) inline __m256i FoldPair256() {
  constexpr auto lo = static_cast<long long>(FoldLow(kBits)),
                 hi = static_cast<long long>(FoldHigh(kBits));
  return _mm256_set_epi64x(hi, lo, hi, lo);
}

__attribute__((target("avx512f,vpclmulqdq"))) inline __m512i Load512(const unsigned char* p) {
  return _mm512_loadu_si512(p);
}

__attribute__((target("avx512f,vpclmulqdq"))) inline __m512i Fold512(__m512i x, __m512i k,
                                                                     __m512i at) {
  __m512i lo = _mm512_clmulepi64_epi128(x, k, 0x00);
  __m512i hi = _mm512_clmulepi64_epi128(x, k, 0x11);
  return _mm512_ternarylogic_epi64(lo, hi, at, 0x96);  // lo ^ hi ^ at
}

template <unsigned kBits>
__attribute__((target("avx512f,vpclmulqdq"))) inline __m512i FoldPair512() {
  constexpr auto lo = static_cast<long long>(FoldLow(kBits)),
                 hi = static_cast<long long>(FoldHigh(kBits));
  return _mm512_set_epi64(hi, lo, hi, lo, hi, lo, hi, lo);
}

}  // namespace

bool Crc32ClmulAvailable() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
}

__attribute__((target("pclmul,sse4.1"))) uint32_t Crc32Clmul(uint32_t crc,
                                                             const unsigned char* bytes,
                                                             size_t count) {
  if (count < 16) return Crc32Slicing(crc, bytes, count);
  const unsigned char* p = bytes;
  __m128i x0 = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
  if (count < 128) return Finish(x0, p + 16, count - 16);
  __m128i x1 = Load(p + 16), x2 = Load(p + 32), x3 = Load(p + 48);
  __m128i x4 = Load(p + 64), x5 = Load(p + 80), x6 = Load(p + 96), x7 = Load(p + 112);
  p += 128;
  count -= 128;
  // Eight independent chains: a fold waits for its multiplications (several cycles each), and
  // the multiplier can start one or two every cycle; four chains left it idle half the time.
  const __m128i k1024 = FoldPair<1024>();
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
  const __m128i k128 = FoldPair<128>();
  __m128i x = Fold(Fold(Fold(x0, k128, x1), k128, x2), k128, x3);
  x = Fold(Fold(Fold(Fold(x, k128, x4), k128, x5), k128, x6), k128, x7);
  return Finish(x, p, count);
}

bool Crc32Vpclmul256Available() {
  __builtin_cpu_init();
  return Crc32ClmulAvailable() && __builtin_cpu_supports("avx2") &&
         __builtin_cpu_supports("vpclmulqdq");
}

// Eight 256-bit chains, 256 bytes a step. Sixteen registers hold them and the constant, so
// nothing is spilled to the Win64 stack, which is not aligned for 256-bit values.
__attribute__((target("avx2,vpclmulqdq,pclmul,sse4.1"))) uint32_t Crc32Vpclmul256(
    uint32_t crc, const unsigned char* bytes, size_t count) {
  if (count < 256) return Crc32Clmul(crc, bytes, count);
  const unsigned char* p = bytes;
  __m256i y0 =
      _mm256_xor_si256(Load256(p), _mm256_setr_epi32(static_cast<int>(crc), 0, 0, 0, 0, 0, 0, 0));
  __m256i y1 = Load256(p + 32), y2 = Load256(p + 64), y3 = Load256(p + 96);
  __m256i y4 = Load256(p + 128), y5 = Load256(p + 160), y6 = Load256(p + 192),
          y7 = Load256(p + 224);
  p += 256;
  count -= 256;
  const __m256i k2048 = FoldPair256<2048>();
  for (; count >= 256; count -= 256, p += 256) {
    y0 = Fold256(y0, k2048, Load256(p));
    y1 = Fold256(y1, k2048, Load256(p + 32));
    y2 = Fold256(y2, k2048, Load256(p + 64));
    y3 = Fold256(y3, k2048, Load256(p + 96));
    y4 = Fold256(y4, k2048, Load256(p + 128));
    y5 = Fold256(y5, k2048, Load256(p + 160));
    y6 = Fold256(y6, k2048, Load256(p + 192));
    y7 = Fold256(y7, k2048, Load256(p + 224));
  }
  const __m256i k256 = FoldPair256<256>();
  __m256i y = Fold256(Fold256(Fold256(y0, k256, y1), k256, y2), k256, y3);
  y = Fold256(Fold256(Fold256(Fold256(y, k256, y4), k256, y5), k256, y6), k256, y7);
  for (; count >= 32; count -= 32, p += 32) y = Fold256(y, k256, Load256(p));
  // The lower lane moves forward by 128 bits onto the upper one.
  __m128i x = Fold(_mm256_castsi256_si128(y), FoldPair<128>(), _mm256_extracti128_si256(y, 1));
  return Finish(x, p, count);
}

bool Crc32VpclmulAvailable() {
  __builtin_cpu_init();
  return Crc32ClmulAvailable() && __builtin_cpu_supports("avx512f") &&
         __builtin_cpu_supports("vpclmulqdq");
}

// Win64 keeps the stack 16-byte aligned and GCC does not realign it for wider values, so this
// kernel has no aligned 512-bit buffer and loads unaligned; GCC spills 512-bit values there with
// unaligned moves. The Win32 build's code has no aligned 512-bit move on the stack (objdump).
__attribute__((target("avx512f,avx2,vpclmulqdq,pclmul,sse4.1"))) uint32_t Crc32Vpclmul(
    uint32_t crc, const unsigned char* bytes, size_t count) {
  if (count < 512) return Crc32Vpclmul256(crc, bytes, count);
  const unsigned char* p = bytes;
  __m512i z0 = _mm512_xor_si512(Load512(p), _mm512_maskz_set1_epi32(1, static_cast<int>(crc)));
  __m512i z1 = Load512(p + 64), z2 = Load512(p + 128), z3 = Load512(p + 192);
  __m512i z4 = Load512(p + 256), z5 = Load512(p + 320), z6 = Load512(p + 384),
          z7 = Load512(p + 448);
  p += 512;
  count -= 512;
  // Eight chains, as in the narrower kernels: with four, a processor that splits each 512-bit
  // multiplication in two halves waited on the chains.
  const __m512i k4096 = FoldPair512<4096>();
  for (; count >= 512; count -= 512, p += 512) {
    z0 = Fold512(z0, k4096, Load512(p));
    z1 = Fold512(z1, k4096, Load512(p + 64));
    z2 = Fold512(z2, k4096, Load512(p + 128));
    z3 = Fold512(z3, k4096, Load512(p + 192));
    z4 = Fold512(z4, k4096, Load512(p + 256));
    z5 = Fold512(z5, k4096, Load512(p + 320));
    z6 = Fold512(z6, k4096, Load512(p + 384));
    z7 = Fold512(z7, k4096, Load512(p + 448));
  }
  const __m512i k512 = FoldPair512<512>();
  __m512i z = Fold512(Fold512(Fold512(z0, k512, z1), k512, z2), k512, z3);
  z = Fold512(Fold512(Fold512(Fold512(z, k512, z4), k512, z5), k512, z6), k512, z7);
  for (; count >= 64; count -= 64, p += 64) z = Fold512(z, k512, Load512(p));
  // Lanes 0..2 move forward by 384, 256 and 128 bits onto lane 3, which stays as it is.
  constexpr uint64_t kLanes[6] = {FoldLow(384),  FoldHigh(384), FoldLow(256),
                                  FoldHigh(256), FoldLow(128),  FoldHigh(128)};
  const __m512i lanes =
      _mm512_set_epi64(0, 0, static_cast<long long>(kLanes[5]), static_cast<long long>(kLanes[4]),
                       static_cast<long long>(kLanes[3]), static_cast<long long>(kLanes[2]),
                       static_cast<long long>(kLanes[1]), static_cast<long long>(kLanes[0]));
  __m512i f = Fold512(z, lanes, _mm512_maskz_mov_epi64(0xC0, z));
  // The zero-masked extract, because the plain one trips a false warning in GCC 12's header.
  __m128i x = _mm_xor_si128(_mm_xor_si128(_mm512_maskz_extracti32x4_epi32(0xF, f, 0),
                                          _mm512_maskz_extracti32x4_epi32(0xF, f, 1)),
                            _mm_xor_si128(_mm512_maskz_extracti32x4_epi32(0xF, f, 2),
                                          _mm512_maskz_extracti32x4_epi32(0xF, f, 3)));
  return Finish(x, p, count);
}
