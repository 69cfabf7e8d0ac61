// The usage text of /? and -h.
#include <cstdio>

#include "app/front.h"
#include "app/options.h"
#include "platform/platform.h"

namespace {

const char* const kUsageLines[] = {
    "  vantel32 [switch] [filemask] [switch] [filemask]\n\n",
    "  Switch:  Mode:    Description:\n\n",
    "   /mc     Compare  Compare folders.\n",
    "   /md     DFF      Duplicate File Finder. Available some file masks.\n",
    "   /mi     Info     Type crc-information. Default mode.\n",
    "   /ms     Scan     CRC Scaner.\n",
    "   /mt     Test     Type crc-information from data file.\n\n",
    "   /s             - Process with subfolders.\n",
    "   /e             - Type empty folders.\n",
    "   /d             - Print debug information.\n",
    "   /y             - Always YES for any questions.\n",
    "   /na            - In Scan and Compare mode don't check file attribute.\n",
    "   /ns            - In Scan and Compare mode don't check file size.\n",
    "   /nt            - In Scan and Compare mode don't check date and time.\n",
    "   /nc            - In Scan and Compare mode don't check CRC32.\n",
    "   /np            - In Scan mode keep the start path of the command line.\n",
    "   /fc filemask   - Use data file with target name in CRC Scaner mode.\n",
    "                    If file not exist, it will be create.\n",
    "                    After this switch must be only names of data file.\n",
    "                    Default name: vantel32.crc\n",
    "   /r             - Open data file in read-only mode.\n",
    "\n                    Output format:\n\n",
    "   /os            - Many short lists by subfolders in Scan mode. Default.\n",
    "   /ol            - One long list in Scan mode\n",
    "   /of \"format\"   - Output format in Scan mode. Example: /of \"ID AT TW CC FL\"\n",
    "                    FS    - Short File Name    TC    - Create Time\n",
    "                    FL    - Long File Name     TW    - Write Time\n",
    "                    FP    - Full File Name     TA    - Access Time\n",
    "                    AT    - Attributes         CC    - CRC32\n",
    "                    SZ    - Size\n",
    "                    R0    - Reseved0 (NTFS)    ID    - Index in table\n",
    "                    R1    - Reseved1 (NTFS)    NO    - Number in list\n",
    "\n  Note:  1. [filemask] - file name with wildcards or name of data file.\n",
};

// A POSIX shell expands wildcards before the program sees them, and a switch is read as typed.
const char kShellNote[] =
    "         2. Quote masks against the shell: vantel32 -s '*.txt'\n"
    "         3. A switch is read as typed, in either case: -s, -ms; -- ends them.\n";

// What a script learns from the exit status.
const char kExitStatus[] =
    "\n  Exit status:  0 - nothing needs attention (changes saved by Scan included).\n"
    "                1 - Scan found damaged files (with --archive also changed or\n"
    "                    missing ones), or Compare found a difference.\n"
    "                2 - trouble: command line, data file or tree refused, an entry\n"
    "                    skipped or unreadable, a report or data file not written.\n";

}  // namespace

void PrintUsage() {
  for (const char* line : kUsageLines) fputs(line, stdout);
  if (!kIsWin32) fputs(kShellNote, stdout);
  PrintLongOptions();
  fputs(kExitStatus, stdout);
}
