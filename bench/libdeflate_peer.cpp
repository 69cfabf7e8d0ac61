// libdeflate's crc32 over the same buffer as our kernels, so that one run shows both.
#include <benchmark/benchmark.h>
#include <libdeflate.h>

#include "bench/crc_buffer.h"

namespace {

void BM_Libdeflate(benchmark::State& state) {
  const auto& buffer = CrcBenchBuffer();
  const size_t size = static_cast<size_t>(state.range(0));
  for (auto _ : state) {
    benchmark::DoNotOptimize(libdeflate_crc32(0, buffer.data(), size));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

BENCHMARK(BM_Libdeflate)->Arg(kCrcChunk)->Arg(kCrcLarge);

}  // namespace
