// The command line: option word, task list, output format, data-file pairing.
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/front.h"
#include "app/options.h"
#include "app/state.h"
#include "core/crc32shr.h"
#include "core/lookup.h"
#include "core/reason.h"
#include "core/tell.h"
#include "modes/columns.h"
#include "platform/owner.h"
#include "store/datafile.h"
#include "store/format.h"

namespace {

// Positions in argv found while reading the switches.
struct ArgumentPlan {
  std::vector<int> names;  // every argument that is neither a switch nor a format text
  int firstMode = 0;
  int lastFc = 0;
};

bool Is(char c, char upper) {
  return c == upper || c == tolower(static_cast<unsigned char>(upper));
}

// A lone "-" is refused like a lone "/" on Windows: it names no file anyone means to list.
bool IsSwitch(const char* arg) {
  return IsSwitchArgument(arg) || strcmp(arg, "-") == 0;
}

// "--": every later argument is a name, so that a folder called "-x" can be named.
bool EndsSwitches(const char* arg) {
  return strcmp(arg, "--") == 0;
}

// A switch word with letters beyond its own: refused where switches are spelled exactly, so
// that -exclude is not read as -e nor a mistyped /srvv as /s.
bool HasExtraLetters(const char* arg) {
  if (!kSwitchSpelledExactly || arg[1] == '\0') return false;
  bool twoLetters = strchr("FfMmNnOo", arg[1]) != nullptr;
  return strlen(arg) > (twoLetters ? 3u : 2u);
}

void Fail() {
  cmd = cmERR;
}

// dst (MAX_PATH bytes) = a + b + c; false when it does not fit.
bool Join(char* dst, const char* a, const char* b = "", const char* c = "") {
  size_t la = strlen(a), lb = strlen(b), lc = strlen(c);
  if (la + lb + lc > MAX_PATH - 1) return false;
  memcpy(dst, a, la);
  memcpy(dst + la, b, lb);
  memcpy(dst + la + lb, c, lc + 1);
  return true;
}

// A start path always ends with the separator, which a root already has.
void SetDirectoryStart(Table* t, const char* full) {
  const char sep[] = {kPathSep, '\0'};
  size_t len = strlen(full);
  Join(t->cStartPath, full, len > 0 && full[len - 1] == kPathSep ? "" : sep);
}

void ReadModeSwitches(int argc, char** argv, ArgumentPlan* plan) {
  cmd = cmLISTS;
  for (int i = 1; i < argc && !EndsSwitches(argv[i]); ++i) {
    const char* arg = argv[i];
    if (!IsSwitch(arg) || !Is(arg[1], 'M') || HasExtraLetters(arg)) continue;
    if (plan->firstMode) {
      Tell(" *** Error: Mode switch must be only one ... %s, %s\n", argv[plan->firstMode], arg);
      cmd |= cmERR;
      continue;
    }
    plan->firstMode = i;
    uint32_t mode = ModeForLetter(arg[2]);
    if (mode != 0) {
      cmd |= mode;
    } else {
      Tell(" *** Error: Unknown mode ... %s\n", arg);
      Fail();
    }
  }
  if (!(cmd & kModeMask)) cmd |= cmCRC;  // Info is the default mode
}

void CheckFormat(const char* text) {
  std::vector<char> copy(text, text + strlen(text) + 1);
  int count = 0, lastColumn = 0;
  for (char* piece = strtok(copy.data(), " "); piece; piece = strtok(nullptr, " ")) {
    ++count;
    const Column* column = FindColumn(piece);
    if (column == nullptr) {
      Tell(" *** Error: Unknown column name /of \"%s\"\n", piece);
      Fail();
    }
    if (!lastColumn && column != nullptr && column->last) lastColumn = count;
  }
  if (lastColumn && lastColumn < count) {
    Tell(" *** Error: Column name \"FL\" or \"FP\" must be last\n");
    Fail();
  }
}

// /of at argv[i]: returns the position of the last argument it used.
int ReadOutputFormat(int argc, char** argv, int i) {
  if (i + 1 >= argc) {
    Tell(" *** Error: After switch /of must be a format string\n");
    Fail();
    return i;
  }
  char* text = argv[i + 1];
  for (char* p = text; *p; ++p) *p = static_cast<char>(toupper(static_cast<unsigned char>(*p)));
  if (strlen(text) > kOutputFormatSize - 1) {
    Tell(" *** Error: Format string is too long\n");
    Fail();
    return i + 1;
  }
  CheckFormat(text);
  strcpy(cOutputFormat, text);
  return i + 1;
}

void UnknownSwitch(const char* arg) {
  Tell(" *** Error: unknown switch ... %s\n", arg);
  Fail();
}

void ReadNoSwitch(const char* arg) {
  char c = arg[2];
  if (Is(c, 'A')) {
    cmd |= cmNOATTR;
  } else if (Is(c, 'C')) {
    cmd |= cmNOCRC;
    options.noCrcTyped = true;
  } else if (Is(c, 'P')) {
    cmd |= cmNOPATH;
  } else if (Is(c, 'S')) {
    cmd |= cmNOSIZE | cmNOCRC;
  } else if (Is(c, 'T')) {
    cmd |= cmNOTIME;
  } else {
    Tell(" *** Error: Unknown switch ... %s\n", arg);
    Fail();
  }
}

// One switch at argv[i]; returns the position of the last argument it used.
int ReadSwitch(int argc, char** argv, int i, ArgumentPlan* plan) {
  const char* arg = argv[i];
  if (arg[0] == '-' && arg[1] == '-') return ReadLongOption(argc, argv, i);
  if (HasExtraLetters(arg)) {
    UnknownSwitch(arg);
    return i;
  }
  char c = arg[1];
  char next = c ? arg[2] : '\0';
  if (c == '?' || Is(c, 'H')) {
    cmd = cmHELP;
    options.version = false;
  } else if (Is(c, 'D')) {
    cmd |= cmDEBUG;
  } else if (Is(c, 'E')) {
    cmd |= cmEF;
  } else if (Is(c, 'F')) {
    if (Is(next, 'C')) {
      plan->lastFc = i;
    } else {
      UnknownSwitch(arg);
    }
  } else if (Is(c, 'M')) {
    // read with the other mode switches
  } else if (Is(c, 'N')) {
    ReadNoSwitch(arg);
  } else if (Is(c, 'O')) {
    if (Is(next, 'F')) return ReadOutputFormat(argc, argv, i);
    if (Is(next, 'L')) {
      cmd &= ~cmLISTS;
    } else if (Is(next, 'S')) {
      cmd |= cmLISTS;
    } else {
      UnknownSwitch(arg);
    }
  } else if (Is(c, 'R')) {
    cmd |= cmRO;
  } else if (Is(c, 'S')) {
    cmd |= cmSUB;
  } else if (Is(c, 'Y')) {
    cmd |= cmYES;
  } else {
    UnknownSwitch(arg);
  }
  return i;
}

void ReadOtherSwitches(int argc, char** argv, ArgumentPlan* plan) {
  bool names = false;
  for (int i = 1; i < argc; ++i) {
    if (!names && EndsSwitches(argv[i])) {
      names = true;
    } else if (!names && IsSwitch(argv[i])) {
      i = ReadSwitch(argc, argv, i, plan);
    } else {
      plan->names.push_back(i);
    }
  }
}

// The error text for a TestFile result that names a file the run cannot use, or null.
const char* DataFileErrorText(TestFileResult code) {
  switch (code) {
    case kCannotOpen:
      return " *** Error: Can't open %s\n";
    case kNotDataFile:
      return " *** Error: %s - is not data file.\n";
    case kOtherVersion:
      return " *** Error: %s - version conflict.\n";
    default:
      return nullptr;
  }
}

// Prints the error for a TestFile result that names a file the run cannot use, followed by the
// system's reason when the file could not be opened. False when the result is no error.
bool DataFileError(TestFileResult code, const char* name) {
  int err = errno;
  const char* text = DataFileErrorText(code);
  if (text == nullptr) return false;
  Tell(text, name);
  if (code == kCannotOpen) PrintReason(err);
  return true;
}

// An existing regular file: a one-file task in Info, otherwise a data file naming its target.
void SetFileTask(Table* t, const char* arg, const char* full, const char* dir, const char* name) {
  if (cmd & cmCRC) {
    Join(t->cStartPath, dir);
    Join(t->cFileMask, name);
    return;
  }
  // A damaged catalogue, or another user's planted where anyone may write (not read here), is
  // the mode's to refuse, so that the run's other tasks go on.
  bool refuse = IsPlantedInSharedDir(full);
  TestFileResult code = refuse ? kNotDataFile : TestFile(*t, full, &refuse);
  if (code == kDataFileFound || refuse) Join(t->cDataFile, full);
  if (code == kDataFileFound) return;
  if (!refuse && DataFileError(code, arg)) Fail();
  Join(t->cStartPath, full);
  Join(t->cFileMask, "*.*");
}

// Start path, mask and data file of the task for one argument; false when it has no full path
// or lies in a directory that does not exist.
bool SetTaskFromArgument(Table* t, const char* arg) {
  // One byte is kept free so that a directory's start path can take its separator.
  char full[MAX_PATH];
  if (!_fullpath(full, arg, MAX_PATH - 1)) return false;
  // The data file keeps the start path and the mask as one line each.
  if (strpbrk(full, "\r\n") != nullptr) return false;
  std::vector<char> drive(_MAX_DRIVE), dir(_MAX_DIR), fname(_MAX_FNAME), ext(_MAX_EXT);
  _splitpath(full, drive.data(), dir.data(), fname.data(), ext.data());
  char dirPart[MAX_PATH], namePart[MAX_PATH];
  Join(dirPart, drive.data(), dir.data());
  Join(namePart, fname.data(), ext.data());

  if (_access(full, 0) != 0) {  // a wildcard pattern or a missing name
    // ... in a directory that exists: a mask under a missing one could never match anything,
    // and a missing directory named with its separator is no mask at all. Scan takes such a
    // folder (a drive not mounted) as its start path, to say so and keep its catalogue.
    char last = arg[0] ? arg[strlen(arg) - 1] : 0;
    bool folder = last == kPathSep || last == '/';
    if ((_access(dirPart, 0) != 0 || folder) && !(cmd & cmSCAN)) return false;
    if (folder) {
      SetDirectoryStart(t, full);
      Join(t->cFileMask, "*.*");
      return true;
    }
    // Compare takes no mask: a mistyped tree would silently compare its parent directory.
    if ((cmd & cmCOMP) && strpbrk(namePart, "*?") == nullptr) return false;
    Join(t->cStartPath, dirPart);
    Join(t->cFileMask, namePart[0] ? namePart : "*.*");
    return true;
  }
  WIN32_FIND_DATAA fd;
  HANDLE h = FindExactFileA(full, &fd);
  if (h == INVALID_HANDLE_VALUE) {  // a root, or a path that ends with a separator
    Join(t->cStartPath, full);
    Join(t->cFileMask, "*.*");
    return true;
  }
  FindClose(h);
  if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    SetDirectoryStart(t, full);
    Join(t->cFileMask, "*.*");
  } else {
    SetFileTask(t, arg, full, dirPart, namePart);
  }
  return true;
}

