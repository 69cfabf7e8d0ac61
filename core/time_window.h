// When two time stamps of one entry count as the same: within the --time-window, so that
// a copy made by a tool or file system that keeps whole seconds (tar) or two (FAT) compares
// equal to its source.
#pragma once

#include <cstdint>

#include "platform/platform.h"

/// The largest --time-window, in seconds: a year of 366 days.
constexpr uint32_t kMaxTimeWindow = 86400u * 366u;

/// Whether a and b differ by no more than window seconds (0: only equal times). Every time
/// check of Scan and Compare goes through here.
bool TimesEqual(const FILETIME& a, const FILETIME& b, uint32_t window);
