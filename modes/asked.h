// Warnings where a task's tree or catalogue does not bear out what the command line asked for.
#pragma once

#include <cstdint>

#include "core/table.h"

/// " *** Warning: Nothing matches the file mask: %s\n" (the argument as typed) when the task's
/// mask holds no wildcard and its walk found no entry of that name: most often a mistyped path.
/// True when it warned.
bool NothingMatches(const Table& t);

/// " *** Warning: Without -s only the first level is checked: %s\n" (the data file) when the
/// task's catalogue holds deeper levels and sub is not set.
void WarnFirstLevelOnly(const Table& t, uint32_t sub);

/// Test lists data files: a task that names none (no argument, or a mask such as *.crc) gets
/// " *** Warning: No data file to list: %s\n" (the argument), and true.
bool NoDataFileToList(const Table& t);
