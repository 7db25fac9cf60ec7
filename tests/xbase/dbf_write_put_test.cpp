// Putting values into fields: every conversion rule, the values that do not
// fit (including those whose text is wider than the field), warnings +5 and
// +6, and the calls by name.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

#include "tests/support/engine_fixture.h"
#include "tests/support/packed.h"
#include "tests/xbase/dbf_write_support.h"

namespace kvtest {
namespace {

class DbfPut : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    XBFIELDDEF defs[] = {Def("NAME", 'C', 4),      Def("WHEN", 'D', 8),   Def("AMOUNT", 'N', 5, 2),
                         Def("COUNT", 'N', 3),     Def("OK", 'L', 1),     Def("NOTE", 'M', 10),
                         Def("WIDE", 'F', 20, 18), Def("BIG", 'N', 19, 0)};
    ASSERT_EQ(XBDDCREATE(File("p.dbf").c_str(), 8, defs, 2), 0);
    ASSERT_EQ(XBDDOPENX(&h_, File("p.dbf").c_str(), 2), 0);
  }
  void TearDown() override {
    XBESCODE(0);
    XBDDCLOSE(h_);
    EngineTest::TearDown();
  }
  // Puts a number; returns the status and resets a negative one.
  XBSTATUS PutNumber(uint16_t field, double value) {
    const XBSTATUS s = XBDDFPUT(h_, field, &value);
    XBESCODE(0);
    return s;
  }
  XBSTATUS Put(uint16_t field, const void* value) {
    const XBSTATUS s = XBDDFPUT(h_, field, value);
    XBESCODE(0);
    return s;
  }
  std::string Stored(uint16_t field) { return StoredField(h_, field); }

  XBHANDLE h_ = XB_NO_HANDLE;
};

enum { kName, kWhen, kAmount, kCount, kOk, kNote, kWide, kBig };

TEST_F(DbfPut, CharacterIsPaddedOrCutWithWarning) {
  EXPECT_EQ(Put(kName, "AB"), 0);
  EXPECT_EQ(Stored(kName), "AB  ");
  EXPECT_EQ(Put(kName, "ABCD"), 0);
  EXPECT_EQ(Stored(kName), "ABCD");
  EXPECT_EQ(XBDDFPUT(h_, kName, "ABCDEF"), XB_CUT);
  EXPECT_EQ(XBECODE(), XB_CUT);  // a warning, not sticky: the next call resets it
  EXPECT_EQ(Stored(kName), "ABCD");
  EXPECT_EQ(Put(kName, ""), 0);
  EXPECT_EQ(Stored(kName), "    ");
}

TEST_F(DbfPut, TextPutsStoreTextWhateverTheType) {
  EXPECT_EQ(XBDDFPUTS(h_, kAmount, "12.5"), 0);
  EXPECT_EQ(Stored(kAmount), "12.5 ");
  EXPECT_EQ(XBDDFPUTS(h_, kCount, "12345"), XB_CUT);
  EXPECT_EQ(Stored(kCount), "123");
  EXPECT_EQ(XBDDFPUTS(h_, kWhen, "garbage!"), 0);  // no date check for text puts
  EXPECT_EQ(Stored(kWhen), "garbage!");
  EXPECT_EQ(XBDDFNPUTS(h_, "ok", "T"), 0);
  EXPECT_EQ(Stored(kOk), "T");
}

