// Saving and reading a data file of a million records with names of about 20 characters, in
// the system's temporary directory (the save includes its fsync). Run with 2>/dev/null: every
// call prints its progress lines to standard error.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "core/table.h"
#include "store/datafile.h"

namespace {

constexpr uint32_t kRecords = 1000000;
constexpr uint32_t kFilesPerDir = 999;

std::string DataPath() {
  static const std::string path = (std::filesystem::temp_directory_path() /
                                   ("vantel-bench-" + std::to_string(_getpid()) + ".dat"))
                                      .string();
  return path;
}

// A thousand directories at the top, each followed by its files.
const Table& BigTable() {
  static const Table table = [] {
    Table t;
    snprintf(t.cStartPath, MAX_PATH, "/home/user/projects/");
    snprintf(t.cFileMask, MAX_PATH, "*.*");
    snprintf(t.cDataFile, MAX_PATH, "%s", DataPath().c_str());
    t.records.reserve(kRecords);
    WIN32_FIND_DATAA fd = {};
    uint32_t dirIdx = 0;
    for (uint32_t i = 0; i < kRecords; ++i) {
      bool dir = i % (kFilesPerDir + 1) == 0;
      snprintf(fd.cFileName, sizeof fd.cFileName, dir ? "directory-%07u-x" : "file-%07u-abcd.txt",
               i);
      fd.dwFileAttributes = dir ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
      fd.nFileSizeLow = dir ? 0 : i * 37;
      fd.ftLastWriteTime = FILETIME{i, 0x01D00000};
      t.records.emplace_back(fd, dir ? 0 : dirIdx);
      t.records.back().dwCRC = i * 2654435761u;
      if (dir) dirIdx = i + 1;
    }
    return t;
  }();
  return table;
}

void BM_SaveDataFile(benchmark::State& state) {
  Table& t = const_cast<Table&>(BigTable());
  for (auto _ : state) {
    if (SaveDataFile(t, 0) != 0) state.SkipWithError("save failed");
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kRecords);
}
BENCHMARK(BM_SaveDataFile)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ReadDataFile(benchmark::State& state) {
  Table& source = const_cast<Table&>(BigTable());
  if (SaveDataFile(source, 0) != 0) state.SkipWithError("save failed");
  for (auto _ : state) {
    Table t;
    snprintf(t.cDataFile, MAX_PATH, "%s", DataPath().c_str());
    if (ReadDataFile(t) != 0 || t.records.size() != kRecords) state.SkipWithError("read failed");
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kRecords);
  std::remove(DataPath().c_str());
}
BENCHMARK(BM_ReadDataFile)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
