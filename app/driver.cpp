// Mode dispatch and the elapsed-time line.
#include "app/front.h"
#include "app/options.h"
#include "app/state.h"
#include "modes/modes.h"

int DispatchMode() {
  switch (cmd & kModeMask) {
    case cmNOSW:
    case cmCRC:
      return InfoMode(tables, cmd & cmSUB, cmd & cmLISTS, cmd & cmEF);
    case cmSCAN:
      return ScanMode(tables, cmd & cmSUB, cmd & cmNOTIME, cmd & cmNOATTR, cmd & cmNOCRC,
                      cmd & cmNOSIZE, cmd & cmNOPATH);
    case cmDFF:
      return FindDuplicates(tables, cmd & cmSUB, cmd & cmDEBUG);
    case cmTEST:
      return TestMode(tables, cmd & cmSUB, cmd & cmLISTS, cmd & cmEF);
    case cmCOMP:
      return compare(tables, cmd & cmSUB, cmd & cmNOTIME, cmd & cmNOATTR, cmd & cmNOCRC,
                     cmd & cmNOSIZE);
    case cmHELP:
      if (options.version) {
        PrintVersion();
      } else {
        PrintUsage();
      }
      return 0;
    case cmERR:
    case cmERR | cmHELP:
      fprintf(stderr, " *** Use:   vantel32 /?\n");
      return 1;
    default:  // a second mode switch: the parser has said why
      return 1;
  }
}

void PrintTimePass(FILE* stream, long long seconds) {
  char hours[24], minutes[8], secs[8];
  snprintf(hours, sizeof hours, "%02lld", seconds / 3600);
  snprintf(minutes, sizeof minutes, "%02lld", seconds % 3600 / 60);
  snprintf(secs, sizeof secs, "%02lld", seconds % 60);
  fprintf(stream, "\nTime pass:      %s:%s:%s\n", hours, minutes, secs);
}
