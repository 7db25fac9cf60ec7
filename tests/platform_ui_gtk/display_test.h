// A test that runs on the display the suite was started on (its Xvfb).
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace kvtest {

class DisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* display = std::getenv("DISPLAY");
    ASSERT_NE(display, nullptr) << "run on a display (scripts/with-xvfb.sh)";
    display_ = display;
  }
  std::string display_;
};

}  // namespace kvtest
