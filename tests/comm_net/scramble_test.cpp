// The library's scrambling against the reference written from the rule.
#include "comm/net/scramble.h"

#include <gtest/gtest.h>

#include "tests/comm_net/net_support.h"

namespace {

using kvnettest::ReferenceScrambler;

TEST(Scramble, FirstBytesUseTheKeyFromCounterZero) {
  int32_t counter = 0;
  char out[3];
  const char in[3] = {0, 0, 0};
  kvnet::Scramble(out, in, 3, counter);
  EXPECT_EQ(static_cast<unsigned char>(out[0]), 0x2D);
  EXPECT_EQ(static_cast<unsigned char>(out[1]), 0x2E);
  EXPECT_EQ(static_cast<unsigned char>(out[2]), 0x2F);
  EXPECT_EQ(counter, 3);
}

TEST(Scramble, MatchesTheReferenceAcrossTheMaskWrapAndOddPieces) {
  const std::string data = kvnettest::PatternBytes(5000, 7);
  ReferenceScrambler reference;
  const std::string expected = reference.Apply(data);
  // The same bytes in pieces of odd sizes: the counter carries over.
  int32_t counter = 0;
  std::string got;
  size_t at = 0;
  for (size_t piece = 1; at < data.size(); piece = piece * 3 % 251 + 1) {
    const size_t n = std::min(piece, data.size() - at);
    std::string out(n, '\0');
    kvnet::Scramble(out.data(), data.data() + at, n, counter);
    got += out;
    at += n;
  }
  EXPECT_EQ(got, expected);
  EXPECT_EQ(counter, reference.counter());
}

TEST(Scramble, CounterGoesBackToZeroAtTwoToTheTwentyEighth) {
  const int32_t start = (1 << 28) - 2;
  ReferenceScrambler reference(start);
  int32_t counter = start;
  const std::string data = kvnettest::PatternBytes(600, 3);
  std::string out(data.size(), '\0');
  kvnet::Scramble(out.data(), data.data(), data.size(), counter);
  EXPECT_EQ(out, reference.Apply(data));
  EXPECT_EQ(counter, 598);
  EXPECT_EQ(counter, reference.counter());
  EXPECT_EQ(kvnet::NextCounter((1 << 28) - 1), 0);
}

TEST(Scramble, ScramblingTwiceGivesTheBytesBack) {
  const std::string data = kvnettest::PatternBytes(300, 11);
  int32_t a = 77;
  int32_t b = 77;
  std::string once(data.size(), '\0');
  kvnet::Scramble(once.data(), data.data(), data.size(), a);
  kvnet::Scramble(once.data(), once.data(), once.size(), b);
  EXPECT_EQ(once, data);
}

TEST(Scramble, AdvanceEqualsStepping) {
  for (int32_t start : {0, 1, 255, (1 << 28) - 1000, (1 << 28) - 1}) {
    for (size_t count : {size_t{0}, size_t{1}, size_t{999}, size_t{1000}, size_t{65530}}) {
      int32_t stepped = start;
      for (size_t i = 0; i < count; ++i) stepped = kvnet::NextCounter(stepped);
      EXPECT_EQ(kvnet::AdvanceCounter(start, count), stepped) << start << " + " << count;
    }
  }
}

}  // namespace
