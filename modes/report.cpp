// The reports' shared pieces: banner, shown paths, marked lists, and write failures seen.
#include "modes/report.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "core/progress.h"
#include "core/reason.h"
#include "core/tell.h"
#include "core/walk.h"
#include "modes/report_writer.h"
#include "store/format.h"

namespace {

int firstError = 0;
bool told = false;

}  // namespace

const char* ReportBanner(char* out, size_t cap) {
  time_t now = time(nullptr);
  snprintf(out, cap, "\n\n-----------------------------------------------  %s", ctime(&now));
  return out;
}

const char* ShownPath(const Table& t, long idx, char* out) {
  size_t base = strlen(t.cStartPath);
  memcpy(out, t.cStartPath, base + 1);
  if (idx >= 0) t.ComposeLongPath(static_cast<unsigned>(idx), out + base, 2 * MAX_PATH - base);
  CharToOemA(out, out);
  return out;
}

void StartPathError(const char* path, int error) {
  char shown[MAX_PATH];
  ShowPlain(path, shown, sizeof shown);
  if (IsGone(error)) {
    Tell(" *** Error: Start path not found: %s\n", shown);
    return;
  }
  Tell(" *** Error: Start path not readable: %s\n", shown);
  PrintReason(error);
}

namespace {

bool Listed(const Record& r, uint16_t mark) {
  return (r.wStatus & mark) && !(r.wStatus & stMOVED) && !(r.dwAttr & atNOMATCH);
}

}  // namespace

MarkedCounts CountMarked(const Table& t, uint16_t mark) {
  MarkedCounts counts;
  for (const Record& r : t.records)
    if (Listed(r, mark)) ++(r.IsDir() ? counts.dirs : counts.files);
  return counts;
}

MarkedCounts ListMarked(ReportWriter& report, const Table& t, uint16_t mark,
                        const std::function<void()>& beforeFirst) {
  MarkedCounts counts;
  for (size_t i = 0; i < t.records.size(); ++i) {
    const Record& r = t.records[i];
    if (!Listed(r, mark)) continue;
    if (counts.dirs + counts.files == 0) beforeFirst();
    report.Marked(t, static_cast<unsigned>(i), mark == stNEW);
    ++(r.IsDir() ? counts.dirs : counts.files);
  }
  return counts;
}

void Separator(const RunSettings& s, bool reported) {
  if (reported || !s.quiet) s.report->Heading("\n");
}

int ReportWriteError() {
  errno = 0;
  bool failed = fflush(stdout) != 0;
  int error = errno;
  if ((failed || ferror(stdout)) && firstError == 0) {
    int asked = StreamWriteFailure(stdout);
    firstError = asked != 0 ? asked : error != 0 ? error : EIO;
  }
  return firstError;
}

void NoteReportFailureTold() {
  told = true;
}

bool ReportFailureTold() {
  return told;
}
