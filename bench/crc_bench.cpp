// Throughput of each CRC-32 kernel over the readers' 64 KiB chunk, which stays in the cache, and
// over a buffer larger than the level-2 cache. BM_ReadFloor only loads the bytes: where it is no
// faster than a kernel, the caches, not the kernel, set the pace.
#include <benchmark/benchmark.h>

#include <cstring>

#include "bench/crc_buffer.h"
#include "core/crc32_kernels.h"

namespace {

template <uint32_t (*Kernel)(uint32_t, const unsigned char*, size_t)>
void Run(benchmark::State& state, bool available) {
  if (!available) {
    state.SkipWithError("processor lacks the instructions");
    return;
  }
  const auto& buffer = CrcBenchBuffer();
  const size_t size = static_cast<size_t>(state.range(0));
  for (auto _ : state) {
    benchmark::DoNotOptimize(Kernel(0xFFFFFFFFu, buffer.data(), size));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
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
void BM_Vpclmul256(benchmark::State& state) {
  Run<Crc32Vpclmul256>(state, Crc32Vpclmul256Available());
}
void BM_Vpclmul(benchmark::State& state) {
  Run<Crc32Vpclmul>(state, Crc32VpclmulAvailable());
}
void BM_ArmCrc(benchmark::State& state) {
  Run<Crc32ArmCrc>(state, Crc32ArmCrcAvailable());
}
void BM_Pmull(benchmark::State& state) {
  Run<Crc32Pmull>(state, Crc32PmullAvailable());
}

// Eight independent 64-bit lanes, so that loads, not the additions, are the limit.
uint64_t ReadAll(const unsigned char* p, size_t n) {
  uint64_t lane[8] = {};
  for (size_t i = 0; i + 64 <= n; i += 64) {
    for (int k = 0; k < 8; ++k) {
      uint64_t word;
      std::memcpy(&word, p + i + 8 * k, sizeof word);
      lane[k] ^= word;
    }
  }
  uint64_t sum = 0;
  for (uint64_t l : lane) sum ^= l;
  return sum;
}

void BM_ReadFloor(benchmark::State& state) {
  const auto& buffer = CrcBenchBuffer();
  const size_t size = static_cast<size_t>(state.range(0));
  for (auto _ : state) {
    benchmark::DoNotOptimize(ReadAll(buffer.data(), size));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

BENCHMARK(BM_ReadFloor)->Arg(kCrcChunk)->Arg(kCrcLarge);
BENCHMARK(BM_Bytewise)->Arg(kCrcChunk)->Arg(kCrcLarge);
BENCHMARK(BM_Slicing16)->Arg(kCrcChunk)->Arg(kCrcLarge);
BENCHMARK(BM_Clmul)->Arg(kCrcChunk)->Arg(kCrcLarge);
BENCHMARK(BM_Vpclmul256)->Arg(kCrcChunk)->Arg(kCrcLarge);
BENCHMARK(BM_Vpclmul)->Arg(kCrcChunk)->Arg(kCrcLarge);
BENCHMARK(BM_ArmCrc)->Arg(kCrcChunk)->Arg(kCrcLarge);
BENCHMARK(BM_Pmull)->Arg(kCrcChunk)->Arg(kCrcLarge);

}  // namespace

BENCHMARK_MAIN();
