// libFuzzer target for the data-file reader. Any bytes, read as a data file, must neither
// crash, leak nor trip a sanitizer; TestFile and ReadDataFile must agree; and whatever the
// reader accepts must save back to the same bytes (the reader takes only what the writer
// writes).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "core/table.h"
#include "store/datafile.h"

namespace {

std::string ScratchPath(const char* tag) {
  std::string name = "vantel-fuzz-" + std::to_string(_getpid()) + tag;
  return (std::filesystem::temp_directory_path() / name).string();
}

void Check(bool ok, const char* what) {
  if (ok) return;
  fprintf(stderr, "datafile_fuzz: %s\n", what);
  abort();
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The bytes a table read from `input` saves as: the same, except that a short name keeps only
// its bytes up to its first NUL (the rest of its 14 bytes is written as NULs).
std::string Normalised(std::string input, size_t records) {
  size_t at = 0;
  for (int line = 0; line < 4; ++line) at = input.find('\n', at) + 1;
  for (size_t i = 0; i < records; ++i, at += kRecordBytes) {
    size_t end = at;
    while (end < at + kShortNameLen && input[end] != '\0') ++end;
    for (; end < at + kShortNameLen; ++end) input[end] = '\0';
  }
  return input;
}

// Whatever the reader accepts saves back to the same bytes.
void CheckSavesBack(Table& t, const std::string& input, const std::string& copyPath) {
  _unlink(copyPath.c_str());
  snprintf(t.cDataFile, MAX_PATH, "%s", copyPath.c_str());
  Check(SaveDataFile(t, 0) == 0, "a table read cleanly cannot be saved");
  Check(ReadAll(copyPath) == Normalised(input, t.records.size()),
        "a table read cleanly saves other bytes");
}

// The two scratch files, removed when the fuzzer exits.
struct Scratch {
  std::string input = ScratchPath(".in");
  std::string copy = ScratchPath(".out");
  ~Scratch() {
    _unlink(input.c_str());
    _unlink(copy.c_str());
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const Scratch scratch;
  const std::string& input = scratch.input;
  const std::string& copy = scratch.copy;
  std::ofstream(input, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

  Table probe;
  int code = TestFile(probe, input.c_str());
  Check(code == 0 || code == 2 || code == 3, "TestFile code out of range for a plain file");
  Table t;
  snprintf(t.cDataFile, MAX_PATH, "%s", input.c_str());
  int rc = ReadDataFile(t);
  Check(rc == 0 || rc == 1, "ReadDataFile code out of range");
  Check((code == 0) == (rc == 0), "TestFile and ReadDataFile disagree");
  if (rc != 0) Check(t.records.empty(), "a refused file left records");
  if (rc == 0) {
    Check(strcmp(probe.cStartPath, t.cStartPath) == 0, "TestFile and ReadDataFile disagree");
    CheckSavesBack(t, std::string(reinterpret_cast<const char*>(data), size), copy);
  }
  return 0;
}
