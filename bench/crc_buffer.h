// The buffer the CRC-32 benchmarks share, pseudo-random bytes, and the lengths they take of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int64_t kCrcChunk = int64_t{64} << 10;  // what a reader checksums at a time
constexpr int64_t kCrcLarge = int64_t{4} << 20;

inline const std::vector<unsigned char>& CrcBenchBuffer() {
  static const std::vector<unsigned char> buffer = [] {
    std::vector<unsigned char> b(static_cast<size_t>(kCrcLarge));
    uint32_t seed = 1;
    for (auto& byte : b) {
      seed = seed * 1664525u + 1013904223u;
      byte = static_cast<unsigned char>(seed >> 24);
    }
    return b;
  }();
  return buffer;
}
