// The debug dumps of /d: CRC table, arguments, tasks, option word, and every table in full.
#include <cstdio>
#include <string>

#include "app/front.h"
#include "app/state.h"
#include "core/crc32shr.h"
#include "core/switches.h"
#include "modes/columns.h"
#include "modes/listing.h"
#include "store/format.h"

namespace {

// Every column of the listing, ending with the first of those that must stand last.
std::string AllColumns() {
  std::string all;
  const Column* tail = nullptr;
  for (size_t i = 0; i < kColumnCount; ++i) {
    const Column& c = kColumns[i];
    if (!c.last) {
      all += c.code;
      all += ' ';
    } else if (tail == nullptr) {
      tail = &c;
    }
  }
  if (tail != nullptr) all += tail->code;
  return all;
}

void PrintMagicTable() {
  printf("\n --- CRC32 MAGIC TABLE --- MagicConst:%08lX ---\n\n",
         static_cast<unsigned long>(MagicConst));
  for (int row = 0; row < 32; ++row) {
    for (int col = 0; col < 8; ++col)
      printf(" %08lX", static_cast<unsigned long>(CRCTable[row * 8 + col]));
    printf("\n");
  }
}

// Paths and masks may come from a data file or a hostile name: control bytes never reach the
// terminal.
const char* Plain(const char* text) {
  static char shown[2 * MAX_PATH];
  return ShowPlain(text, shown, sizeof shown);
}

void PrintArguments(int argc, char** argv) {
  printf("\n\n --- COMMAND LINE ARGUMENTS --- argv[%u] ---\n\n", static_cast<unsigned>(argc));
  for (int i = 0; i < argc; ++i) printf(" %02u: %s\n", static_cast<unsigned>(i), Plain(argv[i]));
}

void PrintTasks() {
  printf("\n\n --- TASK LIST --- tables[%u] ---\n", static_cast<unsigned>(tables.size()));
  for (size_t i = 0; i < tables.size(); ++i) {
    printf("\n %02u: cStartPath : %s\n", static_cast<unsigned>(i), Plain(tables[i].cStartPath));
    printf("     cFileMask  : %s\n", Plain(tables[i].cFileMask));
    printf("     cDataFile  : %s\n", Plain(tables[i].cDataFile));
  }
}

void PrintGlobals() {
  printf("\n\n --- GLOBAL VARIABLES --- \n\n");
  printf(" OUTPUT FORMAT  : %s\n", cOutputFormat);
  printf(" cmd            : %08X\n\n", static_cast<unsigned>(cmd));
  for (const SwitchBit& b : kSwitchBits)
    if (cmd & b.bit) printf("                  %s\n", b.name);
  printf("\n sizeof(class Record) : %lu\n", static_cast<unsigned long>(sizeof(Record)));
  printf(" sizeof(class Table)  : %lu\n\n", static_cast<unsigned long>(sizeof(Table)));
}

}  // namespace

void PrintDebugInfo(int argc, char** argv) {
  PrintMagicTable();
  PrintArguments(argc, argv);
  PrintTasks();
  PrintGlobals();
}

void PrintAllTables() {
  const std::string columns = AllColumns();
  for (Table& t : tables) PrintTable(t, columns.c_str(), 0, 0, 1, (cmd & cmDEBUG) != 0);
}
