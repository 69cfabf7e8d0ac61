// The listing of one table, shared by Info, Test and the debug dump.
#pragma once

#include "core/table.h"

/// t as columns (format: their codes): one list per directory (lists) or one long list, then
/// the totals. withNoMatch: directories kept only to reach deeper ones are listed too. debug: a
/// heading with the record count and the start path first.
void PrintTable(const Table& t, const char* format, int lists, int emptyFolders, int withNoMatch,
                int debug = 0);
