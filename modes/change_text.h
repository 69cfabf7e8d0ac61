// The texts of a change block's lines, one per checked field: the stored value, then what the
// entry holds now. Scan and Compare of live trees and Compare of two catalogues share them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

/// "OLD -> NEW" of two short names (14 bytes each, not necessarily terminated), OEM.
void ShortNameChange(const char* stored, const char* now, char* out, size_t cap);
/// "time  ->  time".
void TimeChange(const FILETIME& stored, const FILETIME& now, char* out, size_t cap);
/// The new size and the signed difference: "90 (-10)".
void SizeChange(uint64_t stored, uint64_t now, char* out, size_t cap);
/// "XXXXXXXX  ->  XXXXXXXX".
void CrcChange(uint32_t stored, uint32_t now, char* out, size_t cap);
