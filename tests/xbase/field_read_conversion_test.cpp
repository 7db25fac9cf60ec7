// The conversions behind every field read, at their edges: numbers read
// eight bytes at a time must give what the C library's strtod gives for the
// same bytes, and dates written by moving the stored digits must give what
// the general date conversion (XBCDS2S from style 4) gives, in every style.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/ui/message_box.h"
#include "tests/support/dbf_builder.h"
#include "tests/support/engine_fixture.h"
#include "xbase/frame/number_text.h"

namespace {

// strtod on exactly `length` bytes: a NUL-terminated copy.
double Strtod(const std::string& text) {
  return std::strtod(text.c_str(), nullptr);
}

// Our parser on a heap copy of exactly the text's size, so that the
// sanitizer build catches any byte read past either end.
double Ours(const std::string& text) {
  std::unique_ptr<char[]> exact(new char[text.size() + (text.empty() ? 1 : 0)]);
  std::memcpy(exact.get(), text.data(), text.size());
  return kv::xb::ParseDecimal(exact.get(), text.size());
}

void ExpectLikeStrtod(const std::string& text) {
  const double ours = Ours(text);
  const double theirs = Strtod(text);
  ASSERT_EQ(std::memcmp(&ours, &theirs, sizeof ours), 0)
      << "'" << text << "' (" << text.size() << " bytes): " << ours << " vs " << theirs;
}

TEST(FieldNumberText, EdgeTextsReadAsStrtodReadsThem) {
  for (const char* text : {"",
                           " ",
                           "        ",
                           "                ",
                           "*",
                           "********",
                           "  12*45",
                           "**12",
                           "-",
                           "+",
                           "-.",
                           ".",
                           "+.",
                           "5.",
                           "-5.",
                           ".5",
                           "-0",
                           "-0.0",
                           "+0",
                           "- 5",
                           "+-5",
                           "-+5",
                           "--5",
                           "1e",
                           "1e+",
                           "1e-",
                           "1e5",
                           "1E5",
                           "1e+05",
                           "2.5e-3",
                           "1e400",
                           "-1e400",
                           "1e-310",
                           "4.9e-324",
                           "2.4e-324",
                           "1e-330",
                           "1.7976931348623157e308",
                           "1.7976931348623159e308",
                           "1e-400",
                           "1.e3",
                           ".e3",
                           "12345678",
                           "123456789",
                           "1234567.8",
                           "12345678.9",
                           "0.12345678",
                           "00000000000000000001",
                           "99999999999999999999",
                           "999999999999999",
                           "-999999999999999.9",
                           "18446744073709551616",
                           "\t\v\f\r\n 7",
                           "  \t-3.25",
                           "3 4",
                           "3.4.5",
                           "1,5",
                           "   1234.56",
                           "    -0.01",
                           "12345678901234567890123456789",
                           "0000000012345678",
                           "   \t\t    42"}) {
    ExpectLikeStrtod(text);
  }
}

// Every split of a field of up to 24 bytes into blanks, a sign, digits, a
// point, digits and what follows, so that each eight-byte window boundary
// falls inside each part.
TEST(FieldNumberText, EveryPartAtEveryWindowPosition) {
  std::mt19937_64 rng(7);
  auto digits = [&](int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += static_cast<char>('0' + rng() % 10);
    return s;
  };
  const std::string tails[] = {"", " ", "*", "x", std::string(1, '\0'), "\xFF", "9"};
  int checked = 0;
  for (int blanks = 0; blanks <= 17; ++blanks) {
    for (const char* sign : {"", "-", "+"}) {
      for (int whole = 0; whole <= 17; ++whole) {
        for (int fraction = -1; fraction <= 9; ++fraction) {
          std::string text = std::string(static_cast<size_t>(blanks), ' ') + sign + digits(whole);
          if (fraction >= 0) text += "." + digits(fraction);
          const std::string& tail = tails[rng() % std::size(tails)];
          ExpectLikeStrtod(text);
          ExpectLikeStrtod(text + tail);
          checked += 2;
        }
      }
    }
  }
  EXPECT_EQ(checked, 18 * 3 * 18 * 11 * 2);
}

// Arbitrary bytes drawn mostly from the characters a number can hold.
TEST(FieldNumberText, RandomHostileBytesReadAsStrtodReadsThem) {
  static const char kAlphabet[] = " \t+-.eE*0123456789012345678901234567890123456789";
  std::mt19937_64 rng(20261209);
  for (int i = 0; i < 100000; ++i) {
    std::string text(rng() % 25, ' ');
    for (char& c : text) {
      const uint64_t r = rng() % 64;
      c = r < sizeof kAlphabet - 1 ? kAlphabet[r] : static_cast<char>(rng() % 256);
    }
    // Letters that would make strtod read hexadecimal, infinity or NaN are
    // not numbers in a field and read as 0 here; keep them out of the
    // comparison.
    for (char& c : text) {
      if (std::strchr("xXiInNpP", c) != nullptr && c != '\0') c = '*';
    }
    ExpectLikeStrtod(text);
  }
}

class FieldRead : public kvtest::EngineTest {
 protected:
  // Writes one record per stored text into a single field and opens it.
  void OpenOneField(char type, uint8_t length, uint8_t decimals,
                    const std::vector<std::string>& stored) {
    kvtest::DbfBuilder b;
    b.Field("F", type, length, decimals);
    for (const std::string& s : stored) b.Row({s});
    const std::string path = File("f.dbf");
    kvtest::DbfBuilder::WriteFile(path, b.Bytes());
    ASSERT_EQ(XBDDOPENX(&h_, path.c_str(), 0), 0);
  }
  void TearDown() override {
    if (h_ != XB_NO_HANDLE) XBDDCLOSE(h_);
    EngineTest::TearDown();
  }
  XBHANDLE h_ = XB_NO_HANDLE;
};

TEST_F(FieldRead, NumberFieldsReadTheirWholeTextWhateverTheDeclaredDecimals) {
  // Stored texts as other programs leave them: blanks, '*' overflow fill,
  // more decimals than declared, signs, exponent forms, stray bytes.
  const std::vector<std::string> stored = {
      "          ", "**********", "  12345.67", "1.23456789",
      "-0.0000001", "+000000042", "9999999999", "  -1.5e+03",
      "     -    ", "   12*3   ", "1234567890", std::string(10, '\0'),
      "     .    ", " 1 2 3 4 5", "0x12345678", "\t\t\t\t\t    7"};
  ASSERT_NO_FATAL_FAILURE(OpenOneField('N', 10, 2, stored));
  for (uint32_t r = 1; r <= stored.size(); ++r) {
    SCOPED_TRACE("record " + std::to_string(r) + ": '" + stored[r - 1] + "'");
    ASSERT_EQ(XBDDRGET(h_, r), 0);
    double value = -1;
    ASSERT_EQ(XBDDFGET(h_, 0, &value), 0);
    const double expected = Strtod(stored[r - 1].substr(0, stored[r - 1].find('x')));
    EXPECT_EQ(std::memcmp(&value, &expected, sizeof value), 0) << value << " vs " << expected;
    char text[16];
    ASSERT_EQ(XBDDFGETS(h_, 0, text), 0);
    EXPECT_EQ(std::string(text, strnlen(text, 10)), stored[r - 1].substr(0, strnlen(text, 10)));
  }
}

// Stored date texts: every day of years that test the leap rules, the
// calendar's ends, impossible months and days, and eight bytes that are not
// all digits.
std::vector<std::string> StoredDates() {
  std::vector<std::string> out;
  char text[40];  // room for any int the format could print
  for (int year : {0, 1, 99, 100, 1582, 1899, 1900, 1996, 1999, 2000, 2024, 2100, 9999}) {
    for (int month = 0; month <= 13; ++month) {
      for (int day = 0; day <= 32; ++day) {
        if ((month == 0 || month == 13 || day == 0 || day == 32) && year % 2 == 1) continue;
        std::snprintf(text, sizeof text, "%04d%02d%02d", year, month, day);
        out.emplace_back(text);
      }
    }
  }
  for (const char* odd : {"        ", "1996022 ", " 1996022", "19960 29", "1996-2-1", "1996022x",
                          "/1996022", "99999999", "00000000", "0000:101", "1996/229"}) {
    out.emplace_back(odd);
  }
  return out;
}

// Counts the message boxes a stored text of the wrong length shows, while
// it lives.
struct BoxCounter {
  BoxCounter() { previous = kvp::SetMessageBoxHook(Count, &boxes); }
  ~BoxCounter() { kvp::SetMessageBoxHook(previous, nullptr); }
  static int Count(kvp::HWND, const char*, const char*, kvp::UINT, void* context) {
    ++*static_cast<int*>(context);
    return 1;
  }
  int boxes = 0;
  kvp::MessageBoxHook previous = nullptr;
};

TEST_F(FieldRead, DatesInEveryStyleAsTheGeneralConversionWritesThem) {
  const std::vector<std::string> stored = StoredDates();
  ASSERT_NO_FATAL_FAILURE(OpenOneField('D', 8, 0, stored));
  BoxCounter counter;
  int& boxes = counter.boxes;
  std::vector<uint8_t> unpacked(1 + 9, 0);
  int compared = 0;
  for (int16_t style = 1; style <= 15; ++style) {
    ASSERT_EQ(XBCDSTYLE(style), 0);
    for (uint32_t r = 1; r <= stored.size(); ++r) {
      const std::string& s = stored[r - 1];
      SCOPED_TRACE("style " + std::to_string(style) + ", stored '" + s + "'");
      char expected[32] = {};
      boxes = 0;
      const XBSTATUS oracle = XBCDS2S(expected, style, s.c_str(), 4);
      const int oracleBoxes = boxes;
      XBESCODE(0);
      ASSERT_EQ(XBDDRGET(h_, r), 0);
      char got[32];
      std::memset(got, '#', sizeof got);
      boxes = 0;
      const XBSTATUS read = XBDDFGET(h_, 0, got);
      EXPECT_EQ(boxes, oracleBoxes) << "a length error shows its box on both paths alike";
      XBESCODE(0);
      if (oracle < 0) {
        EXPECT_EQ(read, oracle);
        continue;
      }
      // An empty date is a state of the conversion, not of a field read.
      EXPECT_EQ(read, 0);
      EXPECT_STREQ(got, expected);
      EXPECT_EQ(got[std::strlen(expected) + 1], '#') << "wrote past the text";
      // The unpacked record holds the text cut to the field's slot.
      std::fill(unpacked.begin(), unpacked.end(), 0xEE);
      ASSERT_EQ(XBDDRGETX(h_, unpacked.data(), r), 0);
      EXPECT_EQ(std::string(reinterpret_cast<char*>(&unpacked[1])),
                std::string(expected).substr(0, 8));
      ++compared;
    }
  }
  // Most stored texts are dates: the comparison must have covered them.
  EXPECT_GT(compared, 15 * 4000);
}

}  // namespace
