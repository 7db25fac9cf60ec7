// Address texts: the '@' and '*' forms, scan ranges, last-byte steps and
// the retry plans.
#include "comm/net/address_text.h"

#include <gtest/gtest.h>

#include "platform/net/winsock.h"

namespace {

using kvnet::ParseScanText;
using kvnet::TranslateAddressText;
using kvnet::TranslateResult;

std::optional<std::string> FakeResolve(const std::string& host) {
  if (host == "server") return std::string("10.1.2.3");
  return std::nullopt;
}

TEST(AddressText, AtFormTakesTheHostsFirstThreeBytes) {
  std::string text = "[1-20]@server";
  EXPECT_EQ(TranslateAddressText(text, FakeResolve), TranslateResult::Translated);
  EXPECT_EQ(text, "10.1.2.[1-20]");
  text = "7@server";
  EXPECT_EQ(TranslateAddressText(text, FakeResolve), TranslateResult::Translated);
  EXPECT_EQ(text, "10.1.2.7");
  text = "[1-2]@nowhere";
  EXPECT_EQ(TranslateAddressText(text, FakeResolve), TranslateResult::UnknownHost);
  EXPECT_EQ(text, "[1-2]@nowhere");
}

TEST(AddressText, StarBecomesTheWholeRange) {
  std::string text = "10.0.0.*";
  EXPECT_EQ(TranslateAddressText(text, FakeResolve), TranslateResult::Translated);
  EXPECT_EQ(text, "10.0.0.[1-254]");
  text = "abc*";
  EXPECT_EQ(TranslateAddressText(text, FakeResolve), TranslateResult::Malformed);
  text = "10.0.0.5";
  EXPECT_EQ(TranslateAddressText(text, FakeResolve), TranslateResult::Unchanged);
}

TEST(AddressText, TranslationLongerThanTheLimitIsRefused) {
  const std::string longText = std::string(250, '1') + ".*";
  std::string text = longText;
  EXPECT_EQ(TranslateAddressText(text, FakeResolve), TranslateResult::Malformed);
  EXPECT_EQ(text, longText);  // a refused text is left as it was
}

TEST(AddressText, RangesParseInOrderWithTheirSteps) {
  auto plan = ParseScanText("10.0.0.[5-3][7-9]");
  ASSERT_TRUE(plan);
  EXPECT_EQ(plan->prefix, "10.0.0");
  ASSERT_EQ(plan->ranges.size(), 2u);
  EXPECT_EQ(plan->ranges[0].first, 5);
  EXPECT_EQ(plan->ranges[0].Step(), -1);
  EXPECT_EQ(plan->ranges[0].Tries(), 3);
  EXPECT_EQ(plan->ranges[1].Step(), 1);
  EXPECT_FALSE(plan->malformedTail);
  plan = ParseScanText("10.0.0.[007-0008]");
  ASSERT_TRUE(plan);
  EXPECT_EQ(plan->ranges[0].first, 7);
  EXPECT_EQ(plan->ranges[0].last, 8);
  plan = ParseScanText("10.0.0.[0-255]");
  ASSERT_TRUE(plan);
  EXPECT_EQ(plan->ranges[0].Tries(), 256);
}

TEST(AddressText, MalformedRangesEndTheScan) {
  for (const char* bad :
       {"10.0.0.[1-300]", "10.0.0.[1-2", "10.0.0.[12]", "10.0.0.[-3]",
        "10.0.0.[99999999999999999999-2]", "10.0.0.5", "[1-2]", "10.0.0.[256-1]", ""}) {
    EXPECT_FALSE(ParseScanText(bad)) << bad;
  }
  // A well-formed range before a bad one is kept; the bad one ends the list.
  auto plan = ParseScanText("10.0.0.[1-2][3-999]");
  ASSERT_TRUE(plan);
  EXPECT_EQ(plan->ranges.size(), 1u);
  EXPECT_TRUE(plan->malformedTail);
}

TEST(AddressText, LastByteWrapsWithoutTouchingTheOthers) {
  const uint32_t top = kvp::inet_addr("10.0.0.255");
  EXPECT_EQ(kvnet::StepLastByte(top, 1), kvp::inet_addr("10.0.0.0"));
  EXPECT_EQ(kvnet::StepLastByte(kvp::inet_addr("10.0.0.0"), -1), top);
  EXPECT_EQ(kvnet::StepLastByte(kvp::inet_addr("192.168.7.9"), -1), kvp::inet_addr("192.168.7.8"));
  EXPECT_EQ(kvnet::LastByte(kvp::inet_addr("1.2.3.200")), 200);
}

TEST(AddressText, AnsweredAddressReplacesTheLastPart) {
  EXPECT_EQ(kvnet::WithLastByte("127.0.0.[1-20][30-40]", 33), "127.0.0.33");
  EXPECT_EQ(kvnet::WithLastByte("127.0.0.*", 254), "127.0.0.254");
}

TEST(AddressText, RetryPlans) {
  using Plan = std::vector<long>;
  EXPECT_EQ(kvnet::RetryPlan(0, false), (Plan{1, 5, 20}));
  EXPECT_EQ(kvnet::RetryPlan(0, true), (Plan{1, 5, 20}));
  EXPECT_EQ(kvnet::RetryPlan(-1, false), (Plan{10, 2000, 20000}));
  EXPECT_EQ(kvnet::RetryPlan(-1, true), (Plan{10, 350, 1000}));
  // Below -1 a limit would make the wait fail: it is taken as -1.
  EXPECT_EQ(kvnet::RetryPlan(-7, false), (Plan{10, 2000, 20000}));
  EXPECT_EQ(kvnet::RetryPlan(-7, true), (Plan{10, 350, 1000}));
  EXPECT_EQ(kvnet::RetryPlan(150, true), (Plan{150}));
}

}  // namespace
