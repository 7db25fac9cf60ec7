// Calls of the test module's functions through a call server over
// loopback: every type code by value and by reference, kinds in, out and
// in/out, results by return type, and global blocks that the reply grows.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "tests/comm_rpc/rpc_support.h"

namespace {

using kvrpctest::CallRecord;

class CallTypes : public ::testing::Test {
 protected:
  void SetUp() override {
    directory.Passwords("alice=Secret\n");
    server = std::make_unique<kvrpctest::RunningServer>(0);
    client = kvrpctest::Connect(server->Port());
    ASSERT_NE(client, nullptr);
  }
  void TearDown() override {
    if (client != nullptr) DeconnecteLibrairie(client);
    EXPECT_TRUE(server->Stop());
  }
  kvrpctest::ServerDirectory directory;
  kvrpctest::MessageLog log;
  std::unique_ptr<kvrpctest::RunningServer> server;
  clCLIENT* client = nullptr;
};

TEST_F(CallTypes, EveryIntegerTypeByValueComesBackInItsWidth) {
  struct Case {
    const char* function;
    uint32_t type;
    uint64_t sent;
    uint32_t size;
    uint16_t resultSize;
    uint64_t expected;
  } cases[] = {
      {"EchoI8", 2, 0xFF, 1, 1, 0xFF},
      {"EchoI8", 2, 0x7F, 1, 1, 0x7F},
      {"EchoI16", 3, 0x8000, 2, 2, 0x8000},
      {"EchoI32", 4, 0x80000000u, 4, 4, 0x80000000u},
      {"EchoU8", 5, 0xFE, 1, 1, 0xFE},
      {"EchoU16", 6, 0xFFFF, 2, 2, 0xFFFF},
      {"EchoU32", 7, 0xFFFFFFFFu, 4, 4, 0xFFFFFFFFu},
      // Only the type's width counts: the bytes above it are not the value.
      {"EchoI8", 2, 0x1234, 2, 1, 0x34},
  };
  for (const Case& c : cases) {
    CallRecord call(c.function, c.type);
    call.Value(c.type, c.sent, c.size);
    ASSERT_EQ(call.Run(client), 0) << c.function;
    EXPECT_EQ(call.Status(), 0);
    EXPECT_EQ(call.ResultSize(), c.resultSize) << c.function;
    EXPECT_EQ(kvrpctest::GetLE(call.Reply()->result, c.resultSize), c.expected) << c.function;
  }
}

TEST_F(CallTypes, FloatsTravelAsFloatsAndDoubles) {
  float f = -2.75f;
  uint32_t fbits;
  std::memcpy(&fbits, &f, 4);
  CallRecord single("EchoF32", 8);
  single.Value(8, fbits, 4);
  ASSERT_EQ(single.Run(client), 0);
  EXPECT_EQ(single.ResultSize(), 4);
  EXPECT_EQ(single.ResultF32(), -2.75f);

  double d = 1e300 / 3;
  uint64_t dbits;
  std::memcpy(&dbits, &d, 8);
  CallRecord wide("EchoF64", 9);
  wide.Value(9, dbits, 8);
  ASSERT_EQ(wide.Run(client), 0);
  EXPECT_EQ(wide.ResultSize(), 8);
  EXPECT_EQ(wide.ResultF64(), d);
}

TEST_F(CallTypes, AllValueTypesInOneCallLandInOrder) {
  unsigned char out[26] = {};
  float g = 0.5f;
  double h = -1024.25;
  uint32_t gbits;
  uint64_t hbits;
  std::memcpy(&gbits, &g, 4);
  std::memcpy(&hbits, &h, 8);
  CallRecord call("Record", 9);
  call.Value(2, 0xFB, 1)  // -5
      .Value(3, 0x7FFF, 2)
      .Value(4, 0xFFFFFF9Cu, 4)  // -100
      .Value(5, 200, 1)
      .Value(6, 60000, 2)
      .Value(7, 4000000000u, 4)
      .Value(8, gbits, 4)
      .Value(9, hbits, 8)
      // By-value parameters of types 1 and 10 pass nothing.
      .Value(1, 0x55, 1)
      .Value(10, 0x55, 4)
      .Reference(2, 5, out, sizeof out);
  ASSERT_EQ(call.Run(client), 0);
  EXPECT_EQ(call.ResultF64(), -5.0 + 32767 - 100 + 200 + 60000 + 4000000000.0 + 0.5 - 1024.25);
  const unsigned char expected[26] = {0xFB, 0xFF, 0x7F, 0x9C, 0xFF, 0xFF, 0xFF, 0xC8, 0x60,
                                      0xEA, 0x00, 0x28, 0x6B, 0xEE, 0,    0,    0,    0x3F,
                                      0,    0,    0,    0,    0,    0x01, 0x90, 0xC0};
  EXPECT_EQ(std::memcmp(out, expected, 26), 0);
  EXPECT_EQ(call.OutSize(0), 26);
}

TEST_F(CallTypes, InOutBuffersOfEveryWidthComeBackChanged) {
  unsigned char bytes[5] = {1, 2, 3, 4, 5};
  CallRecord reverse("ReverseBytes", 1);
  reverse.Reference(3, 5, bytes, 5).Value(7, 5, 4);
  ASSERT_EQ(reverse.Run(client), 0);
  EXPECT_EQ(std::vector<unsigned char>(bytes, bytes + 5),
            (std::vector<unsigned char>{5, 4, 3, 2, 1}));

  int8_t small[3] = {1, -2, 127};
  CallRecord negate("NegateInt8", 1);
  negate.Reference(3, 2, small, 3).Value(7, 3, 4);
  ASSERT_EQ(negate.Run(client), 0);
  EXPECT_EQ(small[0], -1);
  EXPECT_EQ(small[1], 2);
  EXPECT_EQ(small[2], -127);

  int16_t shorts[2] = {-1, 32766};
  CallRecord inc("IncrementInt16", 1);
  inc.Reference(3, 3, shorts, sizeof shorts).Value(7, 2, 4);
  ASSERT_EQ(inc.Run(client), 0);
  EXPECT_EQ(shorts[0], 0);
  EXPECT_EQ(shorts[1], 32767);

  uint16_t ushorts[1] = {65534};
  CallRecord uinc("IncrementUInt16", 1);
  uinc.Reference(3, 6, ushorts, sizeof ushorts).Value(7, 1, 4);
  ASSERT_EQ(uinc.Run(client), 0);
  EXPECT_EQ(ushorts[0], 65535);

  uint32_t words[2] = {7, 0x80000000u};
  CallRecord twice("DoubleUInt32", 1);
  twice.Reference(3, 7, words, sizeof words).Value(7, 2, 4);
  ASSERT_EQ(twice.Run(client), 0);
  EXPECT_EQ(words[0], 14u);
  EXPECT_EQ(words[1], 0u);

  float floats[2] = {3.0f, -1.0f};
  CallRecord halve("HalveFloats", 1);
  halve.Reference(3, 8, floats, sizeof floats).Value(7, 2, 4);
  ASSERT_EQ(halve.Run(client), 0);
  EXPECT_EQ(floats[0], 1.5f);
  EXPECT_EQ(floats[1], -0.5f);

  double doubles[2] = {1.5, -4};
  double factor = 3;
  uint64_t fbits;
  std::memcpy(&fbits, &factor, 8);
  CallRecord scale("ScaleDoubles", 1);
  scale.Reference(3, 9, doubles, sizeof doubles).Value(7, 2, 4).Value(9, fbits, 8);
  ASSERT_EQ(scale.Run(client), 0);
  EXPECT_EQ(doubles[0], 4.5);
  EXPECT_EQ(doubles[1], -12);
}

TEST_F(CallTypes, OutOnlyBufferIsFilledAndInOnlyIsNotSentBack) {
  int32_t triples[4] = {99, 99, 99, 99};
  CallRecord fill("FillTriples", 1);
  fill.Reference(2, 4, triples, sizeof triples).Value(7, 4, 4);
  ASSERT_EQ(fill.Run(client), 0);
  EXPECT_EQ(triples[0], -7);
  EXPECT_EQ(triples[3], 2);

  unsigned char data[4] = {10, 20, 30, 40};
  CallRecord sum("SumBytes", 7);
  sum.Reference(1, 5, data, 4).Value(7, 4, 4);
  ASSERT_EQ(sum.Run(client), 0);
  EXPECT_EQ(sum.ResultI32(), 100);
}

TEST_F(CallTypes, GlobalBlockReplacedByTheFunctionGrowsTheCallersBlock) {
  kvp::HGLOBAL handle = kvp::GlobalAlloc(kvp::GHND, 8);
  void* block = kvp::GlobalLock(handle);
  CallRecord grow("GrowBlock", 1);
  grow.Reference(3, 10, block, 8).Value(7, 300, 4);
  ASSERT_EQ(grow.Run(client), 0);
  EXPECT_EQ(grow.OutSize(0), 300);
  void* now = grow.SlotPointer(0);
  EXPECT_EQ(grow.OutBuffer(0), now);
  kvp::HGLOBAL grown = kvp::GlobalHandle(now);
  ASSERT_NE(grown, 0u);
  EXPECT_GE(kvp::GlobalSize(grown), 300u);
  const unsigned char* bytes = static_cast<const unsigned char*>(now);
  EXPECT_EQ(kvrpctest::GetLE(bytes, 4), 300u);
  for (int i = 4; i < 300; ++i) ASSERT_EQ(bytes[i], static_cast<unsigned char>(i * 7)) << i;
  kvp::GlobalUnlock(grown);
  kvp::GlobalFree(grown);
}

TEST_F(CallTypes, MissingCallerBlockGetsANewOne) {
  CallRecord grow("GrowBlock", 1);
  grow.Reference(2, 10, nullptr, 0).Value(7, 16, 4);
  ASSERT_EQ(grow.Run(client), 0);
  void* now = grow.SlotPointer(0);
  ASSERT_NE(now, nullptr);
  kvp::HGLOBAL block = kvp::GlobalHandle(now);
  ASSERT_NE(block, 0u);
  EXPECT_EQ(kvrpctest::GetLE(static_cast<unsigned char*>(now), 4), 16u);
  kvp::GlobalUnlock(block);
  kvp::GlobalFree(block);
}

TEST_F(CallTypes, BlockWordIsBoundedByTheBlock) {
  // A first word larger than the block: only the block's bytes come back.
  kvp::HGLOBAL handle = kvp::GlobalAlloc(kvp::GHND, 12);
  void* block = kvp::GlobalLock(handle);
  CallRecord over("OverclaimBlock", 1);
  over.Reference(3, 10, block, 12).Value(4, 0x7FFFFFFF, 4);
  ASSERT_EQ(over.Run(client), 0);
  EXPECT_EQ(over.OutSize(0), 12);
  // A negative word sends nothing back.
  CallRecord negative("OverclaimBlock", 1);
  negative.Reference(3, 10, block, 12).Value(4, 0xFFFFFFFF, 4);
  ASSERT_EQ(negative.Run(client), 0);
  EXPECT_EQ(negative.OutSize(0), 0);
  // A block of fewer than 4 bytes has no word: nothing comes back.
  CallRecord tiny("Nothing", 1);
  tiny.Reference(3, 10, block, 3);
  ASSERT_EQ(tiny.Run(client), 0);
  EXPECT_EQ(tiny.OutSize(0), 0);
  kvp::GlobalUnlock(handle);
  kvp::GlobalFree(handle);
}

TEST_F(CallTypes, ManyCallsOnOneSessionKeepTheModule) {
  for (int i = 0; i < 200; ++i) {
    CallRecord call("EchoI32", 4);
    call.Value(4, static_cast<uint32_t>(i), 4);
    ASSERT_EQ(call.Run(client), 0);
    ASSERT_EQ(call.ResultI32(), i);
  }
}

TEST_F(CallTypes, CallWithoutReplyStillRuns) {
  CallRecord quiet("Nothing", 1);
  quiet.NoReply();
  EXPECT_EQ(quiet.Run(client), 0);
  CallRecord after("EchoI32", 4);
  after.Value(4, 42, 4);
  ASSERT_EQ(after.Run(client), 0);
  EXPECT_EQ(after.ResultI32(), 42);
}

TEST_F(CallTypes, FileServerRunsCallsAfterTheCommandWord) {
  kvrpctest::RunningServer files(1);
  clCLIENT* viaFiles = kvrpctest::Connect(files.Port(), 1);
  ASSERT_NE(viaFiles, nullptr);
  for (int i = 0; i < 3; ++i) {
    CallRecord call("EchoU16", 6);
    call.Value(6, 1000 + i, 2);
    ASSERT_EQ(call.Run(viaFiles), 0);
    EXPECT_EQ(kvrpctest::GetLE(call.Reply()->result, 2), 1000u + i);
  }
  DeconnecteLibrairie(viaFiles);
  EXPECT_TRUE(files.Stop());
}

}  // namespace
