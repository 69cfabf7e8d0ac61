// The front end: command-line parser, usage text, debug dumps and mode dispatch.
#pragma once

#include <cstdint>
#include <cstdio>

/// Fills cmd, tables and cOutputFormat from the command line (the argument of /of is
/// upper-cased in place) and initialises the CRC engine last.
void ParseCommandLine(int argc, char** argv);

void PrintUsage();
void PrintDebugInfo(int argc, char** argv);
void PrintAllTables();

/// The mode bit that the letter after /m selects (either case), or 0 when no mode has it.
uint32_t ModeForLetter(char letter);

/// Runs the mode that cmd selects (or the usage text, or the hint after an error) and returns
/// the mode's exit status.
int DispatchMode();

/// The name of the mode that cmd selects ("info", "scan", ...), or null when it runs none.
const char* ModeName();

/// "\nTime pass:      HH:MM:SS\n" for an elapsed time in whole seconds.
void PrintTimePass(FILE* stream, long long seconds);
