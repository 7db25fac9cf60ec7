// A started engine in a clean profile directory, ended after each test,
// with a check that every memory block the engine allocated was freed.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "kv/xbase.h"
#include "platform/kernel/memory.h"
#include "tests/support/temp_dir.h"

namespace kvtest {

// Points the engine's profile files (its settings file) at `dir`.
inline void UseProfileDir(const std::string& dir) {
#ifdef _WIN32
  _putenv_s("KV_WINDIR", dir.c_str());
#else
  setenv("KV_WINDIR", dir.c_str(), 1);
#endif
}

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseProfileDir(profileDir_.path());
    blocksBefore_ = kvp::GlobalLiveBlocks();
    ASSERT_EQ(XBDINIT(100, 4), 0);
  }
  void TearDown() override {
    XBDTERM();
    EXPECT_EQ(kvp::GlobalLiveBlocks(), blocksBefore_) << "engine memory blocks leaked";
  }
  std::string File(const std::string& name) const { return dir_.File(name); }

  TempDir dir_;
  TempDir profileDir_;
  size_t blocksBefore_ = 0;
};

}  // namespace kvtest
