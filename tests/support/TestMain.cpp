#include <gtest/gtest.h>

#include "base/SystemLibraries.h"

// Test programs load the system libraries the way the launcher does.
int main(int argc, char** argv) {
  SystemLibraries::Load();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