TEST_F(DbfPut, NumbersAreRightAlignedAndRounded) {
  EXPECT_EQ(PutNumber(kAmount, 12.5), 0);
  EXPECT_EQ(Stored(kAmount), "12.50");
  EXPECT_EQ(PutNumber(kAmount, 99.99), 0);
  EXPECT_EQ(Stored(kAmount), "99.99");
  EXPECT_EQ(PutNumber(kAmount, -9.99), 0);
  EXPECT_EQ(Stored(kAmount), "-9.99");
  EXPECT_EQ(PutNumber(kAmount, 0.5), 0);
  EXPECT_EQ(Stored(kAmount), " 0.50");
  // 1.005 is 1.00499999... as a double: rounded down, and +6.
  EXPECT_EQ(PutNumber(kAmount, 1.005), XB_ROUNDED);
  EXPECT_EQ(Stored(kAmount), " 1.00");
  EXPECT_EQ(PutNumber(kAmount, 2.345678), XB_ROUNDED);
  EXPECT_EQ(Stored(kAmount), " 2.35");
  EXPECT_EQ(PutNumber(kCount, 999), 0);
  EXPECT_EQ(Stored(kCount), "999");
  EXPECT_EQ(PutNumber(kCount, -99), 0);
  EXPECT_EQ(Stored(kCount), "-99");
  EXPECT_EQ(PutNumber(kCount, 7.4), XB_ROUNDED);
  EXPECT_EQ(Stored(kCount), "  7");
  EXPECT_EQ(PutNumber(kWide, 1.5), 0);
  EXPECT_EQ(Stored(kWide), "1.500000000000000000");
  EXPECT_EQ(PutNumber(kBig, 1e18), 0);
  EXPECT_EQ(Stored(kBig), "1000000000000000000");
  double back = 0;
  ASSERT_EQ(XBDDFGET(h_, kBig, &back), 0);
  EXPECT_EQ(back, 1e18);
}

TEST_F(DbfPut, ValuesThatDoNotFitAreRefusedAndLeaveTheFieldAlone) {
  ASSERT_EQ(PutNumber(kAmount, 12.5), 0);
  // Too large: above the largest value 99.99.
  EXPECT_EQ(PutNumber(kAmount, 1000.0), XB_E_VALUE);
  EXPECT_EQ(PutNumber(kAmount, 100.0), XB_E_VALUE);
  // Negative numbers whose text is wider than the field: "-1000.00" would be
  // stored as "-1000", "-99.99" as "-99.9".
  EXPECT_EQ(PutNumber(kAmount, -1000.0), XB_E_VALUE);
  EXPECT_EQ(PutNumber(kAmount, -99.99), XB_E_VALUE);
  EXPECT_EQ(PutNumber(kAmount, -10.0), XB_E_VALUE);
  EXPECT_EQ(PutNumber(kCount, -100), XB_E_VALUE);
  EXPECT_EQ(PutNumber(kCount, 1000), XB_E_VALUE);
  EXPECT_EQ(PutNumber(kCount, 999.5), XB_E_VALUE);  // rounds to 1000
  EXPECT_EQ(PutNumber(kBig, 1e19), XB_E_VALUE);
  EXPECT_EQ(PutNumber(kBig, -1e18), XB_E_VALUE);
  EXPECT_EQ(Stored(kAmount), "12.50");
  EXPECT_EQ(Stored(kCount), "   ");
}

TEST_F(DbfPut, NonFiniteAndHugeDoublesAreRefusedSafely) {
  const double hostile[] = {std::numeric_limits<double>::quiet_NaN(),
                            -std::numeric_limits<double>::quiet_NaN(),
                            std::numeric_limits<double>::infinity(),
                            -std::numeric_limits<double>::infinity(),
                            DBL_MAX,
                            -DBL_MAX,
                            1e300,
                            -1e300};
  for (double v : hostile) {
    SCOPED_TRACE(v);
    for (uint16_t field : {kAmount, kCount, kWide, kBig}) {
      const std::string before = Stored(field);
      EXPECT_EQ(PutNumber(field, v), XB_E_VALUE);
      EXPECT_EQ(Stored(field), before);
    }
  }
  // Tiny numbers are zero in the field's precision.
  EXPECT_EQ(PutNumber(kAmount, DBL_MIN), XB_ROUNDED);
  EXPECT_EQ(Stored(kAmount), " 0.00");
  EXPECT_EQ(PutNumber(kWide, 5e-324), XB_ROUNDED);
  EXPECT_EQ(Stored(kWide), "0.000000000000000000");
}

