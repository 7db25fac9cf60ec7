#include <gtest/gtest.h>

#include "tests/image/image_support.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new kvimgtest::LibraryEnvironment);
  return RUN_ALL_TESTS();
}
