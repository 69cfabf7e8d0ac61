// One routine per mode. Each returns its verdict (core/verdict.h): kExitClean when it did its
// work and found nothing that needs attention, kExitFinding for damage found by Scan or any
// difference found by Compare, kExitTrouble when a data file or tree was refused or a report
// or catalogue could not be written.
#pragma once

#include <cstdint>
#include <vector>

#include "core/table.h"
#include "core/verdict.h"

/// format: the listing's column codes; debug: a heading with each table's size and start path.
int InfoMode(std::vector<Table>& tables, uint32_t sub, uint32_t lists, uint32_t emptyFolders,
             const char* format, uint32_t debug);
int TestMode(std::vector<Table>& tables, uint32_t sub, uint32_t lists, uint32_t emptyFolders,
             const char* format, uint32_t debug);
/// readOnly: report, but neither compact nor save the tables. pairMoves: a missing and a new
/// entry that are one entry moved are reported as a move (--moves). acceptDamaged: damaged
/// files get their new CRC saved (--accept-damaged). acceptEmpty: a catalogue whose every
/// entry is missing is saved all the same (--accept-empty). archive: a stored file that is
/// missing or whose contents changed is a finding and keeps its record (--archive);
/// acceptMissing lets the missing ones go (--accept-missing).
int ScanMode(std::vector<Table>& tables, uint32_t sub, uint32_t noTime, uint32_t noAttr,
             uint32_t noCrc, uint32_t noSize, uint32_t noPath, uint32_t readOnly,
             uint32_t pairMoves, uint32_t acceptDamaged = 0, uint32_t acceptEmpty = 0,
             uint32_t archive = 0, uint32_t acceptMissing = 0);
int compare(std::vector<Table>& tables, uint32_t sub, uint32_t noTime, uint32_t noAttr,
            uint32_t noCrc, uint32_t noSize, uint32_t pairMoves);
// full: checksum every file, not only those whose size another file shares (for the dump).
int FindDuplicates(std::vector<Table>& tables, uint32_t sub, uint32_t full = 0);
// The search and report of FindDuplicates on tables already loaded and checksummed.
int ReportDuplicates(std::vector<Table>& tables);
