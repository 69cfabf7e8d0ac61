// Builds the bytes of a data file by hand, so that tests of the modes can hand the program
// stored tables (with checksums of their own choosing) without going through Scan.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace datafile {

struct StoredRecord {
  std::string name;  // long name; the short name is its first 14 bytes
  uint32_t attr = 0x20;
  uint64_t size = 0;
  uint32_t crc = 0;
  uint32_t up = 0;  // 1-based parent index, 0 directly under the start path
  uint64_t created = 0x01D0000000000000ull;  // FILETIMEs
  uint64_t accessed = 0x01D0000000000001ull;
  uint64_t written = 0x01D0000000000002ull;
  uint32_t reserved0 = 0;
  uint32_t reserved1 = 0;
};

inline void PutLe(std::string* out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

inline std::string Image(const std::string& start, const std::string& mask,
                         const std::vector<StoredRecord>& records) {
  std::string out =
      "VNT CRC Ver. 2.01\n" + start + "\n" + mask + "\n" + std::to_string(records.size()) + "\n";
  for (const StoredRecord& r : records) {
    std::string shortName = r.name.substr(0, 14);
    shortName.resize(14, '\0');
    out += shortName;
    PutLe(&out, r.attr, 4);
    PutLe(&out, r.created, 8);
    PutLe(&out, r.accessed, 8);
    PutLe(&out, r.written, 8);
    PutLe(&out, r.size, 8);
    PutLe(&out, r.reserved0, 4);
    PutLe(&out, r.reserved1, 4);
    PutLe(&out, r.crc, 4);
    PutLe(&out, r.up, 4);
  }
  for (const StoredRecord& r : records) out += r.name + "\n";
  return out;
}

}  // namespace datafile