// Test reads data files only: a name that is not there cannot be listed as an empty tree.
bool MissingForTest(const char* arg) {
  if (!(cmd & cmTEST) || strpbrk(arg, "*?") != nullptr || _access(arg, 0) == 0) return false;
  DataFileError(kCannotOpen, arg);
  Fail();
  return true;
}

void BuildTasks(char** argv, const ArgumentPlan& plan) {
  Table scratch;
  for (int pos : plan.names) {
    scratch.cStartPath[0] = scratch.cFileMask[0] = scratch.cDataFile[0] = '\0';
    if (plan.lastFc && pos > plan.lastFc) continue;  // a data-file name
    if (MissingForTest(argv[pos])) continue;
    scratch.argument = argv[pos];
    if (!SetTaskFromArgument(&scratch, argv[pos])) {
      Tell(" *** Error: Invalid file mask: %s\n", argv[pos]);
      Fail();
      return;
    }
    tables.push_back(scratch);
    if ((cmd & cmCOMP) && tables.size() > 2) {
      Tell(" *** Error: Only 2 file mask may be in Compare-mode (/mc).\n");
      Fail();
      return;
    }
  }
}

void AddDefaultTask() {
  if (!tables.empty()) return;
  char full[MAX_PATH];
  if (!_fullpath(full, ".", MAX_PATH - 1)) {
    Tell(" *** Internal Error: Invalid default path.\n");
    Fail();
    return;
  }
  Table t;
  SetDirectoryStart(&t, full);
  Join(t.cFileMask, "*.*");
  tables.push_back(t);
}

