// What the reports of the modes share: the banner, the shown path of a record, the lists of
// new and missing entries, and the check that standard output took all of it (a report that
// did not reach it must not pass as done).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "core/table.h"
#include "modes/settings.h"

class ReportWriter;

/// "\n\n" and the dashed line with the time now (ctime's text, line feed included), into out.
/// Returns out.
const char* ReportBanner(char* out, size_t cap);

/// The start path followed by record idx's long relative path, in the console's code page,
/// into out (2*MAX_PATH bytes); idx < 0 gives the start path alone, and so does a path too
/// long for any buffer. Returns out.
const char* ShownPath(const Table& t, long idx, char* out);

struct MarkedCounts {
  int dirs = 0;
  int files = 0;
};

/// "+ Dir:  path" or "+ File: path" for each record marked stNEW ("-" for stGONE) whose name
/// matches the mask and that is not part of a move, in table order; beforeFirst runs once,
/// before the first line.
MarkedCounts ListMarked(ReportWriter& report, const Table& t, uint16_t mark,
                        const std::function<void()>& beforeFirst);
/// The records ListMarked would list, counted without a line.
MarkedCounts CountMarked(const Table& t, uint16_t mark);

/// A line feed between the parts of a report. Under --quiet it is left out until something was
/// reported, so that a run with nothing to report writes nothing at all.
void Separator(const RunSettings& s, bool reported);

/// 0 when everything printed to standard output so far has been written; otherwise the error
/// number of the first failure seen (EIO when the system gave none).
int ReportWriteError();

/// " *** Error: Report not written, data file not saved: %s\n" and the like: a mode that has
/// said why its report failed notes it, so that the end of the run does not say it again.
void NoteReportFailureTold();
bool ReportFailureTold();

/// " *** Error: Start path not found: %s\n" for a start directory that is gone (error ENOENT or
/// ENOTDIR); for one that is there but cannot be read, " *** Error: Start path not readable:
/// %s\n" and the reason.
void StartPathError(const char* path, int error);