TEST_F(DbfPut, NegativeZeroIsStoredWithoutSign) {
  EXPECT_EQ(PutNumber(kAmount, -0.0), 0);
  EXPECT_EQ(Stored(kAmount), " 0.00");
  EXPECT_EQ(PutNumber(kAmount, -0.001), XB_ROUNDED);
  EXPECT_EQ(Stored(kAmount), " 0.00");
  EXPECT_EQ(PutNumber(kCount, -0.4), XB_ROUNDED);
  EXPECT_EQ(Stored(kCount), "  0");
}

TEST_F(DbfPut, DatesThroughTheDateStyle) {
  EXPECT_EQ(Put(kWhen, "20240229"), 0);  // the fixture's style 4
  EXPECT_EQ(Stored(kWhen), "20240229");
  EXPECT_EQ(Put(kWhen, ""), 0);
  EXPECT_EQ(Stored(kWhen), "        ");
  ASSERT_EQ(Put(kWhen, "20240229"), 0);
  EXPECT_EQ(Put(kWhen, "     "), 0);
  EXPECT_EQ(Stored(kWhen), "        ");
  // An invalid date is an error of the date conversion; the field stays.
  ASSERT_EQ(Put(kWhen, "20240229"), 0);
  EXPECT_EQ(Put(kWhen, "20230229"), XB_E_DATE);
  EXPECT_EQ(Stored(kWhen), "20240229");

  ASSERT_EQ(XBCDSTYLE(2), 0);  // mm/dd/yyyy
  EXPECT_EQ(Put(kWhen, "12/31/1999"), 0);
  EXPECT_EQ(Stored(kWhen), "19991231");
  // Only separators: the empty date (+2 inside), stored as spaces, status 0.
  EXPECT_EQ(Put(kWhen, "  /  /    "), 0);
  EXPECT_EQ(Stored(kWhen), "        ");
  ASSERT_EQ(XBCDSTYLE(3), 0);  // Julian yyyy/ddd
  EXPECT_EQ(Put(kWhen, "2024/060"), 0);
  EXPECT_EQ(Stored(kWhen), "20240229");
  ASSERT_EQ(XBCDSTYLE(6), 0);  // German dd.mm.yy
  EXPECT_EQ(Put(kWhen, "01.02.03"), 0);
  char expected[16] = {};
  ASSERT_EQ(XBCDS2S(expected, 4, "01.02.03", 6), 0);
  EXPECT_EQ(Stored(kWhen), expected);
  EXPECT_EQ(Put(kWhen, "32.01.03"), XB_E_DATE);
  EXPECT_EQ(Stored(kWhen), expected);
  // A text far longer than any date style is no date.
  std::string longText(500, '1');
  EXPECT_LT(Put(kWhen, longText.c_str()), 0);
}

TEST_F(DbfPut, Logicals) {
  const uint8_t yes[] = {0x01, 'T', 'Y', 't', 'y'};
  const uint8_t no[] = {0x00, 'F', 'N', 'f', 'n'};
  for (uint8_t v : yes) {
    EXPECT_EQ(Put(kOk, &v), 0);
    EXPECT_EQ(Stored(kOk), "T");
  }
  for (uint8_t v : no) {
    EXPECT_EQ(Put(kOk, &v), 0);
    EXPECT_EQ(Stored(kOk), "F");
  }
  for (uint8_t v : {uint8_t{'?'}, uint8_t{' '}, uint8_t{2}, uint8_t{'X'}, uint8_t{0xFF}}) {
    EXPECT_EQ(Put(kOk, &v), XB_E_VALUE);
    EXPECT_EQ(Stored(kOk), "F");
  }
}

