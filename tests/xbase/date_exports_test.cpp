// The exported date and time functions through the public interface: status
// rules (null pointers, sticky errors, states), the client's date style, the
// log line, the "mauvaise Longueur" box and today's date and time.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "kv/xbase.h"
#include "platform/ui/message_box.h"

namespace {

namespace chr = std::chrono;

class DateExports : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(XBDINIT(100, 1), XB_OK); }
  void TearDown() override { XBDTERM(); }

  // Clears a sticky error left on purpose.
  static void Reset() { ASSERT_EQ(XBESCODE(0), XB_OK); }
};

// ---- Frame rules -----------------------------------------------------------

TEST(DateExportsNotStarted, EveryCallIsRefused) {
  XBDTERM();
  int16_t y = 0, m = 0, d = 0;
  EXPECT_EQ(XBCDS2I(&y, &m, &d, "02/29/96", 1), XB_E_NOT_STARTED);
  EXPECT_EQ(XBCDSTYLE(1), XB_E_NOT_STARTED);
  EXPECT_EQ(XBCTSVALID("09:05:00", 1), XB_E_NOT_STARTED);
  EXPECT_EQ(XBCDILEAP(1996), XB_E_NOT_STARTED);
}

TEST_F(DateExports, NullPointersAreRefused) {
  int16_t s = 0;
  int32_t l = 0;
  char text[32];
  const std::vector<std::pair<const char*, std::function<XBSTATUS()>>> calls = {
      {"GSTYLE style", [&] { return XBCDGSTYLE(nullptr, text); }},
      {"GSTYLE text", [&] { return XBCDGSTYLE(&s, nullptr); }},
      {"S2I year", [&] { return XBCDS2I(nullptr, &s, &s, "02/29/96", 1); }},
      {"S2I month", [&] { return XBCDS2I(&s, nullptr, &s, "02/29/96", 1); }},
      {"S2I day", [&] { return XBCDS2I(&s, &s, nullptr, "02/29/96", 1); }},
      {"S2I text", [&] { return XBCDS2I(&s, &s, &s, nullptr, 1); }},
      {"I2S", [&] { return XBCDI2S(nullptr, 1, 1996, 2, 29); }},
      {"S2S out", [&] { return XBCDS2S(nullptr, 1, "02/29/96", 1); }},
      {"S2S in", [&] { return XBCDS2S(text, 1, nullptr, 1); }},
      {"I2L", [&] { return XBCDI2L(nullptr, 1996, 2, 29); }},
      {"L2I", [&] { return XBCDL2I(&s, nullptr, &s, 1000); }},
      {"S2LX out", [&] { return XBCDS2LX(nullptr, "02/29/96", 1); }},
      {"S2LX text", [&] { return XBCDS2LX(&l, nullptr, 1); }},
      {"L2SX", [&] { return XBCDL2SX(nullptr, 1, 1000); }},
      {"SDIFF out", [&] { return XBCDSDIFF(nullptr, "02/29/96", 1, "02/29/96", 1); }},
      {"SDIFF first", [&] { return XBCDSDIFF(&l, nullptr, 1, "02/29/96", 1); }},
      {"SDIFF second", [&] { return XBCDSDIFF(&l, "02/29/96", 1, nullptr, 1); }},
      {"L2DOW", [&] { return XBCDL2DOW(nullptr, 1000); }},
      {"S2DOW out", [&] { return XBCDS2DOW(nullptr, "02/29/96", 1); }},
      {"S2DOW text", [&] { return XBCDS2DOW(&s, nullptr, 1); }},
      {"SDAY", [&] { return XBCDSDAY(nullptr, 1); }},
      {"S2DAY out", [&] { return XBCDS2DAY(nullptr, "02/29/96", 1); }},
      {"S2DAY text", [&] { return XBCDS2DAY(text, nullptr, 1); }},
      {"SMONTH", [&] { return XBCDSMONTH(nullptr, 1); }},
      {"S2MON out", [&] { return XBCDS2MON(nullptr, "02/29/96", 1); }},
      {"S2MON text", [&] { return XBCDS2MON(text, nullptr, 1); }},
      {"SLEAP", [&] { return XBCDSLEAP(nullptr, 1); }},
      {"IPERM", [&] { return XBCDIPERM(nullptr, 1996, 2); }},
      {"SPERM out", [&] { return XBCDSPERM(nullptr, "02/29/96", 1); }},
      {"SPERM text", [&] { return XBCDSPERM(&s, nullptr, 1); }},
      {"SVALID", [&] { return XBCDSVALID(nullptr, 1); }},
      {"IGET", [&] { return XBCDIGET(&s, &s, &s, nullptr); }},
      {"SGET", [&] { return XBCDSGET(nullptr, 1); }},
      {"TS2I out", [&] { return XBCTS2I(&s, &s, nullptr, "09:05:00", 1); }},
      {"TS2I text", [&] { return XBCTS2I(&s, &s, &s, nullptr, 1); }},
      {"TI2S", [&] { return XBCTI2S(nullptr, 1, 9, 5, 0); }},
      {"TSDIFF out", [&] { return XBCTSDIFF(nullptr, "09:05:00", 1, "09:05:00", 1); }},
      {"TSDIFF text", [&] { return XBCTSDIFF(&l, "09:05:00", 1, nullptr, 1); }},
      {"TSVALID", [&] { return XBCTSVALID(nullptr, 1); }},
      {"TIGET", [&] { return XBCTIGET(&s, &s, &s, nullptr); }},
      {"TSGET", [&] { return XBCTSGET(nullptr, 1); }},
  };
  for (const auto& [name, call] : calls) {
    EXPECT_EQ(call(), XB_E_NULL) << name;
    EXPECT_EQ(XBECODE(), XB_E_NULL) << name;
    Reset();
  }
}

