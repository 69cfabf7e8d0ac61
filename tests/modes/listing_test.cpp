// PrintTable on tables built in memory: list order with interleaved parents, header limits.
#include "modes/listing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cinttypes>
#include <cstring>
#include <string>

#include "core/table.h"
#include "store/format.h"

namespace {

Record Entry(const char* name, uint32_t attr, uint64_t size, uint32_t up) {
  Record r;
  r.SetLongName(name);
  memcpy(r.cShortName, name, std::min(strlen(name), size_t{kShortNameLen}));
  r.dwAttr = attr;
  r.qwSize = size;
  r.dwUpIdx = up;
  return r;
}

std::string Printed(Table& t, const char* format, int lists, int emptyFolders, int all) {
  ::testing::internal::CaptureStdout();
  PrintTable(t, format, lists, emptyFolders, all);
  fflush(stdout);
  return ::testing::internal::GetCapturedStdout();
}

// Children of one directory are not adjacent, as in a table that Scan has appended to.
Table Interleaved() {
  Table t;
  strcpy(t.cStartPath, "R");
  t.cStartPath[1] = kPathSep;
  t.cStartPath[2] = '\0';
  strcpy(t.cFileMask, "*.*");
  t.records = {Entry("A", 0x10, 0, 0),  Entry("B", 0x10, 0, 0),  Entry("f1", 0x20, 1, 2),
               Entry("f2", 0x20, 2, 1), Entry("f3", 0x20, 3, 2), Entry("C", 0x80000010u, 0, 1),
               Entry("f4", 0x20, 4, 6), Entry("D", 0x10, 0, 2)};
  return t;
}

const std::string kHead =
    "#        IDX      UpIDX    Long File Name    \n"
    "-------  -------  -------  ------------------\n";
const std::string kLine = "-------  -------  -------  ------------------\n";

std::string Row(const char* no, const char* id, const char* up, const char* name) {
  char text[80];
  snprintf(text, sizeof text, "%-8s %-8s %-8s %-18s\n", no, id, up, name);
  return text;
}

std::string Path(const char* rel) {
  std::string p = std::string("R") + kPathSep + rel;
  for (char& c : p)
    if (c == '/') c = kPathSep;
  return p + "\n\n";
}

TEST(PrintTableTest, PerDirectoryListsFollowTableOrder) {
  Table t = Interleaved();
  const std::string start = "File mask   :   *.*\n\n";
  std::string lists = start + Path("") + kHead + Row("1", "0", "0", "A") + Row("2", "1", "0", "B") +
                      kLine + "Total:          Files: 0      Directories: 2      Size: 0\n\n" +
                      Path("A") + kHead + Row("1", "3", "1", "f2") + kLine +
                      "Total:          Files: 1      Directories: 0      Size: 2\n\n" + Path("B") +
                      kHead + Row("1", "2", "2", "f1") + Row("2", "4", "2", "f3") +
                      Row("3", "7", "2", "D") + kLine +
                      "Total:          Files: 2      Directories: 1      Size: 4\n\n" +
                      Path("A/C") + kHead + Row("1", "6", "6", "f4") + kLine +
                      "Total:          Files: 1      Directories: 0      Size: 4\n\n";
  EXPECT_EQ(Printed(t, "NO ID UP FL", 1, 0, 0),
            lists + "Report total:   Files: 4      Directories: 3      Size: 10\n");

  // The empty directory D, the last record, gets its block; the hidden C is still a list.
  std::string withEmpty = Printed(t, "NO ID UP FL", 1, 1, 0);
  EXPECT_NE(withEmpty.find(Path("B/D") + kHead + kLine +
                           "Total:          Files: 0      Directories: 0      Size: 0\n\n"
                           "Report total:"),
            std::string::npos);

  // One long list in table order, marked records included on request.
  std::string all = Printed(t, "ID", 0, 0, 1);
  EXPECT_EQ(all, start + Path("") +
                     "IDX      \n-------  \n0        \n1        \n2        \n3        \n"
                     "4        \n5        \n6        \n7        \n-------  \n"
                     "Total:          Files: 4      Directories: 4      Size: 10\n\n"
                     "Report total:   Files: 4      Directories: 4      Size: 10\n");
}

// The cells are written by hand; each must read as its printf format prints it.
TEST(PrintTableTest, CellsReadAsTheirFormats) {
  Table t;
  strcpy(t.cFileMask, "*.*");
  const char* longName = "a-name-longer-than-eighteen";
  t.records = {Entry("d", 0x10, 0, 0), Entry("f", 0x21, 0, 0),
               Entry("ab\x01"
                     "c",
                     0x20, 7, 0),
               Entry(longName, 0x20, 123456789012345ull, 0),
               Entry("huge", 0x20, (1ull << 63) + 5, 0)};
  t.records[2].dwCRC = 0xABCDu;
  t.records[4].dwCRC = 0xFEDCBA98u;
  std::string expected;
  for (const Record& r : t.records) {
    char row[160], attr[kAttrTextSize];
    FormatAttributes(r.dwAttr, attr);
    std::string name = r.LongName();
    CharToOemA(&name[0], &name[0]);
    char crc[16], size[32];
    if (r.IsDir()) {
      snprintf(crc, sizeof crc, "%-8s  ", " ");
      snprintf(size, sizeof size, "%12s  ", "-Directory");
    } else {
      snprintf(crc, sizeof crc, "%08X  ", static_cast<unsigned>(r.dwCRC));
      snprintf(size, sizeof size, "%12" PRId64 "  ", static_cast<int64_t>(r.qwSize));
    }
    snprintf(row, sizeof row, "%-12s  %s  %s%s%-18s\n", name.substr(0, kShortNameLen).c_str(), attr,
             size, crc, name.c_str());
    expected += row;
  }
  std::string out = Printed(t, "FS AT SZ CC FL", 0, 0, 0);
  EXPECT_NE(out.find(expected), std::string::npos) << out;
}

TEST(PrintTableTest, EmptyTablesAndHeaderLimits) {
  Table t;
  strcpy(t.cFileMask, "*.x");
  EXPECT_EQ(Printed(t, "FS", 1, 0, 0),
            "File mask   :   *.x\n\nReport total:   Files: 0      Directories: 0      Size: 0\n");
  // Repeated codes are cut at 254 characters in the header and in the underline.
  std::string format;
  for (int k = 0; k < 15; ++k) format += "TC ";
  std::string out = Printed(t, format.c_str(), 1, 1, 0);
  std::string head = std::string("Create Time") + std::string(12, ' ');
  std::string dash = std::string(21, '-') + "  ";
  std::string fullHead, fullLine;
  for (int k = 0; k < 15; ++k) fullHead += head, fullLine += dash;
  fullHead.resize(254);
  fullLine.resize(254);
  EXPECT_EQ(out, "File mask   :   *.x\n\n.\n\n" + fullHead + "\n" + fullLine + "\n" + fullLine +
                     "\nReport total:   Files: 0      Directories: 0      Size: 0\n");
  // No valid code: empty header, underline and rows.
  Table one = Interleaved();
  EXPECT_EQ(Printed(one, "XX", 0, 0, 0),
            "File mask   :   *.*\n\n" + Path("") +
                "\n\n\n\n\n\n\n\n\n\nTotal:          Files: 4      Directories: 3      Size: 10\n\n"
                "Report total:   Files: 4      Directories: 3      Size: 10\n");
}

}  // namespace
