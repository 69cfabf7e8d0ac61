#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "app/state.h"
#include "core/table.h"
#include "modes/modes.h"
#include "modes/reconcile.h"

namespace {

struct ScanReport {
  char banner[128] = "";
  bool bannerShown = false;
  int filesChanged = 0, filesDeleted = 0, filesNew = 0;
  int dirsChanged = 0, dirsDeleted = 0, dirsNew = 0;

  void ShowBanner() {
    if (bannerShown) return;
    fputs(banner, stdout);
    bannerShown = true;
  }
};

// Loads one task. False ends the whole scan before anything is compared or saved.
bool LoadTask(Table& t, uint32_t sub, uint32_t noPath) {
  if (t.cDataFile[0] == '\0') {
    fprintf(stderr, " *** Internal Error: Unspecified data file for %s\n", t.cStartPath);
    return true;
  }
  char given[MAX_PATH];
  snprintf(given, sizeof given, "%s", t.cStartPath);
  int code = t.TestFile(t.cDataFile);
  switch (code) {
    case 0:
      // A catalogue that cannot be read whole is never overwritten with a partial one.
      if (t.ReadDataFile() != 0) return false;
      if (noPath) snprintf(t.cStartPath, sizeof t.cStartPath, "%s", given);
      return true;
    case 1:
      fprintf(stderr, " *** Error: Can not open data file: %s\n", t.cDataFile);
      return false;
    case 2:
      fprintf(stderr, " *** Error: %s is mot data file for vantel32\n", t.cDataFile);
      return false;
    case 3:
      fprintf(stderr, " *** Error: %s - Version conflict\n", t.cDataFile);
      return false;
    case 4:
      t.BuildTree(sub);
      if (!(cmd & cmNOCRC)) t.ChecksumPass();
      t.bNew = 1;
      return true;
    default:
      fprintf(stderr, " *** Internal Error: Table::TestFile() returns undefined value:%u\n",
              static_cast<unsigned>(code));
      return false;
  }
}

void ListMarked(const Table& t, uint16_t mark, const char* dirFmt, const char* fileFmt, int& dirs,
                int& files, ScanReport& report) {
  char shown[2 * MAX_PATH];
  for (size_t i = 0; i < t.records.size(); ++i) {
    const Record& r = t.records[i];
    if (!(r.wStatus & mark) || (r.dwAttr & atNOMATCH)) continue;
    report.ShowBanner();
    ComposeShownPath(t, static_cast<unsigned>(i), shown);
    printf(r.IsDir() ? dirFmt : fileFmt, shown);
    ++(r.IsDir() ? dirs : files);
  }
  printf("\n");
}

}  // namespace

int ScanMode(std::vector<Table>& tables, uint32_t sub, uint32_t noTime, uint32_t noAttr,
             uint32_t noCrc, uint32_t noSize, uint32_t noPath) {
  fprintf(stderr, " \376 CRC32 File Scanner ...\n");
  ScanReport report;
  time_t now = time(nullptr);
  snprintf(report.banner, sizeof report.banner,
           "\n\n-----------------------------------------------  %s\n", ctime(&now));

  for (Table& t : tables)
    if (!LoadTask(t, sub, noPath)) return 1;

  CheckOptions options(sub, noTime, noAttr, noCrc, noSize);
  std::vector<Reconciler> reconcilers;
  reconcilers.reserve(tables.size());
  fprintf(stderr, "   Indexing table ...\r");
  for (Table& t : tables) {
    reconcilers.emplace_back(t, options);
    if (!t.bNew) reconcilers.back().Index();
  }

  auto onChange = [&report](const EntryChange& c) {
    report.ShowBanner();
    ++(c.isDir ? report.dirsChanged : report.filesChanged);
    PrintChangeBlock(c);
  };
  for (size_t n = 0; n < tables.size(); ++n) {
    Table& t = tables[n];
    fprintf(stderr, "   Processing table [%d] ...         \r", static_cast<int>(n));
    if (t.bNew) continue;
    reconcilers[n].Walk(static_cast<int>(n), onChange);
    ListMarked(t, stNEW, "+ Dir:  %s\n", "+ File: %s\n", report.dirsNew, report.filesNew, report);
    ListMarked(t, stGONE, "- Dir:  %s\n", "- File: %s\n", report.dirsDeleted, report.filesDeleted,
               report);
    if (!(cmd & cmRO)) {
      fprintf(stderr, "%79s\r   Compacting table ...\r", " ");
      t.Compact();
    }
  }

  int status = 0;
  fprintf(stderr, "   Writing table ... \r");
  for (Table& t : tables)
    if (t.cDataFile[0] != '\0' && t.SaveDataFile(cmd) != 0) status = 1;

  if (report.bannerShown) {
    printf("Files: %3d changed, %3d deleted, %3d new\n", report.filesChanged, report.filesDeleted,
           report.filesNew);
    printf("Dirs : %3d changed, %3d deleted, %3d new\n", report.dirsChanged, report.dirsDeleted,
           report.dirsNew);
  }
  return status;
}
