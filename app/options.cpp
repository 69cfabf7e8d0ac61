// The long options: one table line each, a flag or an option that takes a value.
#include "app/options.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/state.h"
#include "core/exclude.h"
#include "core/tell.h"
#include "core/time_window.h"
#include "store/datafile.h"

RunOptions options;

namespace {

enum class Takes { kNothing, kValue };

struct LongOption {
  const char* name;
  Takes takes;
  const char* valueName;  // shown in the usage text as --name=VALUE
  const char* help;       // one line of the usage text
  // value is null for a flag. Returns false when the value is refused, after saying why.
  bool (*apply)(const char* value);
};

bool Help(const char*) {
  cmd = cmHELP;  // replaces the whole option word, as /? does
  options.version = false;
  return true;
}

bool Version(const char*) {
  cmd = cmHELP;
  options.version = true;
  return true;
}

bool Moves(const char*) {
  options.moves = true;
  return true;
}

bool AcceptDamaged(const char*) {
  options.acceptDamaged = true;
  return true;
}

bool AcceptEmpty(const char*) {
  options.acceptEmpty = true;
  return true;
}

bool Archive(const char*) {
  options.archive = true;
  return true;
}

bool AcceptMissing(const char*) {
  options.acceptMissing = true;
  return true;
}

bool Json(const char*) {
  options.json = true;
  return true;
}

bool Exclude(const char* value) {
  if (!IsExcludePattern(value)) {
    Tell(" *** Error: --exclude takes a name or path pattern: %s\n", value);
    return false;
  }
  options.exclude.push_back(value);
  return true;
}

bool OneFileSystem(const char*) {
  options.oneFileSystem = true;
  return true;
}

bool Quiet(const char*) {
  options.quiet = true;
  return true;
}

bool Jobs(const char* value) {
  char* end = nullptr;
  unsigned long n = isdigit(static_cast<unsigned char>(value[0])) ? strtoul(value, &end, 10) : 0;
  if (n < 1 || n > kMaxReaders || *end != '\0') {
    Tell(" *** Error: --jobs takes a number from 1 to %u: %s\n", kMaxReaders, value);
    return false;
  }
  options.jobs = static_cast<unsigned>(n);
  return true;
}

bool TimeWindow(const char* value) {
  char* end = nullptr;
  unsigned long n = isdigit(static_cast<unsigned char>(value[0])) ? strtoul(value, &end, 10) : 0;
  if (end == nullptr || *end != '\0' || n > kMaxTimeWindow) {
    Tell(" *** Error: --time-window takes a number of seconds from 0 to %u: %s\n", kMaxTimeWindow,
         value);
    return false;
  }
  options.timeWindow = static_cast<uint32_t>(n);
  return true;
}

bool Stored(const char*) {
  options.stored = true;
  return true;
}

// The help of --jobs states its default; a new default must come with new words.
static_assert(kDefaultJobs == kFitReaders, "--jobs help: \"default fits the machine\"");

const LongOption kLongOptions[] = {
    {"help", Takes::kNothing, "", "This text.", Help},
    {"version", Takes::kNothing, "", "Version and build.", Version},
    {"moves", Takes::kNothing, "", "In Scan and Compare mode report moves and renames.", Moves},
    {"jobs", Takes::kValue, "N", "Files read at once (default fits the machine; 1: one by one).",
     Jobs},
    {"accept-damaged", Takes::kNothing, "", "In Scan mode save the new CRC32 of damaged files.",
     AcceptDamaged},
    {"accept-empty", Takes::kNothing, "",
     "In Scan mode save a data file whose every file is missing.", AcceptEmpty},
    {"archive", Takes::kNothing, "",
     "In Scan mode missing or changed files are findings, kept as stored.", Archive},
    {"accept-missing", Takes::kNothing, "", "In Scan mode with --archive let missing files go.",
     AcceptMissing},
    {"exclude", Takes::kValue, "PATTERN",
     "Leave out entries whose name (or path, with a /) matches; repeatable.", Exclude},
    {"one-file-system", Takes::kNothing, "",
     "Record folders on other devices (mount points) but do not enter them.", OneFileSystem},
    {"quiet", Takes::kNothing, "", "Only warnings and errors; no output when nothing to report.",
     Quiet},
    {"time-window", Takes::kValue, "SECONDS",
     "In Scan and Compare mode times this close are equal.", TimeWindow},
    {"stored", Takes::kNothing, "", "In Compare mode a data file as Path 2 stands for its records.",
     Stored},
    {"json", Takes::kNothing, "", "The report as JSON Lines, one object per line (see the manual).",
     Json},
};

void Refuse(const char* arg) {
  Tell(" *** Error: unknown switch ... %s\n", arg);
  cmd = cmERR;
}

}  // namespace

int ReadLongOption(int argc, char** argv, int i) {
  const char* arg = argv[i];
  const char* name = arg + 2;
  const char* equals = strchr(name, '=');
  size_t length = equals ? static_cast<size_t>(equals - name) : strlen(name);
  for (const LongOption& option : kLongOptions) {
    if (strlen(option.name) != length || strncmp(option.name, name, length) != 0) continue;
    const char* value = nullptr;
    if (option.takes == Takes::kNothing) {
      if (equals) {
        Refuse(arg);
        return i;
      }
    } else if (equals) {
      value = equals + 1;
    } else if (i + 1 < argc) {
      value = argv[++i];
    } else {
      Tell(" *** Error: After switch --%s must be a value\n", option.name);
      cmd = cmERR;
      return i;
    }
    if (!option.apply(value)) cmd = cmERR;
    return i;
  }
  Refuse(arg);
  return i;
}

bool QuietAsked(int argc, char** argv) {
  for (int i = 1; i < argc && strcmp(argv[i], "--") != 0; ++i)
    if (strcmp(argv[i], "--quiet") == 0) return true;
  return false;
}

bool JsonAsked(int argc, char** argv) {
  for (int i = 1; i < argc && strcmp(argv[i], "--") != 0; ++i)
    if (strcmp(argv[i], "--json") == 0) return true;
  return false;
}

bool TextOnlyAsked(int argc, char** argv) {
  for (int i = 1; i < argc && strcmp(argv[i], "--") != 0; ++i)
    if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "--version") == 0) return true;
  return false;
}

void PrintVersion() {
  printf("vantel32 %s\n", kVersion);
  printf("Built for %s with %s (%s)\n", VANTEL_BUILD_TARGET, VANTEL_BUILD_COMPILER,
         VANTEL_BUILD_TYPE);
}

void PrintLongOptions() {
  fputs("\n  Long options:\n\n", stdout);
  for (const LongOption& option : kLongOptions) {
    char shown[32];
    snprintf(shown, sizeof shown, "--%s%s%s", option.name, option.valueName[0] ? "=" : "",
             option.valueName);
    // A name too long for the column stands on a line of its own.
    if (strlen(shown) > 15) printf("   %s\n", shown);
    printf("   %-15s- %s\n", strlen(shown) > 15 ? "" : shown, option.help);
  }
  printf("   %-15s- %s\n", "--", "Every later argument is a file mask.");
}
