// vantel32: catalogues directory trees by CRC-32.
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "app/front.h"
#include "app/options.h"
#include "app/state.h"
#include "core/tell.h"
#include "core/verdict.h"
#include "modes/report.h"
#include "modes/report_writer.h"
#include "store/datafile.h"

namespace {

const char kBuildDate[] = "Apr 30 2001";
const char kCredit[] = "  CRC-32 catalogue of directory trees";

}  // namespace

int main(int argc, char** argv) {
  InitConsoleStreams();
  time_t start = time(nullptr);
  std::vector<std::string> refused;
  argv = ProgramArguments(&argc, argv, &refused);
  // The banner comes before the parse.
  bool quiet = QuietAsked(argc, argv);
  bool bare = quiet || TextOnlyAsked(argc, argv);
  if (!bare) {
    fprintf(stderr, "VANTEL32  Win32  Ver. %s  %s", kVersion, kBuildDate);
    fprintf(stderr, "%s\n\n", kCredit);
  }
  // A typed name is reached as typed or not at all: never a look-alike in its place.
  for (const std::string& arg : refused)
    Tell(" *** Error: Argument not representable in the ANSI code page: %s\n", arg.c_str());
  if (!refused.empty()) {
    if (!quiet) PrintTimePass(stderr, static_cast<long long>(time(nullptr) - start));
    return kExitTrouble;
  }

  // Set before the parse, so that its errors are items of the JSON report as well.
  if (JsonAsked(argc, argv)) UseJsonReport(quiet);
  ParseCommandLine(argc, argv);
  // The dumps are text: in a JSON report they would break its lines.
  bool dumps = (cmd & cmDEBUG) && !JsonReport();
  if (dumps) PrintDebugInfo(argc, argv);
  int status = DispatchMode();
  if (dumps) PrintAllTables();
  tables.clear();

  // Everything the report wrote reaches its file before the closing line on standard error;
  // a report that could not be written is a run that did not do its work.
  if (int error = ReportWriteError()) {
    if (!ReportFailureTold())
      Tell(" *** Error: Report not written to standard output\n *** %s\n", strerror(error));
    status = kExitTrouble;
  }
  if (TroubleNoted()) status = kExitTrouble;
  if (cmd & cmERR) status = kExitTrouble;
  if ((cmd & (cmHELP | cmERR)) != cmHELP) {
    Report().End(ModeName(), status);
    if (ReportWriteError() != 0) status = kExitTrouble;  // the summary itself was lost
  }
  if (!bare) PrintTimePass(stderr, static_cast<long long>(time(nullptr) - start));
  return status;
}
