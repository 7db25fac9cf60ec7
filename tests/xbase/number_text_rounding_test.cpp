// Field numbers are read with a short cut for texts of up to 15 digits; the
// value must be bit for bit the correctly rounded one the C library's strtod
// gives (in the "C" locale, which the test runs in), whatever the digits.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "xbase/frame/number_text.h"

namespace {

// [blanks][sign]digits[.digits][exponent], as numbers stand in fields.
std::string RandomNumber(std::mt19937_64& rng) {
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<uint64_t>(n)); };
  std::string s(static_cast<size_t>(pick(4)), ' ');
  if (pick(4) == 0) s += pick(2) ? '-' : '+';
  const int whole = pick(18), fraction = pick(3) ? pick(18) : -1;
  for (int i = 0; i < whole; ++i) s += static_cast<char>('0' + pick(10));
  if (fraction >= 0) {
    s += '.';
    for (int i = 0; i < fraction; ++i) s += static_cast<char>('0' + pick(10));
  }
  if (pick(10) == 0) s += "e" + std::to_string(pick(40) - 20);
  if (pick(5) == 0) s += " 9";  // what follows the number is ignored
  return s;
}

TEST(NumberTextRounding, EveryShortAndLongTextReadsAsStrtodReadsIt) {
  std::mt19937_64 rng(20261209);
  int compared = 0;
  for (int i = 0; i < 200000; ++i) {
    const std::string text = RandomNumber(rng);
    const double ours = kv::xb::ParseDecimal(text.data(), text.size());
    const double theirs = std::strtod(text.c_str(), nullptr);
    ASSERT_EQ(std::memcmp(&ours, &theirs, sizeof ours), 0)
        << "'" << text << "': " << ours << " vs " << theirs;
    ++compared;
  }
  EXPECT_EQ(compared, 200000);
}

TEST(NumberTextRounding, BoundariesOfTheShortCut) {
  // 15 digits take the short cut, 16 do not; both must round alike.
  for (const char* text : {"999999999999999", "9999999999999999", "0.000000000000001",
                           "123456789.012345", "1234567890.123456", "-0", "-0.00", "   .5",
                           "9007199254740993", "0.1", "0.30000000000000004"}) {
    const double ours = kv::xb::ParseDecimal(text, std::strlen(text));
    const double theirs = std::strtod(text, nullptr);
    EXPECT_EQ(std::memcmp(&ours, &theirs, sizeof ours), 0) << text;
  }
  EXPECT_TRUE(std::signbit(kv::xb::ParseDecimal("-0", 2)));
  // The length bounds the text: the digits after it are not read.
  EXPECT_EQ(kv::xb::ParseDecimal("12345", 3), 123.0);
}

}  // namespace
