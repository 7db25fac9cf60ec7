// The date core: styles, parsing rules, day numbers and times.
//
// std::chrono's civil calendar is the independent oracle for leap years,
// month lengths, day numbers and weekdays.
#include "xbase/date/date_core.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "kv/xbase.h"
#include "platform/ui/message_box.h"

namespace {

using kv::xb::date::Hms;
using kv::xb::date::Ymd;
namespace d = kv::xb::date;
namespace chr = std::chrono;

// Day 1 is 1 January of year 1.
chr::sys_days OracleDay(int32_t dayNumber) {
  return chr::sys_days{chr::year{1} / chr::January / 1} + chr::days{dayNumber - 1};
}

Ymd OracleYmd(int32_t dayNumber) {
  chr::year_month_day ymd{OracleDay(dayNumber)};
  return Ymd{static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
             static_cast<int>(static_cast<unsigned>(ymd.day()))};
}

struct ParseResult {
  int16_t status;
  Ymd date;
};

ParseResult ParseQuiet(const std::string& text, int style) {
  ParseResult r{0, {}};
  r.status = d::Parse(text.c_str(), style, &r.date, false);
  return r;
}

::testing::AssertionResult IsDate(const ParseResult& r, int year, int month, int day) {
  if (r.status == XB_OK && r.date.year == year && r.date.month == month && r.date.day == day) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "status " << r.status << " date " << r.date.year << "-"
                                       << r.date.month << "-" << r.date.day;
}

::testing::AssertionResult IsEmptyDate(const ParseResult& r) {
  if (r.status == XB_EMPTY_DATE && r.date.year == 0 && r.date.month == 0 && r.date.day == 0) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "status " << r.status;
}

::testing::AssertionResult IsRefused(const ParseResult& r, int16_t code = XB_E_DATE) {
  if (r.status == code && r.date.year == 0 && r.date.month == 0 && r.date.day == 0) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "status " << r.status << " date " << r.date.year << "-"
                                       << r.date.month << "-" << r.date.day;
}

// Records every message box shown while it lives.
class BoxRecorder {
 public:
  struct Box {
    std::string text;
    std::string caption;
  };
  BoxRecorder() { previous_ = kvp::SetMessageBoxHook(&Record, this); }
  ~BoxRecorder() { kvp::SetMessageBoxHook(previous_, nullptr); }
  const std::vector<Box>& boxes() const { return boxes_; }

