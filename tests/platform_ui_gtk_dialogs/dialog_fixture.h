// The fixture of the desktop dialog tests: the GTK backend must be the one
// in use (the suite runs under a private X server), the tools that play the
// user must be there, and whatever a test showed must be gone at its end.
#pragma once
#include <gtest/gtest.h>

#include <cstddef>
#include <string>

#include "tests/platform_ui_gtk_dialogs/desktop_driver.h"
#include "tests/support/temp_dir.h"

namespace gtk_dialogs_test {

class DesktopTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A title no other test uses, so that a window still going away from an
  // earlier case is never the one found.
  std::string UniqueTitle(const std::string& stem);

  kvtest::TempDir dir_;
  size_t windowsBefore_ = 0;
  size_t objectsBefore_ = 0;
};

}  // namespace gtk_dialogs_test
