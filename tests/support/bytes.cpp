// Bytes of files and their checksums, shared by the tests.
#include "tests/support/bytes.h"

#include <cstdio>
#include <fstream>
#include <iterator>

#include "core/crc32shr.h"

uint32_t CrcOf(const std::string& bytes) {
  uint32_t crc;
  CRCInit(&crc);
  CRCUpdate(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), &crc);
  CRCFinal(&crc);
  return crc;
}

std::string Hex(uint32_t crc) {
  char text[16];
  snprintf(text, sizeof text, "%08X", static_cast<unsigned>(crc));
  return text;
}

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}
