// The record and field reads take a short path for an open data handle and
// the whole path (entry, selection, reopening) for anything else. These
// cases pin that both give the same statuses, the same sticky errors and
// the same values, at the edges where a call leaves the short path. (A
// forked child's calls are in dbf_read_forked_child_test.cpp.)
#include <cstring>
#include <string>

#include "tests/support/dbf_builder.h"
#include "tests/support/engine_fixture.h"
#include "xbase/frame/number_text.h"

namespace {

using kvtest::DbfBuilder;

class DbfReadCallPaths : public kvtest::EngineTest {
 protected:
  void SetUp() override {
    kvtest::EngineTest::SetUp();
    path_ = File("paths.dbf");
    DbfBuilder b;
    b.Field("NAME", 'C', 10).Field("NUM", 'N', 8, 2).Field("BORN", 'D', 8).Field("OK", 'L', 1);
    b.Row({"alpha", "12.50", "20010203", "T"});
    b.Row({"beta", "-3", "20011301", "F"}, /*deleted=*/true);  // month 13: not a date
    DbfBuilder::WriteFile(path_, b.Bytes());
    ASSERT_EQ(XBDDOPENX(&h_, path_.c_str(), XB_OPEN_SHARED), 0);
  }
  void TearDown() override {
    XBESCODE(0);
    XBDDCLOSE(h_);
    kvtest::EngineTest::TearDown();
  }

