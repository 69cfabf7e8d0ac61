// Mode dispatch and the elapsed-time line.
#include <cctype>
#include <cstdio>

#include "app/front.h"
#include "app/options.h"
#include "app/state.h"
#include "core/verdict.h"
#include "modes/modes.h"

namespace {

int Refused() {
  fprintf(stderr, " *** Use:   vantel32 /?\n");
  return kExitTrouble;
}

// Info and Test take the same switches.
int List(int (*mode)(std::vector<Table>&, uint32_t, uint32_t, uint32_t, const char*, uint32_t)) {
  return mode(tables, cmd & cmSUB, cmd & cmLISTS, cmd & cmEF, cOutputFormat, cmd & cmDEBUG);
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
    {cmCRC, 'I', "info", [] { return List(InfoMode); }},
    {cmSCAN, 'S', "scan",
     [] {
       // /ns hides CRC changes from Scan's report but leaves the CRCs read, for damage.
       uint32_t noCrc = options.noCrcTyped ? cmd & cmNOCRC : 0;
       return ScanMode(tables, cmd & cmSUB, cmd & cmNOTIME, cmd & cmNOATTR, noCrc, cmd & cmNOSIZE,
                       cmd & cmNOPATH, cmd & cmRO, options.moves, options.acceptDamaged,
                       options.acceptEmpty, options.archive, options.acceptMissing);
     }},
    {cmDFF, 'D', "duplicates", [] { return FindDuplicates(tables, cmd & cmSUB, cmd & cmDEBUG); }},
    {cmTEST, 'T', "test", [] { return List(TestMode); }},
    {cmCOMP, 'C', "compare",
     [] {
       return compare(tables, cmd & cmSUB, cmd & cmNOTIME, cmd & cmNOATTR, cmd & cmNOCRC,
                      cmd & cmNOSIZE, options.moves);
     }},
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
