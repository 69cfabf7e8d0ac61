// A catalogue the program saved, read back through the reader for what the tests check in it.
#pragma once

#include <string>
#include <vector>

#include "core/table.h"

/// The table stored at path. With code, ReadDataFile's result goes there; without, the read is
/// expected to succeed (a failure fails the test).
Table ReadCatalogue(const std::string& path, int* code = nullptr);
/// Every record's path relative to the start path, one per record, in table order.
std::vector<std::string> StoredPaths(const Table& t);
