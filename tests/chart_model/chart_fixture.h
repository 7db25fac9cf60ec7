// Chart tests go through the host's harness: the library is loaded as the
// host loads it, an instance is made with command 1, and every language
// function is called by its name with a CallBlock of the chosen syntax.
// The model the calls built is then read straight from the instance's chart
// list, and after command 2 no global memory block and no graphic object
// may be left behind.
#pragma once
#include <gtest/gtest.h>
#include <iconv.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "chart/model/chart.h"
#include "chart/model/chart_list.h"
#include "chart/model/font_list.h"
#include "host/ext_harness.h"
#include "kv/chart.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/kernel/memory.h"

namespace charttest {

using kvhost::Argument;
using kvhost::CallOutcome;

inline Argument I(int32_t value) {
  return Argument::Int(value);
}
inline Argument D(double value) {
  return Argument::Double(value);
}
inline Argument T(std::string_view text) {
  return Argument::Text(text);
}

// UTF-8 as written in the tests to the library's Windows-1252 bytes.
inline std::string Win1252(const std::string& utf8) {
  iconv_t converter = iconv_open("WINDOWS-1252", "UTF-8");
  if (converter == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("no iconv converter");
  std::string in = utf8;
  std::string out(in.size() + 1, '\0');
  char* from = in.data();
  size_t fromLeft = in.size();
  char* to = out.data();
  size_t toLeft = out.size();
  const size_t done = iconv(converter, &from, &fromLeft, &to, &toLeft);
  iconv_close(converter);
  if (done == static_cast<size_t>(-1)) throw std::runtime_error("not Windows-1252: " + utf8);
  out.resize(out.size() - toLeft);
  return out;
}

class ChartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    blocksBefore_ = kvp::GlobalLiveBlocks();
    objectsBefore_ = kvp::GdiLiveObjects();
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
    EXPECT_EQ(kvp::GdiLiveObjects(), objectsBefore_) << "graphic objects left behind";
    library_.Unload();
  }

  // Calls a language function by name; a call that does not match the
  // function's syntax is a mistake of the test.
  CallOutcome Call(std::string_view name, int16_t syntax, const std::vector<Argument>& arguments) {
    std::string mismatch;
    std::optional<CallOutcome> outcome =
        library_.CallByName(name, syntax, arguments, std::nullopt, &mismatch);
    if (!outcome) {
      ADD_FAILURE() << mismatch;
      return CallOutcome{};
    }
    return *outcome;
  }

  // A call expected to succeed without a report.
  void Ok(std::string_view name, int16_t syntax, const std::vector<Argument>& arguments) {
    const CallOutcome outcome = Call(name, syntax, arguments);
    EXPECT_EQ(outcome.returned, 1) << name << " failed with message " << outcome.errorMessage;
    EXPECT_FALSE(outcome.reported) << name;
  }

  // A call expected to fail with a report of `kind` and `message`.
  CallOutcome Fails(std::string_view name, int16_t syntax, const std::vector<Argument>& arguments,
                    uint16_t kind, uint32_t message) {
    const CallOutcome outcome = Call(name, syntax, arguments);
    EXPECT_EQ(outcome.returned, 0) << name;
    EXPECT_TRUE(outcome.reported) << name;
    EXPECT_EQ(outcome.errorKind, kind) << name;
    EXPECT_EQ(outcome.errorMessage, message) << name;
    EXPECT_EQ(outcome.errorRecordMessage, message) << name;
    EXPECT_EQ(outcome.errorTextCount, 2) << name;
    return outcome;
  }

  InstanceContext& instance() { return *static_cast<InstanceContext*>(library_.instance()); }

  // The chart the calls built; null when there is none of that name.
  const kv::chart::Chart* Model(std::string_view upperName) {
    const KvChartList& list = *instance().charts;
    const std::optional<size_t> index = kv::chart::FindChart(list, upperName);
    return index ? list.charts[*index].get() : nullptr;
  }
  const kv::chart::Chart& ModelOf(std::string_view upperName) {
    const kv::chart::Chart* chart = Model(upperName);
    if (chart == nullptr) throw std::runtime_error("no chart " + std::string(upperName));
    return *chart;
  }

  size_t ChartCount() { return instance().charts->charts.size(); }

  kvhost::ExtensionLibrary library_;
  size_t blocksBefore_ = 0;
  size_t objectsBefore_ = 0;
};

// The description a font object was made from.
inline kvp::LOGFONTA Describe(kvp::HFONT font) {
  kvp::LOGFONTA description{};
  EXPECT_EQ(kvp::GetObjectA(font, sizeof description, &description),
            static_cast<int>(sizeof description));
  return description;
}

}  // namespace charttest
