// Throughput of each CRC-32 kernel over a buffer larger than the level-2 cache.
#include <benchmark/benchmark.h>

#include <vector>

#include "core/crc32_kernels.h"

namespace {

constexpr size_t kBufferBytes = size_t{4} << 20;

const std::vector<unsigned char>& Buffer() {
  static const std::vector<unsigned char> buffer = [] {
    std::vector<unsigned char> b(kBufferBytes);
    uint32_t seed = 1;
    for (auto& byte : b) {
      seed = seed * 1664525u + 1013904223u;
      byte = static_cast<unsigned char>(seed >> 24);
    }
    return b;
  }();
  return buffer;
}

template <uint32_t (*Kernel)(uint32_t, const unsigned char*, size_t)>
void Run(benchmark::State& state, bool available) {
  if (!available) {
    state.SkipWithError("processor lacks the instructions");
    return;
  }
  const auto& buffer = Buffer();
  for (auto _ : state) {
    benchmark::DoNotOptimize(Kernel(0xFFFFFFFFu, buffer.data(), buffer.size()));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(buffer.size()));
}

void BM_Bytewise(benchmark::State& state) {
  Run<Crc32Bytewise>(state, true);
}
void BM_Slicing16(benchmark::State& state) {
  Run<Crc32Slicing>(state, true);
}
void BM_Clmul(benchmark::State& state) {
  Run<Crc32Clmul>(state, Crc32ClmulAvailable());
}
void BM_Vpclmul(benchmark::State& state) {
  Run<Crc32Vpclmul>(state, Crc32VpclmulAvailable());
}

BENCHMARK(BM_Bytewise);
BENCHMARK(BM_Slicing16);
BENCHMARK(BM_Clmul);
BENCHMARK(BM_Vpclmul);

}  // namespace

BENCHMARK_MAIN();
