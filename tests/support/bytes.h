// Bytes of files and their checksums, as the tests of every folder write and expect them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

/// CRC-32 of bytes through the engine's own steps (CRCInit, CRCUpdate, CRCFinal).
uint32_t CrcOf(const std::string& bytes);
/// A CRC as the reports print it: eight upper-case hexadecimal digits.
std::string Hex(uint32_t crc);

/// The whole file as raw bytes; empty when it cannot be read.
std::string ReadBytes(const std::filesystem::path& path);
/// Creates or replaces the file with exactly these bytes.
void WriteBytes(const std::filesystem::path& path, const std::string& bytes);
