// Progress lines fitted to the console's width: cut, never wrapped, UTF-8 never split.
#include "core/consolefit.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kSquare = "\xE2\x96\xA0";  // the mark in UTF-8: three bytes, counted as two
const std::string kE = "\xC3\xA9";           // e acute: two bytes, one column

TEST(ConsoleFit, EveryRewrittenPartIsCutToTheWidthLessOne) {
  struct Case {
    std::string text;
    int columns;
    bool utf8;
    std::string shown;
  };
  const Case cases[] = {
      {"abcdef\r", 5, false, "abcd\r"},
      {"short\r", 80, false, "short\r"},
      {std::string(79, ' ') + "\r   Compacting table ...\r", 20, false,
       std::string(19, ' ') + "\r   Compacting table\r"},
      {"line one\nline two\r", 6, false, "line \nline \r"},
      {kSquare + " Tree\r", 4, true, kSquare + " \r"},
      {kSquare + " Tree\r", 4, false, kSquare + "\r"},  // three bytes of a code page
      {kE + kE + kE + "\r", 3, true, kE + kE + "\r"},
      {kE + kE + kE + "\r", 3, false, kE + "\r"},
      {"\xE2x\r", 2, true, "\xE2\r"},  // a broken sequence is one character per byte
      {"anything\r", 1, false, "\r"},
      {"anything\r", 0, false, "\r"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.shown, FitToConsole(c.text, c.columns, c.utf8)) << c.text << " at " << c.columns;
}

TEST(ConsoleFit, TheChecksumLineShowsThePathAndTheFilesDoneOfAll) {
  const std::string path = "/home/me/photos/2019/holiday/beach.jpg";  // 38 columns
  struct Case {
    int columns;
    std::string shown;
  };
  const Case cases[] = {
      {60, path + std::string(10, ' ') + "      3/125"},
      {40, "/home/me/phot...ay/beach.jpg      3/125"},
      {20, "/ho...pg      3/125"},
      {15, "     3/125    "},  // no room for the path
      {6, "3/125"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.shown, ChecksumProgressText(path, 3, 125, c.columns, false)) << c.columns;
  for (int columns : {1, 2, 9, 21, 22, 31, 80, 81, 200})
    EXPECT_EQ(static_cast<size_t>(columns - 1),
              ChecksumProgressText(path, 3, 125, columns, false).size())
        << columns;
  // Cut between characters: the wide ones count two.
  std::string wide;
  for (int i = 0; i < 30; ++i) wide += "\xE6\x97\xA5";  // a CJK character, two columns
  std::string shown = ChecksumProgressText(wide, 1, 1, 30, true);
  std::string four = wide.substr(0, 12);
  EXPECT_EQ(four + "..." + four + "       1/1", shown);  // 19 columns, a space, the count
}

}  // namespace
