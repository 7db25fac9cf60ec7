// Field numbers are read with a short cut for texts of up to 15 digits; the
// value must be bit for bit the correctly rounded one the C library's strtod
// gives (in the "C" locale, which the test runs in), whatever the digits.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

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

// A numeric field's text as a writer leaves it: the value right-aligned in
// `width` bytes with `decimals` places, or '*' fill when it does not fit.
std::string FieldText(std::mt19937_64& rng, int width, int decimals) {
  const int magnitude = static_cast<int>(rng() % 17);
  double v = static_cast<double>(rng() % 100000000000000000u) / std::pow(10.0, 17 - magnitude);
  if (rng() % 3 == 0) v = -v;
  if (rng() % 20 == 0) v = rng() % 2 ? 0.0 : -0.0;
  char text[64];
  std::snprintf(text, sizeof text, "%*.*f", width, decimals, v);
  std::string s = text;
  if (static_cast<int>(s.size()) != width) s.assign(static_cast<size_t>(width), '*');
  return s;
}

// The same text with one byte changed: what a damaged or foreign file holds.
std::string Damaged(std::mt19937_64& rng, std::string s) {
  // Besides the usual ones, the neighbours of the digits, the sign and the
  // blank, and bytes that differ from a digit only in the top bit.
  static const char kBytes[] = {' ',  '-', '+', '.', '*', 'e',    '0',    '9',    '\t',
                                '\0', 'x', '/', ':', ',', '\x1f', '\x80', '\xb0', '\xff'};
  s[rng() % s.size()] = kBytes[rng() % sizeof kBytes];
  return s;
}

// Compares the field reader with the general one on a text held in a buffer
// of exactly its size (so that a read past it shows under AddressSanitizer);
// returns whether the quick half took it.
bool ReadsAlike(const std::string& text, unsigned decimals) {
  const std::vector<char> bytes(text.begin(), text.end());
  const double general = kv::xb::ParseDecimal(bytes.data(), bytes.size());
  double field = 1.5;
  kv::xb::ParseFieldDecimalInto(bytes.data(), bytes.size(), decimals, &field);
  EXPECT_EQ(std::memcmp(&field, &general, sizeof field), 0)
      << "'" << text << "' with " << decimals << " decimals: " << field << " vs " << general;
  double quick = 2.5;
  const bool taken = kv::xb::ReadFixedDecimal(bytes.data(), bytes.size(), decimals, &quick);
  if (taken) {
    EXPECT_EQ(std::memcmp(&quick, &general, sizeof quick), 0) << "'" << text << "'";
  }
  // The word-wise reading (processors without SSE2) takes the same texts.
  double words = 3.5;
  const bool byWords =
      kv::xb::ReadFixedDecimalByWords(bytes.data(), bytes.size(), decimals, &words);
  EXPECT_EQ(byWords, taken) << "'" << text << "' with " << decimals << " decimals";
  if (byWords) {
    EXPECT_EQ(std::memcmp(&words, &general, sizeof words), 0) << "'" << text << "'";
  }
  return taken;
}

TEST(NumberTextRounding, FieldTextsReadAsTheGeneralReaderReadsThem) {
  std::mt19937_64 rng(91220261);
  int quick = 0, writerTexts = 0;
  for (int width = 1; width <= 20; ++width) {
    for (int decimals = 0; decimals <= 9 && decimals < width; ++decimals) {
      for (int i = 0; i < 400; ++i) {
        const std::string text = FieldText(rng, width, decimals);
        const bool taken = ReadsAlike(text, static_cast<unsigned>(decimals));
        ReadsAlike(Damaged(rng, text), static_cast<unsigned>(decimals));
        // A foreign writer may put fewer places than the field says.
        ReadsAlike(text, static_cast<unsigned>(rng() % 10));
        // Every text a writer leaves in a field of 8 to 16 bytes with up to
        // seven places (and at most 15 digits) takes the quick half.
        const bool inRange = width >= 8 && width <= 16 && decimals <= 7 &&
                             (decimals > 0 || width <= 15) && text[0] != '*';
        if (inRange) {
          ++writerTexts;
          EXPECT_TRUE(taken) << "'" << text << "' with " << decimals << " decimals";
        }
        quick += taken;
      }
    }
  }
  EXPECT_GT(writerTexts, 10000);
  EXPECT_EQ(quick, writerTexts);
}

TEST(NumberTextRounding, FieldTextsTheQuickHalfLeavesToTheGeneralReader) {
  struct Case {
    const char* text;
    unsigned decimals;
  };
  for (const Case& c :
       {Case{"  12.50 ", 2}, Case{"   1e5  ", 0}, Case{"  1.5e3 ", 1}, Case{"  --12.5", 1},
        Case{"  - 12.5", 1}, Case{"   12-  ", 0}, Case{"        ", 0}, Case{"********", 2},
        Case{"       -", 0}, Case{"     +12", 0}, Case{"    12.5", 2}, Case{"  12 345", 0},
        Case{"\t   12.5", 1}, Case{"   1.2.5", 1}, Case{"   12.50", 0}, Case{"1234567890123456", 0},
        Case{"12345678.0123456", 8}, Case{"       .", 0}, Case{"      -.", 1}}) {
    double value = 0;
    EXPECT_FALSE(kv::xb::ReadFixedDecimal(c.text, std::strlen(c.text), c.decimals, &value))
        << "'" << c.text << "'";
    ReadsAlike(c.text, c.decimals);
  }
  // The shapes at its edges: sign and point at the first and last places, 15
  // digits, a bare fraction; and eight places, one more than it takes.
  for (const Case& c : {Case{"-1234567.1234567", 7}, Case{"123456789012345", 0},
                        Case{"       -.5", 1}, Case{"        -0", 0}, Case{"-0000000", 0},
                        Case{"1234567.12345678", 8}, Case{"12345678", 0}, Case{"     .50", 2}}) {
    const bool expected = c.decimals <= 7;
    double value = 0;
    EXPECT_EQ(kv::xb::ReadFixedDecimal(c.text, std::strlen(c.text), c.decimals, &value), expected)
        << "'" << c.text << "'";
    ReadsAlike(c.text, c.decimals);
  }
}

}  // namespace