TEST_F(DateExports, AnErrorStaysUntilReset) {
  int16_t y = 0, m = 0, d = 0;
  EXPECT_EQ(XBCDS2I(&y, &m, &d, "02/29/97", 1), XB_E_DATE);
  char text[16] = "unchanged";
  EXPECT_EQ(XBCDI2S(text, 1, 1996, 2, 29), XB_E_DATE);
  EXPECT_STREQ(text, "unchanged");
  EXPECT_EQ(XBCDS2I(&y, &m, &d, "02/29/96", 1), XB_E_DATE);
  EXPECT_EQ(y, 0);
  EXPECT_EQ(XBCTSVALID("09:05:00", 1), XB_E_DATE);
  EXPECT_EQ(XBCDSTYLE(4), XB_E_DATE);
  Reset();
  EXPECT_EQ(XBCDS2I(&y, &m, &d, "02/29/96", 1), XB_OK);
  EXPECT_EQ(y, 1996);
  EXPECT_EQ(XBCDI2S(text, 1, 1996, 2, 29), XB_OK);
  EXPECT_STREQ(text, "02/29/96");
}

TEST_F(DateExports, EmptyDateIsAStateNotAnError) {
  int16_t y = 9, m = 9, d = 9;
  EXPECT_EQ(XBCDS2I(&y, &m, &d, "  /  /  ", 1), XB_EMPTY_DATE);
  EXPECT_EQ(y, 0);
  EXPECT_EQ(m, 0);
  EXPECT_EQ(d, 0);
  EXPECT_EQ(XBCDS2I(&y, &m, &d, "01/02/05", 8), XB_OK);
  EXPECT_TRUE(y == 1905 && m == 2 && d == 1);
  EXPECT_EQ(XBCDSVALID("", 5), XB_EMPTY_DATE);
  EXPECT_EQ(XBCDSVALID("19960229", 4), XB_OK);
}

TEST_F(DateExports, FailuresWriteOneLogLine) {
  char name[31];
  std::snprintf(name, sizeof name, "/tmp/kvdate%d.log", static_cast<int>(getpid()));
  std::remove(name);
  ASSERT_EQ(XBESLOG(1, name), XB_OK);
  int16_t y = 0, m = 0, d = 0;
  EXPECT_EQ(XBCDS2I(&y, &m, &d, "13/01/96", 1), XB_E_DATE);
  Reset();
  ASSERT_EQ(XBESLOG(0, name), XB_OK);

  std::FILE* log = std::fopen(name, "r");
  ASSERT_NE(log, nullptr);
  char module[32] = {};
  int line = 0, code = 0;
  ASSERT_EQ(std::fscanf(log, "%31[^\t]\t%d\t%d\n", module, &line, &code), 3);
  std::fclose(log);
  std::remove(name);
  EXPECT_STREQ(module, "CDS2I");
  EXPECT_GT(line, 0);
  EXPECT_EQ(code, XB_E_DATE);
}

// ---- Styles ----------------------------------------------------------------