TEST_F(DbfPut, MemoBlockNumbers) {
  uint32_t block = 12345;
  EXPECT_EQ(Put(kNote, &block), 0);
  EXPECT_EQ(Stored(kNote), "     12345");
  block = 0;
  EXPECT_EQ(Put(kNote, &block), 0);
  EXPECT_EQ(Stored(kNote), "         0");
  block = 2147483647u;
  EXPECT_EQ(Put(kNote, &block), 0);
  EXPECT_EQ(Stored(kNote), "2147483647");
  int32_t back = 0;
  ASSERT_EQ(XBDDFGET(h_, kNote, &back), 0);
  EXPECT_EQ(back, 2147483647);
  // Numbers that do not read back as themselves.
  for (uint32_t bad : {2147483648u, 4294967295u}) {
    EXPECT_EQ(Put(kNote, &bad), XB_E_VALUE);
    EXPECT_EQ(Stored(kNote), "2147483647");
  }
}

TEST_F(DbfPut, ByNameAndArgumentChecks) {
  const double v = 3.25;
  EXPECT_EQ(XBDDFNPUT(h_, "amount", &v), 0);
  EXPECT_EQ(Stored(kAmount), " 3.25");
  EXPECT_EQ(XBDDFNPUT(h_, "NOSUCH", &v), XB_E_FIELD_NAME);
  XBESCODE(0);
  EXPECT_EQ(XBDDFNPUTS(h_, nullptr, "x"), XB_E_NULL);
  XBESCODE(0);
  EXPECT_EQ(XBDDFPUT(h_, 8, &v), XB_E_FIELD_NUMBER);
  XBESCODE(0);
  EXPECT_EQ(XBDDFPUT(h_, 0xFFFF, &v), XB_E_FIELD_NUMBER);
  XBESCODE(0);
  EXPECT_EQ(XBDDFPUT(h_, kAmount, nullptr), XB_E_NULL);
  XBESCODE(0);
  EXPECT_EQ(XBDDFPUTS(static_cast<XBHANDLE>(h_ + 1), 0, "x"), XB_E_HANDLE);
  XBESCODE(0);
  // A sticky error blocks the puts until it is reset.
  XBESCODE(-33);
  EXPECT_EQ(XBDDFPUTS(h_, kName, "ZZ"), -33);
  XBESCODE(0);
  EXPECT_EQ(Stored(kName), "    ");
}

TEST_F(DbfPut, ReadOnlyHandlesPutIntoTheBufferOnly) {
  ASSERT_EQ(XBDDCLOSE(h_), 0);
  ASSERT_EQ(XBDDOPENX(&h_, File("p.dbf").c_str(), 2 | XB_OPEN_READONLY), 0);
  EXPECT_EQ(XBDDFPUTS(h_, kName, "AB"), 0);
  EXPECT_EQ(Stored(kName), "AB  ");
  EXPECT_EQ(XBDDRCLEAR(h_), 0);
  EXPECT_EQ(Stored(kName), "    ");
  uint32_t no = 0;
  EXPECT_EQ(XBDDRPUT(h_, &no, XB_PUT_APPEND), XB_E_READONLY);
  XBESCODE(0);
  no = 1;
  EXPECT_EQ(XBDDRPUT(h_, &no, XB_PUT_UPDATE), XB_E_READONLY);
  XBESCODE(0);
  EXPECT_EQ(XBDDRDEL(h_, 1), XB_E_READONLY);
  XBESCODE(0);
  EXPECT_EQ(XBDDRUNDEL(h_, 1), XB_E_READONLY);
  XBESCODE(0);
  XBHANDLE h = h_;
  EXPECT_EQ(XBDDPACK(&h), XB_E_READONLY);
  XBESCODE(0);
  EXPECT_EQ(h, h_);
  EXPECT_EQ(Slurp(File("p.dbf")).size(), size_t{32 * 8 + 33 + 1});
}

}  // namespace
}  // namespace kvtest
