// One routine per mode. Each returns the run's exit status: 0 when it did its work (changes
// or differences found included), 1 when it ended on a data-file error or could not write.
#pragma once

#include <cstdint>
#include <vector>

#include "core/table.h"

/// format: the listing's column codes; debug: a heading with each table's size and start path.
int InfoMode(std::vector<Table>& tables, uint32_t sub, uint32_t lists, uint32_t emptyFolders,
             const char* format, uint32_t debug);
int TestMode(std::vector<Table>& tables, uint32_t sub, uint32_t lists, uint32_t emptyFolders,
             const char* format, uint32_t debug);
/// readOnly: report, but neither compact nor save the tables. pairMoves: a missing and a new
/// entry that are one entry moved are reported as a move (--moves).
int ScanMode(std::vector<Table>& tables, uint32_t sub, uint32_t noTime, uint32_t noAttr,
             uint32_t noCrc, uint32_t noSize, uint32_t noPath, uint32_t readOnly,
             uint32_t pairMoves);
int compare(std::vector<Table>& tables, uint32_t sub, uint32_t noTime, uint32_t noAttr,
            uint32_t noCrc, uint32_t noSize, uint32_t pairMoves);
// full: checksum every file, not only those whose size another file shares (for the dump).
int FindDuplicates(std::vector<Table>& tables, uint32_t sub, uint32_t full = 0);
// The search and report of FindDuplicates on tables already loaded and checksummed.
int ReportDuplicates(std::vector<Table>& tables);