 private:
  static int Record(kvp::HWND, const char* text, const char* caption, kvp::UINT, void* context) {
    static_cast<BoxRecorder*>(context)->boxes_.push_back({text, caption});
    return kvp::IDOK;
  }
  kvp::MessageBoxHook previous_ = nullptr;
  std::vector<Box> boxes_;
};

// ---- Calendar ------------------------------------------------------------

TEST(DateCalendar, LeapYearsAndMonthLengthsMatchTheCivilCalendar) {
  for (int year = 0; year <= 9999; ++year) {
    ASSERT_EQ(d::IsLeap(year), chr::year{year}.is_leap()) << year;
    for (unsigned month = 1; month <= 12; ++month) {
      chr::year_month_day_last last{chr::year{year}, chr::month_day_last{chr::month{month}}};
      ASSERT_EQ(d::DaysInMonth(year, static_cast<int>(month)),
                static_cast<int>(static_cast<unsigned>(last.day())))
          << year << "-" << month;
    }
  }
}

TEST(DateCalendar, MonthOutsideTheYearHasNoLength) {
  EXPECT_EQ(d::DaysInMonth(1996, 0), 0);
  EXPECT_EQ(d::DaysInMonth(1996, 13), 0);
  EXPECT_EQ(d::DaysInMonth(1996, -2), 0);
}

TEST(DateCalendar, CheckDateBounds) {
  EXPECT_EQ(d::CheckDate({0, 1, 1}), XB_OK);
  EXPECT_EQ(d::CheckDate({9999, 12, 31}), XB_OK);
  EXPECT_EQ(d::CheckDate({10000, 1, 1}), XB_E_DATE);
  EXPECT_EQ(d::CheckDate({-1, 1, 1}), XB_E_DATE);
  EXPECT_EQ(d::CheckDate({1996, 0, 1}), XB_E_DATE);
  EXPECT_EQ(d::CheckDate({1996, 13, 1}), XB_E_DATE);
  EXPECT_EQ(d::CheckDate({1996, 2, 29}), XB_OK);
  EXPECT_EQ(d::CheckDate({1997, 2, 29}), XB_E_DATE);
  EXPECT_EQ(d::CheckDate({1996, 4, 31}), XB_E_DATE);
  EXPECT_EQ(d::CheckDate({1996, 1, 0}), XB_E_DATE);
}

// ---- Day numbers ---------------------------------------------------------

TEST(DateDayNumber, EveryValidDayNumberMatchesTheOracleBothWays) {
  for (int32_t n = 1; n < d::kDayNumberLimit; ++n) {
    Ymd date;
    ASSERT_EQ(d::FromDayNumber(n, &date), XB_OK) << n;
    Ymd expected = OracleYmd(n);
    ASSERT_TRUE(date.year == expected.year && date.month == expected.month &&
                date.day == expected.day)
        << n << ": " << date.year << "-" << date.month << "-" << date.day;
    int32_t back = 0;
    ASSERT_EQ(d::ToDayNumber(date, &back), XB_OK) << n;
    ASSERT_EQ(back, n);
  }
}

TEST(DateDayNumber, LimitsOfTheRange) {
  Ymd date;
  ASSERT_EQ(d::FromDayNumber(1, &date), XB_OK);
  EXPECT_TRUE(date.year == 1 && date.month == 1 && date.day == 1);
  ASSERT_EQ(d::FromDayNumber(d::kDayNumberLimit - 1, &date), XB_OK);
  EXPECT_TRUE(date.year == 9999 && date.month == 12 && date.day == 31);
  for (int32_t bad : {0, -1, d::kDayNumberLimit, d::kDayNumberLimit + 1, INT32_MAX, INT32_MIN}) {
    EXPECT_EQ(d::FromDayNumber(bad, &date), XB_E_DATE) << bad;
  }
  EXPECT_EQ(d::FromDayNumber(1, nullptr), XB_E_NULL);
  EXPECT_EQ(d::ToDayNumber({1996, 1, 1}, nullptr), XB_E_NULL);
}

// Dividing by the mean year length lands one year short at the end of some
// years (the remainder is 366 in a common year); those are still dates.
TEST(DateDayNumber, YearEndsWhereTheEstimateFallsShort) {
  Ymd date;
  ASSERT_EQ(d::FromDayNumber(74144, &date), XB_OK);
  EXPECT_TRUE(date.year == 204 && date.month == 1 && date.day == 1)
      << date.year << "-" << date.month << "-" << date.day;
}

TEST(DateDayNumber, ConsecutiveAcrossAYearEnd) {
  int32_t last2004 = 0, first2005 = 0;
  ASSERT_EQ(d::ToDayNumber({2004, 12, 31}, &last2004), XB_OK);
  ASSERT_EQ(d::ToDayNumber({2005, 1, 1}, &first2005), XB_OK);
  EXPECT_EQ(first2005 - last2004, 1);
  Ymd date;
  ASSERT_EQ(d::FromDayNumber(last2004, &date), XB_OK);
  EXPECT_TRUE(date.year == 2004 && date.month == 12 && date.day == 31);
  ASSERT_EQ(d::FromDayNumber(first2005, &date), XB_OK);
  EXPECT_TRUE(date.year == 2005 && date.month == 1 && date.day == 1);
}

TEST(DateDayNumber, InvalidDatesHaveNoDayNumber) {
  int32_t n = 77;
  EXPECT_EQ(d::ToDayNumber({1997, 2, 29}, &n), XB_E_DATE);
  EXPECT_EQ(d::ToDayNumber({10000, 1, 1}, &n), XB_E_DATE);
  EXPECT_EQ(d::ToDayNumber({1996, 13, 1}, &n), XB_E_DATE);
  EXPECT_EQ(n, 77);
}

// Year 0 is a valid year for dates; its days count down from day 1.
TEST(DateDayNumber, YearZeroCountsBackwards) {
  int32_t n = 77;
  ASSERT_EQ(d::ToDayNumber({0, 12, 31}, &n), XB_OK);
  EXPECT_EQ(n, 0);
  ASSERT_EQ(d::ToDayNumber({0, 1, 1}, &n), XB_OK);
  auto expected = chr::sys_days{chr::year{0} / chr::January / 1} -
                  chr::sys_days{chr::year{1} / chr::January / 1};
  EXPECT_EQ(n, expected.count() + 1);
}

TEST(DateDayNumber, DayOfWeekMatchesTheOracle) {
  int dow = -1;
  ASSERT_EQ(d::DayOfWeek(1, &dow), XB_OK);
  EXPECT_EQ(dow, 1);  // 1 January of year 1 was a Monday
  for (int32_t n = 1; n < d::kDayNumberLimit; n += 997) {
    ASSERT_EQ(d::DayOfWeek(n, &dow), XB_OK);
    ASSERT_EQ(static_cast<unsigned>(dow), chr::weekday{OracleDay(n)}.c_encoding()) << n;
  }
  EXPECT_EQ(d::DayOfWeek(0, &dow), XB_E_DATE);
  EXPECT_EQ(d::DayOfWeek(d::kDayNumberLimit, &dow), XB_E_DATE);
  EXPECT_EQ(d::DayOfWeek(-7, &dow), XB_E_DATE);
  EXPECT_EQ(d::DayOfWeek(1, nullptr), XB_E_NULL);
}

TEST(DateNames, DayAndMonthNames) {
  EXPECT_STREQ(d::DayName(0), "Sunday");
  EXPECT_STREQ(d::DayName(3), "Wednesday");
  EXPECT_STREQ(d::DayName(6), "Saturday");
  EXPECT_EQ(d::DayName(-1), nullptr);
  EXPECT_EQ(d::DayName(7), nullptr);
  EXPECT_STREQ(d::MonthName(1), "January");
  EXPECT_STREQ(d::MonthName(9), "September");
  EXPECT_STREQ(d::MonthName(12), "December");
  EXPECT_EQ(d::MonthName(0), nullptr);
  EXPECT_EQ(d::MonthName(13), nullptr);
}

// ---- Styles --------------------------------------------------------------

TEST(DateStyles, DescriptionsAndWidths) {
  const char* expected[] = {
      "Gregorian (mm/dd/yy)", "Gregorian (mm/dd/yyyy)", "Julian (yyyy/ddd)",   "dBASE (yyyymmdd)",
      "DMY (ddmmyy)",         "German (dd.mm.yy)",      "German (dd.mm.yyyy)", "British (dd/mm/yy)",
      "British (dd/mm/yyyy)", "French (dd/mm/yy)",      "French (dd/mm/yyyy)", "Italian (dd-mm-yy)",
      "Italian (dd-mm-yyyy)", "ENSI (yy.mm.dd)",        "ENSI (yyyy.mm.dd)"};
  for (int style = 1; style <= 15; ++style) {
    EXPECT_STREQ(d::StyleDescription(style), expected[style - 1]);
    // The width is that of the pattern between the parentheses.
    std::string description = expected[style - 1];
    size_t open = description.find('(');
    EXPECT_EQ(static_cast<size_t>(d::StyleWidth(style)), description.size() - open - 2) << style;
  }
  EXPECT_EQ(d::StyleDescription(0), nullptr);
  EXPECT_EQ(d::StyleDescription(16), nullptr);
  EXPECT_EQ(d::StyleWidth(0), 0);
  EXPECT_EQ(d::StyleWidth(16), 0);
}

TEST(DateFormat, EveryStyleWritesItsPattern) {
  const Ymd date{1905, 2, 1};
  const char* expected[] = {"02/01/05",   "02/01/1905", "1905/032",   "19050201",   "010205",
                            "01.02.05",   "01.02.1905", "01/02/05",   "01/02/1905", "01/02/05",
                            "01/02/1905", "01-02-05",   "01-02-1905", "05.02.01",   "1905.02.01"};
  for (int style = 1; style <= 15; ++style) {
    char out[32];
    std::memset(out, 'X', sizeof out);
    ASSERT_EQ(d::Format(out, style, date), XB_OK) << style;
    EXPECT_STREQ(out, expected[style - 1]) << style;
    EXPECT_EQ(out[d::StyleWidth(style) + 1], 'X') << "wrote past the text, style " << style;
  }
}

TEST(DateFormat, JulianDayOfYear) {
  char out[16];
  ASSERT_EQ(d::Format(out, 3, {1996, 12, 31}), XB_OK);
  EXPECT_STREQ(out, "1996/366");
  ASSERT_EQ(d::Format(out, 3, {1997, 12, 31}), XB_OK);
  EXPECT_STREQ(out, "1997/365");
  ASSERT_EQ(d::Format(out, 3, {1997, 1, 1}), XB_OK);
  EXPECT_STREQ(out, "1997/001");
}

TEST(DateFormat, SmallAndLargeYears) {
  char out[16];
  ASSERT_EQ(d::Format(out, 4, {7, 3, 9}), XB_OK);
  EXPECT_STREQ(out, "00070309");
  ASSERT_EQ(d::Format(out, 15, {9999, 12, 31}), XB_OK);
  EXPECT_STREQ(out, "9999.12.31");
  ASSERT_EQ(d::Format(out, 1, {2000, 1, 1}), XB_OK);
  EXPECT_STREQ(out, "01/01/00");
}

TEST(DateFormat, DateIsCheckedBeforeTheStyle) {
  char out[16] = "unchanged";
  EXPECT_EQ(d::Format(out, 1, {1997, 2, 29}), XB_E_DATE);
  EXPECT_EQ(d::Format(out, 99, {1997, 2, 29}), XB_E_DATE);
  EXPECT_EQ(d::Format(out, 0, {1997, 2, 28}), XB_E_ARGUMENT);
  EXPECT_EQ(d::Format(out, 16, {1997, 2, 28}), XB_E_ARGUMENT);
  EXPECT_EQ(d::Format(out, 1, {10000, 1, 1}), XB_E_DATE);
  EXPECT_EQ(d::Format(out, 1, {-5, 1, 1}), XB_E_DATE);
  EXPECT_STREQ(out, "unchanged");
  EXPECT_EQ(d::Format(nullptr, 1, {1997, 2, 28}), XB_E_NULL);
}

// Each style reads back what it writes. Two-digit styles keep only the
// century 1900; four-digit styles every year from 100 on.
TEST(DateFormat, EveryStyleParsesBackWhatItWrites) {
  for (int style = 1; style <= 15; ++style) {
    bool twoDigits = d::StyleWidth(style) != 10 && style != 3 && style != 4;
    int firstYear = twoDigits ? 1900 : 100;
    int lastYear = twoDigits ? 1999 : 9999;
    for (int32_t n = 1; n < d::kDayNumberLimit; n += 13) {
      Ymd date;
      ASSERT_EQ(d::FromDayNumber(n, &date), XB_OK);
      if (date.year < firstYear || date.year > lastYear) continue;
      char text[16];
      ASSERT_EQ(d::Format(text, style, date), XB_OK);
      ASSERT_TRUE(IsDate(ParseQuiet(text, style), date.year, date.month, date.day))
          << "style " << style << " text " << text;
    }
  }
}

// ---- Parsing -------------------------------------------------------------

TEST(DateParse, LeapDayInStyleOne) {
  EXPECT_TRUE(IsDate(ParseQuiet("02/29/96", 1), 1996, 2, 29));
  EXPECT_TRUE(IsRefused(ParseQuiet("02/29/97", 1)));
  EXPECT_TRUE(IsRefused(ParseQuiet("02/29/00", 1)));  // 1900 was not a leap year
  EXPECT_TRUE(IsDate(ParseQuiet("02/29/2000", 2), 2000, 2, 29));
}

TEST(DateParse, TwoDigitYearsFallInTheNineteenHundreds) {
  EXPECT_TRUE(IsDate(ParseQuiet("01/02/05", 8), 1905, 2, 1));
  EXPECT_TRUE(IsDate(ParseQuiet("05.02.01", 14), 1905, 2, 1));
  EXPECT_TRUE(IsDate(ParseQuiet("010205", 5), 1905, 2, 1));
  EXPECT_TRUE(IsDate(ParseQuiet("31-12-99", 12), 1999, 12, 31));
  // A four-digit style given only two year digits reads them the same way.
  EXPECT_TRUE(IsDate(ParseQuiet("01/02/96", 9), 1996, 2, 1));
  // Four digits are taken as written: stored dates of the first century
  // read as other programs wrote them, and survive a round trip.
  EXPECT_TRUE(IsDate(ParseQuiet("00050201", 4), 5, 2, 1));
  EXPECT_TRUE(IsDate(ParseQuiet("00010101", 4), 1, 1, 1));
  EXPECT_TRUE(IsDate(ParseQuiet("01/02/0096", 9), 96, 2, 1));
  EXPECT_TRUE(IsDate(ParseQuiet("0100.01.01", 15), 100, 1, 1));
}

TEST(DateParse, JulianDayOfYearWalksTheMonths) {
  EXPECT_TRUE(IsDate(ParseQuiet("1996/060", 3), 1996, 2, 29));
  EXPECT_TRUE(IsDate(ParseQuiet("1997/060", 3), 1997, 3, 1));
  EXPECT_TRUE(IsDate(ParseQuiet("1996/366", 3), 1996, 12, 31));
  EXPECT_TRUE(IsDate(ParseQuiet("1996/001", 3), 1996, 1, 1));
  EXPECT_TRUE(IsRefused(ParseQuiet("1997/366", 3)));
  EXPECT_TRUE(IsRefused(ParseQuiet("1996/367", 3)));
  EXPECT_TRUE(IsRefused(ParseQuiet("1996/999", 3)));
  EXPECT_TRUE(IsRefused(ParseQuiet("1996/000", 3)));
}

TEST(DateParse, BackslashesStandForSlashesInTheFirstThreeStyles) {
  EXPECT_TRUE(IsDate(ParseQuiet("02\\29\\96", 1), 1996, 2, 29));
  EXPECT_TRUE(IsDate(ParseQuiet("02\\29\\1996", 2), 1996, 2, 29));
  EXPECT_TRUE(IsDate(ParseQuiet("1996\\060", 3), 1996, 2, 29));
  EXPECT_TRUE(IsEmptyDate(ParseQuiet("  \\  \\  ", 1)));
  EXPECT_TRUE(IsEmptyDate(ParseQuiet("  \\  /    ", 2)));
  EXPECT_TRUE(IsEmptyDate(ParseQuiet("    \\   ", 3)));
  // Elsewhere a backslash is an ordinary character: not a blank date.
  EXPECT_TRUE(IsRefused(ParseQuiet("  \\  \\  ", 8)));
  EXPECT_TRUE(IsRefused(ParseQuiet("  \\  \\    ", 9)));
}

TEST(DateParse, BlankAndSeparatorOnlyTextsAreEmptyDates) {
  EXPECT_TRUE(IsEmptyDate(ParseQuiet("", 1)));
  EXPECT_TRUE(IsEmptyDate(ParseQuiet("  /  /  ", 1)));
  for (int style = 1; style <= 15; ++style) {
    // What a blank field of the style looks like once its separators are
    // written: spaces everywhere else.
    char text[16];
    ASSERT_EQ(d::Format(text, style, {1996, 2, 29}), XB_OK);
    for (char* p = text; *p != '\0'; ++p) {
      if (*p >= '0' && *p <= '9') *p = ' ';
    }
    EXPECT_TRUE(IsEmptyDate(ParseQuiet(text, style))) << style << " '" << text << "'";
    EXPECT_TRUE(IsEmptyDate(ParseQuiet(std::string(40, ' '), style))) << style;
  }
  // A blank text is empty whatever the style.
  EXPECT_TRUE(IsEmptyDate(ParseQuiet("   ", 99)));
}

TEST(DateParse, SeparatorsAreOnlyBlankInTheirExactNumber) {
  EXPECT_TRUE(IsRefused(ParseQuiet("//////", 1)));
  EXPECT_TRUE(IsRefused(ParseQuiet(" / /// ", 1)));
  EXPECT_TRUE(IsRefused(ParseQuiet("//////////", 2)));
  EXPECT_TRUE(IsRefused(ParseQuiet(" ..     ", 8)));  // another style's separators
  EXPECT_TRUE(IsRefused(ParseQuiet("   /    ", 1)));  // one of the two
}

TEST(DateParse, LengthOfTheGivenText) {
  // Styles with two-digit years take 6 to 8 characters, spaces counted.
  EXPECT_TRUE(IsRefused(ParseQuiet("02/29/96 ", 1)));
  EXPECT_TRUE(IsRefused(ParseQuiet("02/29/ 96", 6)));
  EXPECT_TRUE(IsRefused(ParseQuiet("2/9/6", 8)));
  EXPECT_TRUE(IsDate(ParseQuiet("29/02/ 96", 9), 1996, 2, 29));  // 8..10 spaces counted
  EXPECT_TRUE(IsRefused(ParseQuiet("02/29/1996 ", 2)));
  EXPECT_TRUE(IsRefused(ParseQuiet("0229/96", 2)));
  EXPECT_TRUE(IsRefused(ParseQuiet("1996/06", 3)));
  EXPECT_TRUE(IsRefused(ParseQuiet("1996/0600", 3)));
  EXPECT_TRUE(IsRefused(ParseQuiet(" 1996/060", 3)));
  EXPECT_TRUE(IsRefused(ParseQuiet("29029", 5)));
  EXPECT_TRUE(IsRefused(ParseQuiet("2902960", 5)));
  EXPECT_TRUE(IsRefused(ParseQuiet("1996.02.299", 15)));
}

// A short text still has a year: the digits missing beyond its end read as
// nothing, and the year 0 that leaves is a two-digit year.
TEST(DateParse, FieldsBeyondTheEndOfAShortCopyReadAsZero) {
  EXPECT_TRUE(IsDate(ParseQuiet("01/02/", 1), 1900, 1, 2));
  EXPECT_TRUE(IsRefused(ParseQuiet("02/29/", 1)));
  EXPECT_TRUE(IsDate(ParseQuiet("0 1 / 2", 8), 1900, 2, 1));
  EXPECT_TRUE(IsDate(ParseQuiet("1 2.0 1.", 7), 1900, 1, 12));
}

TEST(DateParse, SpacesAreRemovedBeforeFieldsAreRead) {
  EXPECT_TRUE(IsDate(ParseQuiet("1996 0229", 4), 1996, 2, 29));
  EXPECT_TRUE(IsDate(ParseQuiet("   19960229   ", 4), 1996, 2, 29));
  // " 2/29/96" loses its space: the fields then sit one place to the left.
  EXPECT_TRUE(IsDate(ParseQuiet(" 2/29/96", 1), 1906, 2, 9));
}

TEST(DateParse, FieldsStopAtTheFirstNonDigit) {
  EXPECT_TRUE(IsRefused(ParseQuiet("ab/cd/ef", 1)));
  EXPECT_TRUE(IsRefused(ParseQuiet("+1/02/96", 1)));
  EXPECT_TRUE(IsRefused(ParseQuiet("-1/02/96", 1)));
  EXPECT_TRUE(IsDate(ParseQuiet("1x/02/96", 1), 1996, 1, 2));
  // Separators are not checked, only positions.
  EXPECT_TRUE(IsDate(ParseQuiet("01x02x96", 8), 1996, 2, 1));
  EXPECT_TRUE(IsRefused(ParseQuiet("\xff\xfe/\x80\x81/96", 1)));
  EXPECT_TRUE(IsDate(ParseQuiet("1996022\xff", 4), 1996, 2, 2));
  EXPECT_TRUE(
      IsRefused(ParseQuiet("\xff"
                           "9960229",
                           4)));  // 1900 had no 29 February
}

TEST(DateParse, UnknownStyleAndNullArguments) {
  Ymd date{5, 5, 5};
  EXPECT_EQ(d::Parse("02/29/96", 0, &date, false), XB_E_ARGUMENT);
  EXPECT_EQ(d::Parse("02/29/96", 16, &date, false), XB_E_ARGUMENT);
  EXPECT_EQ(d::Parse("02/29/96", -1, &date, false), XB_E_ARGUMENT);
  EXPECT_EQ(date.year, 0);
  EXPECT_EQ(d::Parse(nullptr, 1, &date, false), XB_E_NULL);
  EXPECT_EQ(d::Parse("02/29/96", 1, nullptr, false), XB_E_NULL);
}

TEST(DateParse, HostileLongTexts) {
  std::string digits(1 << 20, '7');
  std::string slashes(1 << 20, '/');
  for (int style = 1; style <= 15; ++style) {
    EXPECT_TRUE(IsRefused(ParseQuiet(digits, style))) << style;
    EXPECT_TRUE(IsRefused(ParseQuiet(slashes, style))) << style;
    EXPECT_TRUE(IsRefused(ParseQuiet(std::string(1 << 20, 'z'), style))) << style;
  }
  // Style 4 counts only what is left without spaces.
  std::string spaced = std::string(1 << 20, ' ') + "1996" + std::string(1000, ' ') + "0229";
  EXPECT_TRUE(IsDate(ParseQuiet(spaced, 4), 1996, 2, 29));
  EXPECT_TRUE(IsRefused(ParseQuiet(spaced + "1", 4)));
}

TEST(DateParse, StyleFourLengthShowsABox) {
  BoxRecorder recorder;
  Ymd date;
  EXPECT_EQ(d::Parse("1996022", 4, &date, true), XB_E_DATE);
  ASSERT_EQ(recorder.boxes().size(), 1u);
  EXPECT_EQ(recorder.boxes()[0].text, "mauvaise Longueur");
  EXPECT_EQ(recorder.boxes()[0].caption, "1996022");

  EXPECT_EQ(d::Parse("199602291", 4, &date, true), XB_E_DATE);
  ASSERT_EQ(recorder.boxes().size(), 2u);
  EXPECT_EQ(recorder.boxes()[1].caption, "199602291");

  // No box when the caller asks for none, for a right length, or for another
  // style's length error.
  EXPECT_EQ(d::Parse("1996022", 4, &date, false), XB_E_DATE);
  EXPECT_EQ(d::Parse("19960229", 4, &date, true), XB_OK);
  EXPECT_EQ(d::Parse("1996 02 29", 4, &date, true), XB_OK);
  EXPECT_EQ(d::Parse("29029", 5, &date, true), XB_E_DATE);
  EXPECT_EQ(d::Parse("        ", 4, &date, true), XB_EMPTY_DATE);
  EXPECT_EQ(recorder.boxes().size(), 2u);
}

// ---- Times ---------------------------------------------------------------

struct TimeResult {
  int16_t status;
  Hms time;
};

TimeResult ParseTime(const std::string& text, int style) {
  TimeResult r{0, {}};
  r.status = d::ParseTime(text.c_str(), style, &r.time);
  return r;
}

::testing::AssertionResult IsTime(const TimeResult& r, int hour, int minute, int second) {
  if (r.status == XB_OK && r.time.hour == hour && r.time.minute == minute &&
      r.time.second == second) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "status " << r.status << " time " << r.time.hour << ":"
                                       << r.time.minute << ":" << r.time.second;
}

TEST(TimeParse, TheTextMustBeWhatTheNumbersWriteBack) {
  EXPECT_TRUE(IsTime(ParseTime("09:05:00", 1), 9, 5, 0));
  EXPECT_TRUE(IsTime(ParseTime(" 9:05:00", 1), 9, 5, 0));
  EXPECT_TRUE(IsTime(ParseTime("23:59:59", 1), 23, 59, 59));
  EXPECT_TRUE(IsTime(ParseTime("00:00:00", 1), 0, 0, 0));
  EXPECT_TRUE(IsTime(ParseTime(" 0:00:00", 1), 0, 0, 0));
  for (const char* bad : {"9:05:00", "09:5:00", "09:05:0 ", "09: 5:00", "09:05: 0", "+9:05:00",
                          "-1:05:00", "24:00:00", "23:60:00", "23:59:60", "ab:cd:ef", "09-05-00",
                          "  :05:00", "1 :05:00", "09:05:00 ", "", "        "}) {
    EXPECT_EQ(ParseTime(bad, 1).status, XB_E_TIME) << "'" << bad << "'";
  }
}

TEST(TimeParse, StyleTwoHasNoSeconds) {
  EXPECT_TRUE(IsTime(ParseTime("0930", 2), 9, 30, 0));
  EXPECT_TRUE(IsTime(ParseTime("2359", 2), 23, 59, 0));
  // The leading blank is skipped by the number reader, which then takes
  // "93" as the hour.
  EXPECT_EQ(ParseTime(" 930", 2).status, XB_E_TIME);
  for (const char* bad : {"930", "09300", "2400", "2360", "09:3", "-930", "", "    "}) {
    EXPECT_EQ(ParseTime(bad, 2).status, XB_E_TIME) << "'" << bad << "'";
  }
}

TEST(TimeParse, StyleAndNullArguments) {
  Hms time;
  EXPECT_EQ(d::ParseTime("09:05:00", 0, &time), XB_E_ARGUMENT);
  EXPECT_EQ(d::ParseTime("09:05:00", 3, &time), XB_E_ARGUMENT);
  EXPECT_EQ(d::ParseTime(nullptr, 1, &time), XB_E_NULL);
  EXPECT_EQ(d::ParseTime("09:05:00", 1, nullptr), XB_E_NULL);
  EXPECT_EQ(ParseTime(std::string(1 << 20, '1'), 1).status, XB_E_TIME);
  EXPECT_EQ(ParseTime(std::string(1 << 20, '1'), 2).status, XB_E_TIME);
}

TEST(TimeFormat, EveryTimeRoundTripsInBothStyles) {
  for (int hour = 0; hour < 24; ++hour) {
    for (int minute = 0; minute < 60; ++minute) {
      for (int second = 0; second < 60; ++second) {
        char text[16];
        std::memset(text, 'X', sizeof text);
        ASSERT_EQ(d::FormatTime(text, 1, {hour, minute, second}), XB_OK);
        ASSERT_EQ(std::strlen(text), 8u);
        ASSERT_TRUE(IsTime(ParseTime(text, 1), hour, minute, second)) << text;
      }
      char text[16];
      ASSERT_EQ(d::FormatTime(text, 2, {hour, minute, 59}), XB_OK);
      ASSERT_EQ(std::strlen(text), 4u);
      ASSERT_TRUE(IsTime(ParseTime(text, 2), hour, minute, 0)) << text;
    }
  }
}

TEST(TimeFormat, RangesAreCheckedBeforeTheStyle) {
  char text[16] = "unchanged";
  EXPECT_EQ(d::FormatTime(text, 1, {24, 0, 0}), XB_E_TIME);
  EXPECT_EQ(d::FormatTime(text, 1, {-1, 0, 0}), XB_E_TIME);
  EXPECT_EQ(d::FormatTime(text, 1, {0, 60, 0}), XB_E_TIME);
  EXPECT_EQ(d::FormatTime(text, 2, {0, 0, 60}), XB_E_TIME);
  EXPECT_EQ(d::FormatTime(text, 7, {24, 0, 0}), XB_E_TIME);
  EXPECT_EQ(d::FormatTime(text, 7, {0, 0, 0}), XB_E_ARGUMENT);
  EXPECT_STREQ(text, "unchanged");
  EXPECT_EQ(d::FormatTime(nullptr, 1, {0, 0, 0}), XB_E_NULL);
}

}  // namespace