TEST_F(DateExports, ClientStyle) {
  int16_t style = 0;
  char description[64];
  ASSERT_EQ(XBCDGSTYLE(&style, description), XB_OK);
  EXPECT_EQ(style, 1);
  EXPECT_STREQ(description, "Gregorian (mm/dd/yy)");

  ASSERT_EQ(XBCDSTYLE(15), XB_OK);
  ASSERT_EQ(XBCDGSTYLE(&style, description), XB_OK);
  EXPECT_EQ(style, 15);
  EXPECT_STREQ(description, "ENSI (yyyy.mm.dd)");

  for (int16_t bad : {0, 16, -1}) {
    EXPECT_EQ(XBCDSTYLE(bad), XB_E_ARGUMENT) << bad;
    Reset();
  }
  ASSERT_EQ(XBCDGSTYLE(&style, description), XB_OK);
  EXPECT_EQ(style, 15);
}

TEST_F(DateExports, StartingStyleComesFromInit) {
  XBDTERM();
  ASSERT_EQ(XBDINIT(100, 9), XB_OK);
  int16_t style = 0;
  char description[64];
  ASSERT_EQ(XBCDGSTYLE(&style, description), XB_OK);
  EXPECT_EQ(style, 9);
  EXPECT_STREQ(description, "British (dd/mm/yyyy)");
}

// ---- Strings and integers --------------------------------------------------

TEST_F(DateExports, ParseAndFormat) {
  int16_t y = 0, m = 0, d = 0;
  ASSERT_EQ(XBCDS2I(&y, &m, &d, "1996/060", 3), XB_OK);
  EXPECT_TRUE(y == 1996 && m == 2 && d == 29);
  ASSERT_EQ(XBCDS2I(&y, &m, &d, "1997/060", 3), XB_OK);
  EXPECT_TRUE(y == 1997 && m == 3 && d == 1);
  char text[16];
  ASSERT_EQ(XBCDI2S(text, 3, 1996, 12, 31), XB_OK);
  EXPECT_STREQ(text, "1996/366");
  EXPECT_EQ(XBCDI2S(text, 16, 1996, 12, 31), XB_E_ARGUMENT);
  Reset();
  EXPECT_EQ(XBCDS2I(&y, &m, &d, "02/29/96", 0), XB_E_ARGUMENT);
  Reset();
}

TEST_F(DateExports, ConvertBetweenStyles) {
  char text[16];
  ASSERT_EQ(XBCDS2S(text, 15, "02/29/96", 1), XB_OK);
  EXPECT_STREQ(text, "1996.02.29");
  ASSERT_EQ(XBCDS2S(text, 3, "29.02.1996", 7), XB_OK);
  EXPECT_STREQ(text, "1996/060");
  // An empty date comes out blank in the width of the output style.
  ASSERT_EQ(XBCDS2S(text, 2, "  /  /  ", 1), XB_EMPTY_DATE);
  EXPECT_STREQ(text, "          ");
  ASSERT_EQ(XBCDS2S(text, 5, "", 1), XB_EMPTY_DATE);
  EXPECT_STREQ(text, "      ");
  EXPECT_EQ(XBCDS2S(text, 0, "", 1), XB_E_ARGUMENT);
  Reset();
  EXPECT_EQ(XBCDS2S(text, 1, "02/30/96", 1), XB_E_DATE);
  Reset();
}

TEST_F(DateExports, StyleFourLengthBox) {
  struct Box {
    std::string text, caption;
  };
  std::vector<Box> boxes;
  auto record = [](kvp::HWND, const char* text, const char* caption, kvp::UINT,
                   void* context) -> int {
    static_cast<std::vector<Box>*>(context)->push_back({text, caption});
    return kvp::IDOK;
  };
  kvp::MessageBoxHook previous = kvp::SetMessageBoxHook(record, &boxes);
  int16_t y = 0, m = 0, d = 0;
  EXPECT_EQ(XBCDS2I(&y, &m, &d, "1996022", 4), XB_E_DATE);
  Reset();
  EXPECT_EQ(XBCDSVALID("1996 02 291", 4), XB_E_DATE);
  Reset();
  EXPECT_EQ(XBCDSVALID("1996 02 29", 4), XB_OK);
  kvp::SetMessageBoxHook(previous, nullptr);

  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, "mauvaise Longueur");
  EXPECT_EQ(boxes[0].caption, "1996022");
  EXPECT_EQ(boxes[1].text, "mauvaise Longueur");
  EXPECT_EQ(boxes[1].caption, "1996 02 291");
}

