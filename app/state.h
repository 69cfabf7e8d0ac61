// Run-wide state: the option word, the task list and the listing's column format. Only the
// command-line parser writes them.
#pragma once

#include <cstdint>
#include <vector>

#include "core/switches.h"
#include "core/table.h"

constexpr int kOutputFormatSize = 256;
constexpr const char* kDefaultDataFile = "vantel32.crc";

extern std::vector<Table> tables;
extern uint32_t cmd;
extern char cOutputFormat[kOutputFormatSize];
