// One routine per mode. Each returns its verdict (core/verdict.h): kExitClean when it did its
// work and found nothing that needs attention, kExitFinding for damage found by Scan or any
// difference found by Compare, kExitTrouble when a data file or tree was refused or a report
// or catalogue could not be written.
#pragma once

#include <cstdint>
#include <vector>

#include "core/table.h"
#include "core/verdict.h"
#include "modes/settings.h"

/// Info: the listing of live trees. Test: the listing of data files.
int InfoMode(std::vector<Table>& tables, const RunSettings& s);
int TestMode(std::vector<Table>& tables, const RunSettings& s);
/// Scan: each task's catalogue checked against its tree, reported and saved (with readOnly, not
/// saved); moves paired under moves; acceptDamaged, acceptEmpty, archive and acceptMissing as
/// their options say.
int ScanMode(std::vector<Table>& tables, const RunSettings& s);
/// Compare: the first task's tree (or catalogue) against the second's.
int compare(std::vector<Table>& tables, const RunSettings& s);
/// The duplicate finder on the run's tasks: with debug, every file is checksummed (for the
/// dump), not only those whose size another file shares.
int FindDuplicates(std::vector<Table>& tables, const RunSettings& s);
/// The search and report of FindDuplicates on tables already loaded and checksummed.
int ReportDuplicates(std::vector<Table>& tables, const RunSettings& s);
