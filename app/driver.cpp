// Mode dispatch and the elapsed-time line.
#include <cctype>
#include <cstdio>

#include "app/front.h"
#include "app/options.h"
#include "app/state.h"
#include "core/tell.h"
#include "core/verdict.h"
#include "modes/modes.h"
#include "modes/report_writer.h"
#include "platform/fileread.h"

namespace {

int Refused() {
  Tell(" *** Use:   vantel32 /?\n");
  return kExitTrouble;
}

// The run's settings, read once from the parsed command line.
RunSettings Settings() {
  RunSettings s;
  s.sub = (cmd & cmSUB) != 0;
  s.exclude = Exclusions(options.exclude);
  s.oneFileSystem = options.oneFileSystem;
  s.noTime = (cmd & cmNOTIME) != 0;
  s.noAttr = (cmd & cmNOATTR) != 0;
  s.noCrc = (cmd & cmNOCRC) != 0;
  s.noSize = (cmd & cmNOSIZE) != 0;
  s.noPath = (cmd & cmNOPATH) != 0;
  s.readOnly = (cmd & cmRO) != 0;
  s.moves = options.moves;
  s.acceptDamaged = options.acceptDamaged;
  s.acceptEmpty = options.acceptEmpty;
  s.archive = options.archive;
  s.acceptMissing = options.acceptMissing;
  s.noCrcTyped = options.noCrcTyped;
  s.stored = options.stored;
  s.timeWindow = options.timeWindow;
  s.format = cOutputFormat;
  s.lists = (cmd & cmLISTS) != 0;
  s.emptyFolders = (cmd & cmEF) != 0;
  s.debug = (cmd & cmDEBUG) != 0;
  s.jobs = options.jobs;
  s.quiet = options.quiet;
  s.report = &Report();
  return s;
}

// Runs a mode with the run's settings; the start paths its walks trust end with it.
int Run(int (*mode)(std::vector<Table>&, const RunSettings&)) {
  WalkRoots roots;
  RunSettings s = Settings();
  s.roots = &roots;
  return mode(tables, s);
}

// What each choice of cmd & kModeMask runs: a mode (with the letter of its /m switch), the
// usage text, or the hint after a refused command line. Adding a mode is adding a row.
struct Mode {
  uint32_t bits;
  char letter;
  const char* name;
  int (*run)();
};

const Mode kModes[] = {
    {cmCRC, 'I', "info", [] { return Run(InfoMode); }},
    {cmSCAN, 'S', "scan", [] { return Run(ScanMode); }},
    {cmDFF, 'D', "duplicates", [] { return Run(FindDuplicates); }},
    {cmTEST, 'T', "test", [] { return Run(TestMode); }},
    {cmCOMP, 'C', "compare", [] { return Run(compare); }},
    {cmHELP, '\0', nullptr,
     []() -> int {
       if (options.version) {
         PrintVersion();
       } else {
         PrintUsage();
       }
       return kExitClean;
     }},
    {cmERR, '\0', nullptr, Refused},
    {cmERR | cmHELP, '\0', nullptr, Refused},
};

}  // namespace

uint32_t ModeForLetter(char letter) {
  char upper = static_cast<char>(toupper(static_cast<unsigned char>(letter)));
  for (const Mode& m : kModes)
    if (m.letter != '\0' && m.letter == upper) return m.bits;
  return 0;
}

const char* ModeName() {
  uint32_t bits = cmd & kModeMask;
  if (bits == cmNOSW) bits = cmCRC;
  for (const Mode& m : kModes)
    if (m.bits == bits) return m.name;
  return nullptr;
}

int DispatchMode() {
  uint32_t bits = cmd & kModeMask;
  if (bits == cmNOSW) bits = cmCRC;  // Info is the default
  for (const Mode& m : kModes)
    if (m.bits == bits) return m.run();
  return kExitTrouble;  // a second mode switch: the parser has said why
}

void PrintTimePass(FILE* stream, long long seconds) {
  char hours[24], minutes[8], secs[8];
  snprintf(hours, sizeof hours, "%02lld", seconds / 3600);
  snprintf(minutes, sizeof minutes, "%02lld", seconds % 3600 / 60);
  snprintf(secs, sizeof secs, "%02lld", seconds % 60);
  fprintf(stream, "\nTime pass:      %s:%s:%s\n", hours, minutes, secs);
}