TEST_F(DateExports, HostileTextsAreRefusedCleanly) {
  const std::string longDigits(100000, '9');
  int16_t y = 0, m = 0, d = 0;
  for (int16_t style = 1; style <= 15; ++style) {
    if (style == 4) continue;  // a wrong style-4 length shows a box
    EXPECT_EQ(XBCDS2I(&y, &m, &d, longDigits.c_str(), style), XB_E_DATE) << style;
    Reset();
    EXPECT_EQ(XBCDSVALID(std::string(100000, '/').c_str(), style), XB_E_DATE) << style;
    Reset();
  }
  EXPECT_EQ(XBCTSVALID(longDigits.c_str(), 1), XB_E_TIME);
  Reset();
}

TEST_F(DateExports, LeapYears) {
  EXPECT_EQ(XBCDILEAP(1996), 1);
  EXPECT_EQ(XBCDILEAP(1900), 0);
  EXPECT_EQ(XBCDILEAP(2000), 1);
  EXPECT_EQ(XBCDILEAP(1997), 0);
  EXPECT_EQ(XBCDSLEAP("02/29/96", 1), 1);
  EXPECT_EQ(XBCDSLEAP("19970101", 4), 0);
  // A blank text has no year: it is the empty date, not a leap year.
  EXPECT_EQ(XBCDSLEAP("  /  /  ", 1), XB_EMPTY_DATE);
  EXPECT_EQ(XBCDSLEAP("02/29/97", 1), XB_E_DATE);
  Reset();
  // The leap state is no error: the next call starts from 0.
  EXPECT_EQ(XBCDILEAP(2000), 1);
  EXPECT_EQ(XBCDSVALID("02/28/97", 1), XB_OK);
}

TEST_F(DateExports, MonthLengths) {
  int16_t days = 0;
  ASSERT_EQ(XBCDIPERM(&days, 1996, 2), XB_OK);
  EXPECT_EQ(days, 29);
  ASSERT_EQ(XBCDIPERM(&days, 1900, 2), XB_OK);
  EXPECT_EQ(days, 28);
  ASSERT_EQ(XBCDIPERM(&days, 9999, 12), XB_OK);
  EXPECT_EQ(days, 31);
  for (auto [year, month] :
       {std::pair<int16_t, int16_t>{0, 1}, {10000, 1}, {1996, 0}, {1996, 13}}) {
    EXPECT_EQ(XBCDIPERM(&days, year, month), XB_E_DATE) << year << "-" << month;
    Reset();
  }
  ASSERT_EQ(XBCDSPERM(&days, "04/01/97", 1), XB_OK);
  EXPECT_EQ(days, 30);
  EXPECT_EQ(XBCDSPERM(&days, "  /  /  ", 1), XB_E_DATE);
  Reset();
}

// ---- Day numbers -----------------------------------------------------------

TEST_F(DateExports, DayNumbers) {
  int32_t n = 0;
  ASSERT_EQ(XBCDI2L(&n, 1, 1, 1), XB_OK);
  EXPECT_EQ(n, 1);
  int16_t dow = -1;
  ASSERT_EQ(XBCDL2DOW(&dow, n), XB_OK);
  EXPECT_EQ(dow, 1);  // a Monday

  ASSERT_EQ(XBCDI2L(&n, 9999, 12, 31), XB_OK);
  EXPECT_EQ(n, 3652059);
  int16_t y = 0, m = 0, d = 0;
  ASSERT_EQ(XBCDL2I(&y, &m, &d, 3652059), XB_OK);
  EXPECT_TRUE(y == 9999 && m == 12 && d == 31);

  int32_t last2004 = 0, first2005 = 0;
  ASSERT_EQ(XBCDI2L(&last2004, 2004, 12, 31), XB_OK);
  ASSERT_EQ(XBCDI2L(&first2005, 2005, 1, 1), XB_OK);
  EXPECT_EQ(first2005, last2004 + 1);
  ASSERT_EQ(XBCDL2I(&y, &m, &d, first2005), XB_OK);
  EXPECT_TRUE(y == 2005 && m == 1 && d == 1);

  for (int32_t bad : {0, -1, 3652060}) {
    EXPECT_EQ(XBCDL2I(&y, &m, &d, bad), XB_E_DATE) << bad;
    Reset();
    EXPECT_EQ(XBCDL2DOW(&dow, bad), XB_E_DATE) << bad;
    Reset();
    char text[16];
    EXPECT_EQ(XBCDL2SX(text, 1, bad), XB_E_DATE) << bad;
    Reset();
  }
  EXPECT_EQ(XBCDI2L(&n, 1997, 2, 29), XB_E_DATE);
  Reset();
}

