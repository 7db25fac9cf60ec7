// Real bytes through a socat pseudo-terminal pair: what the port writes
// comes out of the far end and what the far end writes is counted in the
// input queue and read back, at several line speeds.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "tests/comm_serial/serial_fixture.h"

namespace {

using commtest::FarEnd;
using commtest::Outcome;
using commtest::SerialTest;
using commtest::Text;

// Every byte value, so that zeros and control characters are seen too.
std::string AllBytes(size_t count, unsigned seed) {
  std::string bytes(count, '\0');
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>((i * 7 + seed) & 0xFF);
  return bytes;
}

class SerialBytes : public SerialTest {
 protected:
  // Real bytes go through the system calls themselves, as a program's do.
  void SetUp() override {
    SerialTest::SetUp();
    kvp::SetCommDeviceOps(nullptr);
  }
  // Waits (bounded) until the input queue holds `count` bytes.
  int32_t WaitForInput(int32_t port, int32_t count) {
    int32_t waiting = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while ((waiting = Run(SERIE_bsDansFileEntree, {port}).Integer()) < count &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return waiting;
  }
};

TEST_F(SerialBytes, BothDirectionsAtSeveralSpeeds) {
  WritePorts({{"COM3:", "9600,n,8,1"}});
  ASSERT_TRUE(Open(3));
  FarEnd far(pair_->b());
  unsigned seed = 1;
  for (int32_t baud : {1200, 9600, 57600, 115200}) {
    ASSERT_EQ(Run(SERIE_bsFixeParametre, {3, baud, 0, 8, 0}).Boolean(), 1) << baud;
    // Out through the port. The text carries zeros: its size, not its
    // first zero, gives the length.
    const std::string out = AllBytes(300, seed++);
    Outcome written = Run(SERIE_bsEcrit, {3, Text{out}});
    EXPECT_EQ(written.returned, 1);
    EXPECT_EQ(written.Integer(), 300) << baud;
    EXPECT_EQ(far.Read(out.size()), out) << baud;
    EXPECT_GE(Run(SERIE_bsDansFileSortie, {3}).Integer(), 0);

    // In from the far end: counted, then read in two pieces.
    const std::string in = AllBytes(200, seed++);
    far.Write(in);
    ASSERT_EQ(WaitForInput(3, 200), 200) << baud;
    Outcome first = Run(SERIE_bsLit, {3, 120});
    EXPECT_EQ(first.resultType, 6);
    EXPECT_EQ(first.resultLength, 120u);
    EXPECT_TRUE(first.terminated);
    EXPECT_EQ(Run(SERIE_bsDansFileEntree, {3}).Integer(), 80);
    Outcome rest = Run(SERIE_bsLit, {3, 500});
    EXPECT_EQ(first.bytes + rest.bytes, in) << baud;
    EXPECT_EQ(Run(SERIE_bsDansFileEntree, {3}).Integer(), 0);
  }
}

TEST_F(SerialBytes, TwoPortsOfOneInstanceTalkToEachOther) {
  WritePorts({{"COM3:", "19200,n,8,1"}, {"COM4:", "19200,n,8,1"}});
  ASSERT_TRUE(Open(3));
  ASSERT_TRUE(Open(4));
  ASSERT_EQ(Run(SERIE_bsEcrit, {4, Text{"ATZ\r"}}).Integer(), 4);
  ASSERT_EQ(WaitForInput(3, 4), 4);
  EXPECT_EQ(Run(SERIE_bsLit, {3, 10}).bytes, "ATZ\r");
  ASSERT_EQ(Run(SERIE_bsEcrit, {3, Text{"OK\r\n"}}).Integer(), 4);
  ASSERT_EQ(WaitForInput(4, 4), 4);
  EXPECT_EQ(Run(SERIE_bsLit, {4, 10}).bytes, "OK\r\n");
}

TEST_F(SerialBytes, ReadsReturnAtOnceAndClosedPortsGiveEmptyText) {
  WritePorts({{"COM3:", "9600,n,8,1"}});
  Outcome closed = Run(SERIE_bsLit, {3, 10});
  EXPECT_EQ(closed.returned, 1);
  EXPECT_EQ(closed.resultType, 6);
  EXPECT_EQ(closed.resultLength, 0u);
  EXPECT_TRUE(closed.terminated);
  ASSERT_TRUE(Open(3));
  Outcome nothing = Run(SERIE_bsLit, {3, 10});
  EXPECT_EQ(nothing.resultLength, 0u);
  EXPECT_TRUE(nothing.terminated);
}

TEST_F(SerialBytes, TheCountIsItsLow16BitsAndTheBufferBoundsIt) {
  WritePorts({{"COM3:", "9600,n,8,1"}});
  ASSERT_TRUE(Open(3));
  FarEnd far(pair_->b());
  far.Write(std::string(100, 'z'));
  ASSERT_EQ(WaitForInput(3, 100), 100);
  EXPECT_EQ(Run(SERIE_bsLit, {3, 0x10005}).resultLength, 5u);
  EXPECT_EQ(Run(SERIE_bsLit, {3, 0x10000}).resultLength, 0u);
  // A count past the buffer reads what fits before the zero.
  Outcome cut = Run(SERIE_bsLit, {3, 60000}, 0, kResultAny9, 16);
  EXPECT_EQ(cut.resultLength, 15u);
  EXPECT_TRUE(cut.terminated);
  EXPECT_FALSE(cut.overran);
  EXPECT_EQ(Run(SERIE_bsDansFileEntree, {3}).Integer(), 80);
  Outcome negative = Run(SERIE_bsLit, {3, -1});  // 0xFFFF, cut to the buffer
  EXPECT_EQ(negative.resultLength, 80u);
  EXPECT_FALSE(negative.overran);
}

TEST_F(SerialBytes, AnEmptyArgumentWritesNothing) {
  WritePorts({{"COM3:", "9600,n,8,1"}});
  ASSERT_TRUE(Open(3));
  FarEnd far(pair_->b());
  for (int size : {0, 1}) {
    Outcome written = Run(SERIE_bsEcrit, {3, Text{"abc", size}});
    EXPECT_EQ(written.returned, 1);
    EXPECT_EQ(written.Integer(), 0) << size;
  }
  EXPECT_EQ(Run(SERIE_bsEcrit, {3, Text{"abc", 3}}).Integer(), 2);  // size less one
  EXPECT_EQ(far.Read(10, 1), "ab");
  EXPECT_EQ(Run(SERIE_bsEcrit, {5, Text{"abc"}}).Integer(), 0) << "COM5 is not open";
}

TEST_F(SerialBytes, AClosedFarEndMakesWritesFailQuietly) {
  WritePorts({{"COM3:", "9600,n,8,1"}});
  ASSERT_TRUE(Open(3));
  pair_->Stop();  // the far side and its terminal are gone
  Outcome written = Run(SERIE_bsEcrit, {3, Text{"lost"}});
  EXPECT_EQ(written.returned, 1);
  EXPECT_LE(written.Integer(), 4);
  Outcome read = Run(SERIE_bsLit, {3, 10});
  EXPECT_EQ(read.resultLength, 0u);
  EXPECT_TRUE(read.terminated);
}

}  // namespace
