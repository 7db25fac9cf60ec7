#include <gtest/gtest.h>

#include "kv/host_exports.h"
#include "tests/image/image_support.h"

int main(int argc, char** argv) {
  // The image library finds the host's module loaded in the process, as in
  // the real host: referring to its opener keeps the linker from dropping it.
  volatile auto opener = &BMP_bOpenExport;
  (void)opener;
  ::testing::InitGoogleTest(&argc, argv);
  // The wait window's class lives on the image library's instance.
  ::testing::AddGlobalTestEnvironment(new kvimgtest::LibraryEnvironment);
  return RUN_ALL_TESTS();
}