TEST_F(DateExports, DayNumbersOfStrings) {
  int32_t n = 0;
  ASSERT_EQ(XBCDS2LX(&n, "01/01/05", 9), XB_OK);
  char text[16];
  ASSERT_EQ(XBCDL2SX(text, 4, n), XB_OK);
  EXPECT_STREQ(text, "19050101");
  auto expected = chr::sys_days{chr::year{1905} / chr::January / 1} -
                  chr::sys_days{chr::year{1} / chr::January / 1};
  EXPECT_EQ(n, expected.count() + 1);

  int32_t days = -1;
  ASSERT_EQ(XBCDSDIFF(&days, "12/31/2004", 2, "2005.01.01", 15), XB_OK);
  EXPECT_EQ(days, 1);
  ASSERT_EQ(XBCDSDIFF(&days, "20050101", 4, "01/01/1905", 2), XB_OK);
  EXPECT_EQ(
      days,
      (chr::sys_days{chr::year{2005} / 1 / 1} - chr::sys_days{chr::year{1905} / 1 / 1}).count());

  // Blank dates have no day number.
  EXPECT_EQ(XBCDS2LX(&n, "  /  /  ", 1), XB_E_DATE);
  Reset();
  EXPECT_EQ(XBCDSDIFF(&days, "12/31/04", 1, "", 1), XB_E_DATE);
  Reset();
  int16_t dow = 0;
  EXPECT_EQ(XBCDS2DOW(&dow, "        ", 4), XB_E_DATE);
  Reset();
}

TEST_F(DateExports, WeekdaysAgreeWithTheCalendar) {
  int16_t dow = -1;
  char name[16];
  char text[16];
  const char* names[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                         "Thursday", "Friday", "Saturday"};
  for (int year = 1900; year <= 1999; year += 7) {
    for (unsigned month = 1; month <= 12; month += 5) {
      chr::sys_days day{chr::year{year} / chr::month{month} / 13};
      ASSERT_EQ(XBCDI2S(text, 8, static_cast<int16_t>(year), static_cast<int16_t>(month), 13),
                XB_OK);
      ASSERT_EQ(XBCDS2DOW(&dow, text, 8), XB_OK) << text;
      unsigned expected = chr::weekday{day}.c_encoding();
      EXPECT_EQ(static_cast<unsigned>(dow), expected) << text;
      ASSERT_EQ(XBCDS2DAY(name, text, 8), XB_OK);
      EXPECT_STREQ(name, names[expected]) << text;
    }
  }
}

TEST_F(DateExports, DayAndMonthNames) {
  char name[16];
  ASSERT_EQ(XBCDSDAY(name, 0), XB_OK);
  EXPECT_STREQ(name, "Sunday");
  ASSERT_EQ(XBCDSDAY(name, 6), XB_OK);
  EXPECT_STREQ(name, "Saturday");
  ASSERT_EQ(XBCDSMONTH(name, 2), XB_OK);
  EXPECT_STREQ(name, "February");
  ASSERT_EQ(XBCDSMONTH(name, 12), XB_OK);
  EXPECT_STREQ(name, "December");
  ASSERT_EQ(XBCDS2MON(name, "1996.09.01", 15), XB_OK);
  EXPECT_STREQ(name, "September");
  for (int16_t bad : {-1, 7}) {
    EXPECT_EQ(XBCDSDAY(name, bad), XB_E_DATE) << bad;
    Reset();
  }
  for (int16_t bad : {0, 13}) {
    EXPECT_EQ(XBCDSMONTH(name, bad), XB_E_DATE) << bad;
    Reset();
  }
  EXPECT_EQ(XBCDS2MON(name, "  .  .    ", 15), XB_E_DATE);
  Reset();
  EXPECT_EQ(XBCDS2DAY(name, "  -  -  ", 12), XB_E_DATE);
  Reset();
}

// ---- Times -----------------------------------------------------------------

