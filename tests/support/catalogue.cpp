// Reading back a saved catalogue for the tests.
#include "tests/support/catalogue.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "store/datafile.h"

Table ReadCatalogue(const std::string& path, int* code) {
  Table t;
  snprintf(t.cDataFile, sizeof t.cDataFile, "%s", path.c_str());
  int rc = ReadDataFile(t);
  if (code != nullptr) {
    *code = rc;
  } else {
    EXPECT_EQ(0, rc) << path;
  }
  return t;
}

std::vector<std::string> StoredPaths(const Table& t) {
  std::vector<std::string> paths;
  char rel[2 * MAX_PATH];
  for (unsigned i = 0; i < t.records.size(); ++i) {
    rel[0] = '\0';
    t.ComposeLongPath(i, rel, sizeof rel);
    paths.push_back(rel);
  }
  return paths;
}
