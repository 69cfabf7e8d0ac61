// Compact of tables of 10^5 and 10^6 records with every tenth directory gone (it must scale
// linearly), and BuildTree of a generated tree of 100,000 entries. Run with 2>/dev/null: the
// walk prints its progress lines to standard error.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/rules.h"
#include "core/table.h"

namespace {

// Directories of nine files each; every tenth directory is marked gone.
Table CompactTable(uint32_t records) {
  Table t;
  t.records.reserve(records);
  WIN32_FIND_DATAA fd = {};
  uint32_t dir = 0;
  for (uint32_t i = 0; i < records; ++i) {
    bool isDir = i % 10 == 0;
    snprintf(fd.cFileName, sizeof fd.cFileName, isDir ? "dir-%07u" : "file-%07u.txt", i);
    fd.dwFileAttributes = isDir ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    t.records.emplace_back(fd, isDir ? (i == 0 ? 0 : 1) : dir);
    if (isDir) {
      dir = i + 1;
      if (i % 100 == 10) t.records.back().wStatus = stGONE;
    }
  }
  return t;
}

void BM_Compact(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    Table t = CompactTable(static_cast<uint32_t>(state.range(0)));
    state.ResumeTiming();
    t.Compact();
    benchmark::DoNotOptimize(t.records.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Compact)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// 1,000 directories of 99 files: 100,000 entries.
std::string TreeRoot() {
  static const std::string root = [] {
    auto dir = std::filesystem::temp_directory_path() / "vantel-bench-tree";
    if (!std::filesystem::exists(dir / "done")) {
      for (int d = 0; d < 1000; ++d) {
        auto sub = dir / ("d" + std::to_string(d));
        std::filesystem::create_directories(sub);
        for (int f = 0; f < 99; ++f) std::ofstream(sub / ("f" + std::to_string(f) + ".txt"));
      }
      std::ofstream(dir / "done");
    }
    return dir.string() + kPathSep;
  }();
  return root;
}

void BM_BuildTree(benchmark::State& state) {
  Table t;
  snprintf(t.cStartPath, MAX_PATH, "%s", TreeRoot().c_str());
  snprintf(t.cFileMask, MAX_PATH, "*.*");
  for (auto _ : state) t.BuildTree(1, WalkRules());
  state.SetItemsProcessed(state.iterations() * t.records.size());
}
BENCHMARK(BM_BuildTree)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