TEST_F(DateExports, Times) {
  int16_t h = 0, m = 0, s = 0;
  ASSERT_EQ(XBCTS2I(&h, &m, &s, " 9:05:00", 1), XB_OK);
  EXPECT_TRUE(h == 9 && m == 5 && s == 0);
  ASSERT_EQ(XBCTS2I(&h, &m, &s, "2359", 2), XB_OK);
  EXPECT_TRUE(h == 23 && m == 59 && s == 0);
  for (const char* bad : {"9:05:00", "09:5:00", "24:00:00"}) {
    EXPECT_EQ(XBCTS2I(&h, &m, &s, bad, 1), XB_E_TIME) << bad;
    Reset();
  }
  EXPECT_EQ(XBCTSVALID("09:05:00", 3), XB_E_ARGUMENT);
  Reset();

  char text[16];
  ASSERT_EQ(XBCTI2S(text, 1, 9, 5, 0), XB_OK);
  EXPECT_STREQ(text, "09:05:00");
  ASSERT_EQ(XBCTI2S(text, 2, 9, 5, 0), XB_OK);
  EXPECT_STREQ(text, "0905");
  EXPECT_EQ(XBCTI2S(text, 1, 9, 60, 0), XB_E_TIME);
  Reset();
  EXPECT_EQ(XBCTI2S(text, 0, 9, 5, 0), XB_E_ARGUMENT);
  Reset();

  int32_t seconds = -1;
  ASSERT_EQ(XBCTSDIFF(&seconds, "23:59:59", 1, "00:00:00", 1), XB_OK);
  EXPECT_EQ(seconds, 86399);
  ASSERT_EQ(XBCTSDIFF(&seconds, "0000", 2, "23:59:59", 1), XB_OK);
  EXPECT_EQ(seconds, 86399);
  ASSERT_EQ(XBCTSDIFF(&seconds, "1230", 2, "12:29:30", 1), XB_OK);
  EXPECT_EQ(seconds, 30);
  EXPECT_EQ(XBCTSDIFF(&seconds, "1230", 2, "12:29:3", 1), XB_E_TIME);
  Reset();
}

// ---- Now -------------------------------------------------------------------

std::tm LocalNow() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

TEST_F(DateExports, TodayIsTheLocalDate) {
  // Read the oracle on both sides so that a midnight between them is seen.
  for (int attempt = 0; attempt < 3; ++attempt) {
    std::tm before = LocalNow();
    int16_t y = 0, m = 0, d = 0, dow = -1;
    ASSERT_EQ(XBCDIGET(&y, &m, &d, &dow), XB_OK);
    char text[16];
    ASSERT_EQ(XBCDSGET(text, 4), XB_OK);
    std::tm after = LocalNow();
    if (before.tm_yday != after.tm_yday) continue;
    EXPECT_EQ(y, before.tm_year + 1900);
    EXPECT_EQ(m, before.tm_mon + 1);
    EXPECT_EQ(d, before.tm_mday);
    EXPECT_EQ(dow, before.tm_wday);
    char expected[64];
    std::snprintf(expected, sizeof expected, "%04d%02d%02d", before.tm_year + 1900,
                  before.tm_mon + 1, before.tm_mday);
    EXPECT_STREQ(text, expected);
    EXPECT_EQ(XBCDSGET(text, 16), XB_E_ARGUMENT);
    Reset();
    return;
  }
  FAIL() << "the date kept changing";
}

TEST_F(DateExports, NowIsTheLocalTime) {
  std::tm before = LocalNow();
  int16_t h = -1, m = -1, s = -1, hundredths = -1;
  ASSERT_EQ(XBCTIGET(&h, &m, &s, &hundredths), XB_OK);
  std::tm after = LocalNow();
  EXPECT_EQ(hundredths, 0);
  int got = h * 3600 + m * 60 + s;
  int from = before.tm_hour * 3600 + before.tm_min * 60 + before.tm_sec;
  int to = after.tm_hour * 3600 + after.tm_min * 60 + after.tm_sec;
  if (to >= from) {  // no midnight in between
    EXPECT_GE(got, from);
    EXPECT_LE(got, to);
  }

  char text[16];
  ASSERT_EQ(XBCTSGET(text, 1), XB_OK);
  int16_t h2 = 0, m2 = 0, s2 = 0;
  EXPECT_EQ(XBCTS2I(&h2, &m2, &s2, text, 1), XB_OK) << text;
  ASSERT_EQ(XBCTSGET(text, 2), XB_OK);
  EXPECT_EQ(std::string(text).size(), 4u);
  EXPECT_EQ(XBCTSGET(text, 3), XB_E_ARGUMENT);
  Reset();
}

}  // namespace
