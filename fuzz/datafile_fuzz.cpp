// libFuzzer target for the data-file reader. Any bytes, read as a data file, must neither
// crash, leak nor trip a sanitizer; TestFile and ReadDataFile must agree; and a table that
// reads cleanly must save and read back unchanged.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
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

bool SameRecord(const Record& a, const Record& b) {
  return a.dwAttr == b.dwAttr && memcmp(&a.ftCreate, &b.ftCreate, sizeof a.ftCreate) == 0 &&
         memcmp(&a.ftAccess, &b.ftAccess, sizeof a.ftAccess) == 0 &&
         memcmp(&a.ftWrite, &b.ftWrite, sizeof a.ftWrite) == 0 && a.qwSize == b.qwSize &&
         a.dwReserved0 == b.dwReserved0 && a.dwReserved1 == b.dwReserved1 &&
         memcmp(a.cShortName, b.cShortName, kShortNameLen) == 0 && a.dwCRC == b.dwCRC &&
         a.dwUpIdx == b.dwUpIdx && strcmp(a.LongName(), b.LongName()) == 0;
}

void CheckRoundTrip(Table& t, const std::string& copyPath) {
  snprintf(t.cDataFile, MAX_PATH, "%s", copyPath.c_str());
  Check(t.SaveDataFile(0) == 0, "a table read cleanly cannot be saved");
  Table back;
  snprintf(back.cDataFile, MAX_PATH, "%s", copyPath.c_str());
  Check(back.ReadDataFile() == 0, "a saved table does not read back");
  Check(strcmp(t.cStartPath, back.cStartPath) == 0, "start path changed");
  Check(strcmp(t.cFileMask, back.cFileMask) == 0, "file mask changed");
  Check(t.records.size() == back.records.size(), "record count changed");
  for (size_t i = 0; i < t.records.size(); ++i)
    Check(SameRecord(t.records[i], back.records[i]), "a record changed");
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
  int code = probe.TestFile(input.c_str());
  Check(code == 0 || code == 2 || code == 3, "TestFile code out of range for a plain file");
  Table t;
  snprintf(t.cDataFile, MAX_PATH, "%s", input.c_str());
  int rc = t.ReadDataFile();
  Check(rc == 0 || rc == kDataFileDamaged, "ReadDataFile failed on a readable file");
  if (code != 0) Check(t.records.empty(), "a file TestFile refused gave records");
  if (rc == kDataFileDamaged) Check(t.records.empty(), "a damaged file left records");
  if (rc == 0 && code == 0) {
    Check(strcmp(probe.cStartPath, t.cStartPath) == 0, "TestFile and ReadDataFile disagree");
    CheckRoundTrip(t, copy);
  }
  return 0;
}
