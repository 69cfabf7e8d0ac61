// One routine per mode. Each returns the run's exit status: 0 when it did its work (changes
// or differences found included), 1 when it ended on a data-file error or could not write.
#pragma once

#include <cstdint>
#include <vector>

#include "core/table.h"

int InfoMode(std::vector<Table>& tables, uint32_t sub, uint32_t lists, uint32_t emptyFolders);
int TestMode(std::vector<Table>& tables, uint32_t sub, uint32_t lists, uint32_t emptyFolders);
int ScanMode(std::vector<Table>& tables, uint32_t sub, uint32_t noTime, uint32_t noAttr,
             uint32_t noCrc, uint32_t noSize, uint32_t noPath);
int compare(std::vector<Table>& tables, uint32_t sub, uint32_t noTime, uint32_t noAttr,
            uint32_t noCrc, uint32_t noSize);
// full: checksum every file, not only those whose size another file shares (for the dump).
int FindDuplicates(std::vector<Table>& tables, uint32_t sub, uint32_t full = 0);
// The search and report of FindDuplicates on tables already loaded and checksummed.
int ReportDuplicates(std::vector<Table>& tables);