  std::string path_;
  XBHANDLE h_ = XB_NO_HANDLE;
};

TEST_F(DbfReadCallPaths, BadArgumentsFailAndTheErrorSticksUntilReset) {
  ASSERT_EQ(XBDDRGET(h_, 1), 0);
  char text[32];
  struct Case {
    const char* what;
    XBHANDLE handle;
    uint16_t field;
    bool nullBuffer;
    XBSTATUS expected;
  };
  const Case cases[] = {
      {"field number = field count", h_, 4, false, XB_E_FIELD_NUMBER},
      {"largest field number", h_, 0xFFFF, false, XB_E_FIELD_NUMBER},
      {"null buffer", h_, 0, true, XB_E_NULL},
      {"free slot", static_cast<XBHANDLE>(h_ + 1), 0, false, XB_E_HANDLE},
      {"handle beyond the table", 5000, 0, false, XB_E_HANDLE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (int text_call = 0; text_call < 2; ++text_call) {
      std::memset(text, 'x', sizeof text);
      char* buffer = c.nullBuffer ? nullptr : text;
      const XBSTATUS s =
          text_call ? XBDDFGETS(c.handle, c.field, buffer) : XBDDFGET(c.handle, c.field, buffer);
      EXPECT_EQ(s, c.expected);
      EXPECT_EQ(XBECODE(), c.expected);
      // Sticky: a good call is refused with the same code and writes nothing.
      EXPECT_EQ(XBDDFGETS(h_, 0, text), c.expected);
      EXPECT_EQ(XBDDRGET(h_, 1), c.expected);
      EXPECT_EQ(text[0], 'x');
      EXPECT_EQ(XBESCODE(0), 0);
      ASSERT_EQ(XBDDFGETS(h_, 0, text), 0);
      EXPECT_STREQ(text, "alpha     ");
    }
  }
}

TEST_F(DbfReadCallPaths, RecordNumbersOutsideTheFileFailAsSeekErrors) {
  EXPECT_EQ(XBDDRGET(h_, 0), XB_E_SEEK);
  EXPECT_EQ(XBESCODE(0), 0);
  EXPECT_EQ(XBDDRGET(h_, 3), XB_E_SEEK);
  EXPECT_EQ(XBESCODE(0), 0);
  EXPECT_EQ(XBDDRGETX(h_, nullptr, 0xFFFFFFFFu), XB_E_SEEK);
  EXPECT_EQ(XBESCODE(0), 0);
  EXPECT_EQ(XBDDRGET(static_cast<XBHANDLE>(h_ + 1), 1), XB_E_HANDLE);
}

TEST_F(DbfReadCallPaths, DeletedStateIsReturnedOnceAndClearedByTheNextRead) {
  EXPECT_EQ(XBDDRGET(h_, 2), XB_DELETED);
  EXPECT_EQ(XBECODE(), XB_DELETED);
  char text[32] = {};
  EXPECT_EQ(XBDDFGETS(h_, 0, text), 0);
  EXPECT_EQ(XBECODE(), 0) << "a field read resets the warning";
  EXPECT_STREQ(text, "beta      ");
  double num = 0;
  EXPECT_EQ(XBDDFGET(h_, 1, &num), 0);
  EXPECT_EQ(num, -3.0);
  EXPECT_EQ(XBDDRGET(h_, 1), 0);
  EXPECT_EQ(XBECODE(), 0);
}

TEST_F(DbfReadCallPaths, AFieldThatCannotBeConvertedFailsAndSticks) {
  ASSERT_EQ(XBDDRGET(h_, 2), XB_DELETED);
  char text[32] = {};
  EXPECT_EQ(XBDDFGET(h_, 2, text), XB_E_DATE);
  EXPECT_EQ(XBECODE(), XB_E_DATE);
  EXPECT_EQ(XBDDFGETS(h_, 0, text), XB_E_DATE);
  EXPECT_EQ(XBESCODE(0), 0);
  // As text the same field is its stored bytes.
  EXPECT_EQ(XBDDFGETS(h_, 2, text), 0);
  EXPECT_STREQ(text, "20011301");
}

TEST_F(DbfReadCallPaths, QuickClosedHandlesAreReopenedByEveryRead) {
  ASSERT_EQ(XBDDRGET(h_, 1), 0);
  char text[32] = {};
  ASSERT_EQ(XBDQCLOSE(), 0);
  EXPECT_EQ(XBDDFGETS(h_, 0, text), 0);
  EXPECT_STREQ(text, "alpha     ");
  ASSERT_EQ(XBDQCLOSE(), 0);
  double num = 0;
  EXPECT_EQ(XBDDFGET(h_, 1, &num), 0);
  EXPECT_EQ(num, 12.5);
  ASSERT_EQ(XBDQCLOSE(), 0);
  EXPECT_EQ(XBDDRGET(h_, 2), XB_DELETED);
  ASSERT_EQ(XBDQCLOSE(), 0);
  char record[64] = {};
  EXPECT_EQ(XBDDRGETX(h_, record, 1), 0);
  EXPECT_EQ(std::string(record + 1, 10), std::string("alpha     "));
  ASSERT_EQ(XBDQCLOSE(), 0);
  EXPECT_EQ(XBDDFGETS(h_, 9, text), XB_E_FIELD_NUMBER);
}

TEST_F(DbfReadCallPaths, AStoppedEngineRefusesEveryRead) {
  ASSERT_EQ(XBDDRGET(h_, 1), 0);
  XBDTERM();
  char text[32] = {};
  EXPECT_EQ(XBDDRGET(h_, 1), XB_E_NOT_STARTED);
  EXPECT_EQ(XBDDRGETX(h_, text, 1), XB_E_NOT_STARTED);
  EXPECT_EQ(XBDDFGET(h_, 0, text), XB_E_NOT_STARTED);
  EXPECT_EQ(XBDDFGETS(h_, 0, text), XB_E_NOT_STARTED);
  EXPECT_EQ(text[0], '\0');
  // The fixture's end expects a started engine.
  ASSERT_EQ(XBDINIT(100, 4), 0);
  h_ = XB_NO_HANDLE;
}

TEST(NumberTextInto, StoresWhatParseDecimalReturnsAtAnyAlignment) {
  const char* texts[] = {
      "",   "   ", "  12.50",           "-3",    "+.5",    "1e3", "12345678901234567", "  -0",
      "7.", "abc", "0.000000000000001", "1e400", "-1e-400"};
  for (const char* t : texts) {
    for (size_t shift = 0; shift < 8; ++shift) {
      SCOPED_TRACE(std::string(t) + " at " + std::to_string(shift));
      unsigned char out[16];
      std::memset(out, 0xEE, sizeof out);
      kv::xb::ParseDecimalInto(t, std::strlen(t), out + shift);
      const double expected = kv::xb::ParseDecimal(t, std::strlen(t));
      EXPECT_EQ(std::memcmp(out + shift, &expected, sizeof expected), 0);
      for (size_t k = 0; k < sizeof out; ++k) {
        if (k < shift || k >= shift + sizeof expected) {
          EXPECT_EQ(out[k], 0xEE) << k;
        }
      }
    }
  }
}

}  // namespace
