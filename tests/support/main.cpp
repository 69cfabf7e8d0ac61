// The entry point of every test program: GoogleTest's, with plain line ends on standard output.
#include <gtest/gtest.h>

#include "tests/support/lineends.h"

int main(int argc, char** argv) {
  UsePlainLineEnds();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
