// Run-wide settings of the GNU long options (--help, --version and those that tune a run).
// Only the command-line parser writes them; each parse starts from the defaults.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/crc_readers.h"

/// What --jobs is without the option.
constexpr unsigned kDefaultJobs = kFitReaders;

struct RunOptions {
  bool version = false;          // --version: print the version and build lines, run no mode
  bool moves = false;            // --moves: Scan and Compare report moves instead of missing + new
  unsigned jobs = kDefaultJobs;  // --jobs=N: files checksummed at once
  bool acceptDamaged = false;    // --accept-damaged: Scan saves the new CRC of damaged files
  bool json = false;             // --json: the report as JSON Lines
  bool acceptEmpty = false;      // --accept-empty: Scan saves a catalogue whose entries all went
  bool archive = false;          // --archive: Scan keeps missing and changed files as findings
  bool acceptMissing = false;    // --accept-missing: Scan under --archive lets missing files go
  bool noCrcTyped = false;       // /nc itself, not only through /ns: Scan reads no CRC at all
  std::vector<std::string> exclude;  // --exclude=PATTERN: entries neither walked nor stored
  bool oneFileSystem = false;        // --one-file-system: mount points recorded, not entered
  bool quiet = false;                // --quiet: only warnings and errors on standard error
  uint32_t timeWindow = 0;           // --time-window=SECONDS: write times this close are equal
  bool stored = false;               // --stored: Compare reads a data file's records, not its tree
};

extern RunOptions options;

/// The long option at argv[i]: "--name", "--name=value" or "--name value". Sets its field of
/// options (or cmd), or prints why it is refused and sets cmERR. Returns the position of the
/// last argument it used.
int ReadLongOption(int argc, char** argv, int i);

/// Whether --quiet stands among the switches: the banner is printed before the parse.
bool QuietAsked(int argc, char** argv);

/// Whether --json stands among the switches: the parser's own errors belong to the JSON report.
bool JsonAsked(int argc, char** argv);

/// Whether --help or --version stands among the switches: they print only their text, with no
/// banner or closing line on standard error.
bool TextOnlyAsked(int argc, char** argv);

/// What --version prints on standard output.
void PrintVersion();

/// The usage text's lines for the long options, on standard output.
void PrintLongOptions();
