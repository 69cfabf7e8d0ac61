// Standard output carries the reports: a report that did not reach it must not pass as done.
#pragma once

// 0 when everything printed to standard output so far has been written; otherwise the error
// number of the first failure seen (EIO when the system gave none).
int ReportWriteError();

// " *** Error: Report not written, data file not saved: %s\n" and the like: a mode that has
// said why its report failed notes it, so that the end of the run does not say it again.
void NoteReportFailureTold();
bool ReportFailureTold();
