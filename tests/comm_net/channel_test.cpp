// clCHANNEL: typed values of every type both ways, plain and scrambled, in
// the 32-bit platform's widths, against bytes built by hand and the
// reference scrambling.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/comm_net/net_support.h"

namespace {

using kvnettest::PatternBytes;
using kvnettest::ReferenceScrambler;
using kvnettest::Session;

// Two channels over a connected pair, each owning its socket.
struct ChannelPair {
  std::unique_ptr<clSOCKET> listener;
  std::unique_ptr<clCHANNEL> near;
  std::unique_ptr<clCHANNEL> far;
};

ChannelPair Channels(long nearMode, long farMode) {
  kvnettest::Pair pair = kvnettest::Connect(nearMode, farMode);
  ChannelPair channels;
  channels.listener = std::move(pair.listener);
  channels.near = std::make_unique<clCHANNEL>(pair.near.release());
  channels.far = std::make_unique<clCHANNEL>(pair.far.release());
  return channels;
}

std::string LittleEndian(uint64_t value, int width) {
  std::string bytes;
  for (int i = 0; i < width; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
  return bytes;
}

uint64_t DoubleBits(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, 8);
  return bits;
}

// Sends one value of each type, then the odd-sized filler, and returns the
// bytes expected on the wire in plain form.
std::string SendAll(clCHANNEL& channel, int round) {
  std::string wire;
  const unsigned char uc = static_cast<unsigned char>(0xF0 + round);
  const unsigned short us = static_cast<unsigned short>(0xBEEF - round);
  const unsigned long ul = 0xFFFFFFFFul - static_cast<unsigned long>(round);
  const short ss = static_cast<short>(-32768 + round);
  const long sl = -2147483647L - 1 + round;
  const float f = -1.25f * static_cast<float>(round + 1);
  const double d = 1e300 / (round + 1);
  const long double ld = 0.1L * (round + 1);
  EXPECT_EQ(channel << uc, 0);
  wire += LittleEndian(uc, 1);
  EXPECT_EQ(channel << us, 0);
  wire += LittleEndian(us, 2);
  EXPECT_EQ(channel << ul, 0);
  wire += LittleEndian(ul, 4);
  EXPECT_EQ(channel << ss, 0);
  wire += LittleEndian(static_cast<uint16_t>(ss), 2);
  EXPECT_EQ(channel << sl, 0);
  wire += LittleEndian(static_cast<uint32_t>(static_cast<int32_t>(sl)), 4);
  EXPECT_EQ(channel << f, 0);
  uint32_t fbits;
  std::memcpy(&fbits, &f, 4);
  wire += LittleEndian(fbits, 4);
  EXPECT_EQ(channel << d, 0);
  wire += LittleEndian(DoubleBits(d), 8);
  EXPECT_EQ(channel << ld, 0);
  wire += LittleEndian(DoubleBits(static_cast<double>(ld)), 8);
  const std::string filler = PatternBytes(static_cast<size_t>(round * 13 + 1), round);
  EXPECT_EQ(channel.lSendAll(filler.data(), static_cast<long>(filler.size())),
            static_cast<long>(filler.size()));
  wire += filler;
  return wire;
}

void ReceiveAll(clCHANNEL& channel, int round) {
  unsigned char uc = 0;
  unsigned short us = 0;
  unsigned long ul = 0;
  short ss = 0;
  long sl = 0;
  float f = 0;
  double d = 0;
  long double ld = 0;
  ASSERT_EQ(channel >> uc, 0);
  EXPECT_EQ(uc, static_cast<unsigned char>(0xF0 + round));
  ASSERT_EQ(channel >> us, 0);
  EXPECT_EQ(us, static_cast<unsigned short>(0xBEEF - round));
  ASSERT_EQ(channel >> ul, 0);
  EXPECT_EQ(ul, 0xFFFFFFFFul - static_cast<unsigned long>(round));
  ASSERT_EQ(channel >> ss, 0);
  EXPECT_EQ(ss, static_cast<short>(-32768 + round));
  ASSERT_EQ(channel >> sl, 0);
  EXPECT_EQ(sl, -2147483647L - 1 + round);
  ASSERT_EQ(channel >> f, 0);
  EXPECT_EQ(f, -1.25f * static_cast<float>(round + 1));
  ASSERT_EQ(channel >> d, 0);
  EXPECT_EQ(d, 1e300 / (round + 1));
  ASSERT_EQ(channel >> ld, 0);
  EXPECT_EQ(ld, static_cast<long double>(static_cast<double>(0.1L * (round + 1))));
  std::string filler(static_cast<size_t>(round * 13 + 1), '\0');
  ASSERT_EQ(channel.lRecv(filler.data(), static_cast<long>(filler.size())),
            static_cast<long>(filler.size()));
  EXPECT_EQ(filler, PatternBytes(filler.size(), static_cast<uint32_t>(round)));
}

class TypedValues : public ::testing::TestWithParam<long> {};

TEST_P(TypedValues, EveryTypeBothWaysOverManyRounds) {
  Session session;
  ChannelPair channels = Channels(GetParam(), GetParam());
  for (int round = 0; round < 25; ++round) {
    SendAll(*channels.near, round);
    ReceiveAll(*channels.far, round);
    SendAll(*channels.far, round + 1);
    ReceiveAll(*channels.near, round + 1);
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, TypedValues, ::testing::Values(0L, 1L),
                         [](const ::testing::TestParamInfo<long>& mode) {
                           return mode.param == 1 ? "Scrambled" : "Plain";
                         });

// The bytes on the wire, read by a plain end: the plain form when the
// sender is plain, its reference scrambling when the sender scrambles.
TEST(Channel, WireBytesHaveThe32BitWidths) {
  Session session;
  for (long mode : {0L, 1L}) {
    ChannelPair channels = Channels(mode, 0);
    ReferenceScrambler reference;
    for (int round = 0; round < 5; ++round) {
      const std::string plain = SendAll(*channels.near, round);
      EXPECT_EQ(plain.size(), 1u + 2 + 4 + 2 + 4 + 4 + 8 + 8 + round * 13 + 1);
      std::string wire(plain.size(), '\0');
      ASSERT_EQ(channels.far->lRecv(wire.data(), static_cast<long>(wire.size())),
                static_cast<long>(wire.size()));
      EXPECT_EQ(wire, mode == 1 ? reference.Apply(plain) : plain) << "mode " << mode;
    }
  }
}

TEST(Channel, LongsThatDoNotFitFourBytesAreRefused) {
  Session session;
  ChannelPair channels = Channels(0, 0);
  if constexpr (sizeof(long) > 4) {
    EXPECT_EQ(*channels.near << static_cast<unsigned long>(0x100000000ull), -1);
    EXPECT_EQ(channels.near->nGetLastError(), kvp::WSAEINVAL);
    EXPECT_EQ(*channels.near << static_cast<long>(-2147483649LL), -1);
    EXPECT_EQ(*channels.near << static_cast<long>(2147483648LL), -1);
  }
  // Nothing went out for the refused values: the next value arrives intact.
  EXPECT_EQ(*channels.near << 7L, 0);
  long got = 0;
  ASSERT_EQ(*channels.far >> got, 0);
  EXPECT_EQ(got, 7);
}

TEST(Channel, SpecialFloatingValuesKeepTheirBits) {
  Session session;
  ChannelPair channels = Channels(1, 1);
  const double values[] = {std::numeric_limits<double>::infinity(), -0.0,
                           std::numeric_limits<double>::denorm_min(),
                           std::numeric_limits<double>::quiet_NaN()};
  for (double value : values) ASSERT_EQ(*channels.near << value, 0);
  for (double value : values) {
    double got = 0;
    ASSERT_EQ(*channels.far >> got, 0);
    EXPECT_EQ(DoubleBits(got), DoubleBits(value));
  }
}

TEST(Channel, ReceiveAfterThePeerLeftFails) {
  Session session;
  ChannelPair channels = Channels(0, 0);
  ASSERT_EQ(*channels.near << static_cast<unsigned short>(1), 0);
  channels.near.reset();
  unsigned long value = 0;
  EXPECT_EQ(*channels.far >> value, -1);
  EXPECT_NE(channels.far->nGetLastError(), 0);
  clCHANNEL empty(nullptr);
  EXPECT_EQ(empty << 1.0, -1);
  EXPECT_EQ(empty.nGetLastError(), kvp::WSAENOTSOCK);
}

}  // namespace
