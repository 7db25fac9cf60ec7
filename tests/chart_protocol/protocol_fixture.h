// The chart library loaded as the host loads it, with an instance made by
// command 1 and its tables read by command 3. After command 2 no global
// memory block may be left behind.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "host/ext_harness.h"
#include "kv/chart.h"
#include "platform/kernel/memory.h"
#include "tests/support/cp1252.h"

namespace chartprotocol {

using kvhost::Argument;
using kvhost::CallOutcome;
using kvhost::ResultArea;

inline Argument I(int32_t value) {
  return Argument::Int(value);
}
inline Argument D(double value) {
  return Argument::Double(value);
}
inline Argument T(std::string_view text) {
  return Argument::Text(text);
}

class ProtocolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    blocksBefore_ = kvp::GlobalLiveBlocks();
    std::string error;
    ASSERT_TRUE(library_.Load("kvchart.dll", error)) << error;
    ASSERT_TRUE(library_.CreateInstance());
    ASSERT_TRUE(library_.Describe());
  }

  void TearDown() override {
    if (library_.instance() != nullptr) {
      EXPECT_TRUE(library_.DestroyInstance());
    }
    EXPECT_EQ(kvp::GlobalLiveBlocks(), blocksBefore_) << "global blocks left behind";
    library_.Unload();
  }

  CallOutcome Call(std::string_view name, int16_t syntax, const std::vector<Argument>& arguments,
                   bool keepReport = false) {
    std::string mismatch;
    std::optional<CallOutcome> outcome =
        library_.CallByName(name, syntax, arguments, std::nullopt, &mismatch, keepReport);
    if (!outcome) {
      ADD_FAILURE() << mismatch;
      return CallOutcome{};
    }
    return *outcome;
  }

  kvhost::ExtensionLibrary library_;
  size_t blocksBefore_ = 0;
};

}  // namespace chartprotocol