// Y or N from the console; end of input answers N. /np has answered already: it asks for the
// command line's start path, which is what Y chooses.
bool AskYesNo() {
  fprintf(stderr, "     Continue processing (Y/N) ? ");
  if (cmd & (cmYES | cmNOPATH)) return true;
  for (;;) {
    int key = ReadConsoleKey();
    if (key < 0 || key == 'N' || key == 'n') return false;
    if (key == 'Y' || key == 'y') return true;
    fprintf(stderr, "%c\n     Please press [Y] or [N]? ", key);
  }
}

// A start folder that is gone (a drive unmounted, its mount point removed) was read as a mask
// in its parent. When the catalogue records that very folder, the folder is what was meant:
// Scan then finds it missing and keeps the catalogue, whatever -y or /np would have chosen.
void TakeRecordedFolder(Table& task, const Table& stored) {
  if (!(cmd & cmSCAN) || strpbrk(task.cFileMask, "*?") != nullptr) return;
  const char sep[] = {kPathSep, '\0'};
  char folder[MAX_PATH];
  if (!Join(folder, task.cStartPath, task.cFileMask, sep) ||
      strcmp(folder, stored.cStartPath) != 0 || _access(folder, 0) == 0)
    return;
  Join(task.cStartPath, stored.cStartPath);
  Join(task.cFileMask, stored.cFileMask);
}

