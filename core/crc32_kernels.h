// The CRC-32 kernels behind CRCUpdate. Each folds bytes into a running value (no initial or
// final complement), so calls over consecutive pieces compose. CRCUpdate picks the fastest one
// the processor supports; tests and benchmarks call them directly.
#pragma once

#include <cstddef>
#include <cstdint>

/// One table lookup per byte: the reference every other kernel must equal.
uint32_t Crc32Bytewise(uint32_t crc, const unsigned char* bytes, size_t count);

/// Sixteen bytes per step through sixteen tables; portable.
uint32_t Crc32Slicing(uint32_t crc, const unsigned char* bytes, size_t count);

/// Carry-less-multiply folding over 128-bit registers (PCLMULQDQ, SSE4.1), eight chains.
bool Crc32ClmulAvailable();
uint32_t Crc32Clmul(uint32_t crc, const unsigned char* bytes, size_t count);

/// The same folding over 256-bit registers (VPCLMULQDQ with AVX2, no AVX-512 needed).
bool Crc32Vpclmul256Available();
uint32_t Crc32Vpclmul256(uint32_t crc, const unsigned char* bytes, size_t count);

/// The same folding over 512-bit registers (VPCLMULQDQ, AVX-512).
bool Crc32VpclmulAvailable();
uint32_t Crc32Vpclmul(uint32_t crc, const unsigned char* bytes, size_t count);

/// ARMv8's CRC32 instructions, eight bytes each, over three streams whose values are combined.
bool Crc32ArmCrcAvailable();
uint32_t Crc32ArmCrc(uint32_t crc, const unsigned char* bytes, size_t count);

/// Folding with ARMv8's polynomial multiply (PMULL) over 128-bit registers, eight chains.
bool Crc32PmullAvailable();
uint32_t Crc32Pmull(uint32_t crc, const unsigned char* bytes, size_t count);
