// The protocol helpers shared by the extension libraries, called directly:
// argument reading, result writing, the string table and error reports.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "chart/ext/call_block.h"
#include "chart/ext/error_report.h"
#include "chart/ext/global_block.h"
#include "chart/ext/string_table.h"
#include "platform/kernel/fault.h"
#include "platform/kernel/memory.h"
#include "tests/support/packed.h"

namespace {

using kvtest::V;

using namespace kv::ext;

CallBlock EmptyCall() {
  CallBlock call;
  std::memset(&call, 0, sizeof call);
  return call;
}

TEST(CallBlockArguments, SlotsAreReadByTheirTypes) {
  int32_t integer = 0x00018003;  // low 16 bits: -32765
  double real = -2.5;
  char text[] = "chart";
  FieldReference field{reinterpret_cast<void*>(0x10), reinterpret_cast<void*>(0x20), {1, 2, 3, 4}};
  void* window = reinterpret_cast<void*>(0x1234);
  void* slots[] = {nullptr, &integer, &real, text, &field, &window, nullptr};
  CallBlock call = EmptyCall();
  call.arguments = slots;
  call.syntaxIndex = -2;
  EXPECT_EQ(SyntaxIndex(call), -2);
  EXPECT_EQ(ArgInt(call, 1), 0x00018003);
  EXPECT_EQ(ArgInt16(call, 1), -32765);
  EXPECT_EQ(ArgDouble(call, 2), -2.5);
  EXPECT_EQ(ArgText(call, 3), text);
  EXPECT_EQ(ArgField(call, 4)->window, reinterpret_cast<void*>(0x20));
  EXPECT_EQ(ArgWindow(call, 5), window);
  // Null slots, slot 0 and a missing slot array read as nothing.
  EXPECT_EQ(ArgInt(call, 6), 0);
  EXPECT_EQ(ArgDouble(call, 6), 0.0);
  EXPECT_EQ(ArgText(call, 6), nullptr);
  EXPECT_EQ(ArgWindow(call, 6), nullptr);
  EXPECT_EQ(ArgInt(call, 0), 0);
  EXPECT_EQ(ArgInt(call, -1), 0);
  call.arguments = nullptr;
  EXPECT_EQ(ArgInt(call, 1), 0);
  EXPECT_EQ(ArgField(call, 4), nullptr);
}

TEST(CallBlockResults, TextIsCutSoThatItsZeroFits) {
  char buffer[8];
  CallBlock call = EmptyCall();
  call.resultBuffer = buffer;
  call.resultCapacity = 6;
  call.resultType = kResultAny10;
  std::memset(buffer, 'x', sizeof buffer);
  ASSERT_TRUE(SetTextResult(call, "abcdefgh"));
  EXPECT_EQ(V(call.resultType), kResultText);
  EXPECT_EQ(V(call.resultLength), 5u);
  EXPECT_STREQ(buffer, "abcde");
  EXPECT_EQ(buffer[6], 'x');

  call.resultType = kResultText;
  ASSERT_TRUE(SetTextResult(call, nullptr));
  EXPECT_EQ(V(call.resultLength), 0u);
  EXPECT_EQ(buffer[0], '\0');

  call.resultType = kResultInt;
  call.resultLength = 77;
  EXPECT_FALSE(SetTextResult(call, "a"));
  EXPECT_EQ(V(call.resultType), kResultInt);
  EXPECT_EQ(V(call.resultLength), 77u);

  // No buffer: the type is taken, nothing is written.
  call.resultType = kResultText;
  call.resultBuffer = nullptr;
  EXPECT_TRUE(SetTextResult(call, "abc"));
  EXPECT_EQ(V(call.resultLength), 0u);
}

TEST(CallBlockResults, IntegerNeedsFourBytesAndAnAcceptingType) {
  unsigned char buffer[4] = {};
  CallBlock call = EmptyCall();
  call.resultBuffer = buffer;
  call.resultCapacity = 4;
  for (uint8_t preset : {uint8_t{kResultInt}, uint8_t{kResultAny9}, uint8_t{kResultAny10}}) {
    call.resultType = preset;
    ASSERT_TRUE(SetIntResult(call, -2));
    EXPECT_EQ(V(call.resultType), kResultInt);
    EXPECT_EQ(V(call.resultLength), 4u);
    int32_t stored;
    std::memcpy(&stored, buffer, 4);
    EXPECT_EQ(stored, -2);
  }
  call.resultType = kResultText;
  EXPECT_FALSE(SetIntResult(call, 1));
  call.resultType = kResultInt;
  call.resultCapacity = 3;
  call.resultLength = 0;
  EXPECT_FALSE(SetIntResult(call, 1));
  EXPECT_EQ(V(call.resultLength), 0u);
}

constexpr StringEntry kFirst[] = {{1, "un"}, {10001, "one"}, {7, nullptr}};
constexpr StringEntry kSecond[] = {{1, "again"}, {2, "deux"}};

TEST(StringTableTest, SeveralPartsFirstTextWinsUnknownIsEmpty) {
  StringTable table{kFirst, kSecond};
  EXPECT_EQ(table.size(), 4u);
  EXPECT_EQ(table.Find(1), "un");
  EXPECT_EQ(table.Find(2), "deux");
  EXPECT_EQ(table.Find(7), "");
  EXPECT_EQ(table.Find(3), "");
  char buffer[3] = {'x', 'x', 'x'};
  EXPECT_EQ(table.Load(10001, buffer, sizeof buffer), 2u);
  EXPECT_STREQ(buffer, "on");
  EXPECT_EQ(table.Load(3, buffer, sizeof buffer), 0u);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(table.Load(1, buffer, 0), 0u);
  EXPECT_EQ(table.Load(1, nullptr, 5), 0u);
}

TEST(ErrorReportTest, TextsAreCutAt250CharactersAndMissingOnesAreEmpty) {
  const std::string longText(400, 'L');
  const StringEntry entries[] = {{60, longText.c_str()}};
  StringTable table{entries};
  size_t blocks = kvp::GlobalLiveBlocks();
  CallBlock call = EmptyCall();
  EXPECT_EQ(ReportError(call, 1, 60, table), 0);
  EXPECT_EQ(V(call.errorMessage), 60u);
  EXPECT_EQ(V(call.error.kind), 1);
  EXPECT_EQ(V(call.error.textCount), 2);
  EXPECT_EQ(V(call.error.message), 60u);
  ASSERT_NE(V(call.error.texts), nullptr);
  EXPECT_EQ(std::string(call.error.texts[0].text), std::string(250, 'L'));
  EXPECT_EQ(std::string(call.error.texts[1].text), "");  // no text 10060
  EXPECT_EQ(kvp::GlobalLiveBlocks(), blocks + 3);
  ReleaseErrorRecord(&call.error);
  EXPECT_EQ(kvp::GlobalLiveBlocks(), blocks);
  EXPECT_EQ(V(call.error.texts), nullptr);
  ReleaseErrorRecord(&call.error);
  ReleaseErrorRecord(nullptr);
  EXPECT_EQ(kvp::GlobalLiveBlocks(), blocks);
}

int hookCalls = 0;

TEST(HostBlocks, FailedAllocationCallsTheHookAndGivesNull) {
  size_t blocks = kvp::GlobalLiveBlocks();
  void* block = AllocateHostBlock(10);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(kvp::GlobalSize(kvp::GlobalHandle(block)), 10u);
  for (unsigned char b : std::string(static_cast<char*>(block), 10)) EXPECT_EQ(b, 0);
  FreeHostBlock(block);
  FreeHostBlock(nullptr);
  EXPECT_EQ(kvp::GlobalLiveBlocks(), blocks);

  hookCalls = 0;
  kvp::fault::Reset();
  kvp::fault::Arm(kvp::fault::Op::Alloc, 1, kvp::ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(AllocateHostBlock(10), nullptr);  // no hook set: just null
  SetOutOfMemoryHook([] { ++hookCalls; });
  kvp::fault::Arm(kvp::fault::Op::Alloc, 1, kvp::ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(AllocateHostBlock(10), nullptr);
  kvp::fault::Reset();
  SetOutOfMemoryHook(nullptr);
  EXPECT_EQ(hookCalls, 1);
  EXPECT_EQ(kvp::GlobalLiveBlocks(), blocks);
}

}  // namespace