void ConfirmTarget(Table& task, const Table& stored, const char* name) {
  TakeRecordedFolder(task, stored);
  if (strcmp(task.cStartPath, stored.cStartPath) == 0 &&
      strcmp(task.cFileMask, stored.cFileMask) == 0)
    return;
  if (cmd & (cmCRC | cmDFF)) return;
  char path[MAX_PATH], mask[MAX_PATH];
  Tell(
      " *** Warning: %s - have different target.\n\n     Command line: %s%s\n     Data file "
      "  : %s",
      name, task.cStartPath, task.cFileMask, ShowPlain(stored.cStartPath, path, sizeof path));
  Tell("%s\n\n", ShowPlain(stored.cFileMask, mask, sizeof mask));
  if (AskYesNo()) {
    fprintf(stderr, "Yes.\n\n");
    cmd |= cmNOPATH;
  } else {
    fprintf(stderr, "No.\n\n");
    Fail();
  }
}

void NamesDoNotPair() {
  Tell(" *** Error: Number of file mask must be equal the number of name data file.\n");
  Fail();
}

void PairDataFiles(char** argv, const ArgumentPlan& plan) {
  std::vector<int> files;
  for (int pos : plan.names)
    if (pos > plan.lastFc) files.push_back(pos);
  Table scratch;
  size_t next = 0;
  for (Table& task : tables) {
    if (next == files.size()) {
      NamesDoNotPair();
      return;
    }
    const char* name = argv[files[next++]];
    // An empty name would leave the task without a data file, which Scan cannot save.
    if (name[0] == '\0' || !Join(task.cDataFile, name)) {
      Tell(" *** Error: Can't open %s\n", name);
      Fail();
      continue;
    }
    // Another user's file in a shared directory is not read here, nor asked about.
    if (IsPlantedInSharedDir(name)) continue;
    bool damaged = false;
    TestFileResult code = TestFile(scratch, name, &damaged);
    // Only Scan makes a data file; the other modes would read an empty one.
    if (code == kNoSuchFile && (cmd & (cmTEST | cmCOMP | cmDFF))) code = kCannotOpen;
    if (code == kDataFileFound) {
      ConfirmTarget(task, scratch, name);
    } else if (!damaged && DataFileError(code, name)) {
      Fail();
    }
  }
  // A name left over would otherwise be dropped while a task runs on another's catalogue.
  if (next < files.size()) NamesDoNotPair();
}

void AssignDefaultDataFile() {
  for (size_t k = 0; k < tables.size(); ++k) {
    Table& task = tables[k];
    if (task.cDataFile[0]) continue;
    if (k == 0) {
      Join(task.cDataFile, kDefaultDataFile);
      // The default file may catalogue another tree than the one typed (another user's, planted
      // where anyone may write, is the mode's to refuse, unread).
      Table stored;
      if (!IsPlantedInSharedDir(kDefaultDataFile) &&
          TestFile(stored, kDefaultDataFile) == kDataFileFound)
        ConfirmTarget(task, stored, kDefaultDataFile);
    } else {
      Tell(" *** Error: Unspecified data file for %s\n", task.cStartPath);
      Fail();
    }
  }
}

}  // namespace

void ParseCommandLine(int argc, char** argv) {
  ArgumentPlan plan;
  options = RunOptions();
  ReadModeSwitches(argc, argv, &plan);
  ReadOtherSwitches(argc, argv, &plan);
  BuildTasks(argv, plan);
  AddDefaultTask();
  if (plan.lastFc) {
    PairDataFiles(argv, plan);
  } else if (cmd & cmSCAN) {
    AssignDefaultDataFile();
  }
  InitMagic();
}
